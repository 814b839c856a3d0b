#include "radio/Dat15.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "radio/Dat15Builder.h"
#include "support/Builders.h"

namespace brenzo::radio {
namespace {

using testing::BuildDat15;
using ::testing::HasSubstr;
using testing::MixedEntries;
using testing::PutI32;

std::vector<std::string> names(const std::vector<Dat15Entry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.name);
    return out;
}

// A source whose reads fail like a disk that went away.
class FailingSource final : public ByteStore {
public:
    explicit FailingSource(std::vector<std::uint8_t> image, bool failReads)
        : image_(std::move(image)), failReads_(failReads) {}
    std::uint64_t size() const override { return image_.size(); }
    Status Read(std::uint64_t pos, std::span<std::uint8_t> out) override {
        if (failReads_) return Error{"cannot read radio.dat15: input/output error", true};
        return ImageSource(image_).Read(pos, out);
    }
    Status Write(std::uint64_t, std::span<const std::uint8_t>) override {
        return Error{"cannot write radio.dat15: no space left on device", true};
    }

private:
    std::vector<std::uint8_t> image_;
    bool failReads_;
};

TEST(Dat15Walk, ListsOnlyRadioTracksInTableOrder) {
    auto built = BuildDat15(MixedEntries());
    auto listing = ReadDat15Entries(built.image);
    EXPECT_EQ(names(listing.entries), (std::vector<std::string>{"Radio R\xE9tro", "Night \x96 Show", "Last Call"}));
    ASSERT_EQ(listing.entries.size(), 3u);
    EXPECT_EQ(listing.entries[0].position, built.positions[0]);
    EXPECT_EQ(listing.entries[1].position, built.positions[2]);
    EXPECT_EQ(listing.entries[2].position, built.positions[4]);
    EXPECT_TRUE(listing.outside.empty());
    EXPECT_TRUE(listing.damage.empty());
}

TEST(Dat15Walk, MarkersThatOnlyResembleARadioTrackAreSkipped) {
    for (std::uint32_t marker : {0xAAAAAA01u, 0x00AAAAAAu, 0xAAAAAAAAu, 0u, 0x00AAAAAAu << 8 | 0x01u}) {
        auto built = BuildDat15({{"other", marker, 1000}, {"track", RadioTrackMarker, 2000}});
        auto listing = ReadDat15Entries(built.image);
        EXPECT_EQ(names(listing.entries), std::vector<std::string>{"track"}) << std::hex << marker;
        EXPECT_TRUE(listing.outside.empty());
    }
}

TEST(Dat15Walk, ZeroOrNegativeCountGivesNoEntries) {
    for (std::int32_t count : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        auto built = BuildDat15(MixedEntries());
        PutI32(built.image, built.countAt, count);
        auto listing = ReadDat15Entries(built.image);
        EXPECT_TRUE(listing.entries.empty()) << count;
        EXPECT_TRUE(listing.damage.empty()) << count;
    }
}

TEST(Dat15Walk, BlockLengthsAreHonouredWhateverTheyHold) {
    auto built = BuildDat15(MixedEntries(), 0, 300);
    EXPECT_EQ(ReadDat15Entries(built.image).entries.size(), 3u);
    built = BuildDat15(MixedEntries(), 1000, 0);
    EXPECT_EQ(ReadDat15Entries(built.image).entries.size(), 3u);
}

TEST(Dat15Walk, NameLongerThan128BytesIsReadWholeAndTheWalkGoesOn) {
    const std::string longName(200, 'x');
    const std::string longest = std::string(254, 'y') + "\xE9";
    auto built = BuildDat15({{longName, RadioTrackMarker, 1},
                             {longest, RadioTrackMarker, 2},
                             {"", RadioTrackMarker, 3},
                             {"after", RadioTrackMarker, 4}});
    auto listing = ReadDat15Entries(built.image);
    EXPECT_EQ(names(listing.entries), (std::vector<std::string>{longName, longest, "", "after"}));
    ASSERT_EQ(listing.entries.size(), 4u);
    EXPECT_EQ(listing.entries[3].position, built.positions[3]);
}

// Every cut of a valid file: the walk keeps exactly the tracks whose table entry was read
// whole, lists those whose record is still whole and sets the others apart. A read past the
// cut would be refused by the image and fail the test with an exception.
TEST(Dat15Walk, TruncatedAtEveryLengthKeepsTheEntriesReadSoFar) {
    const auto entries = MixedEntries();
    auto built = BuildDat15(entries);
    for (std::size_t n = 0; n <= built.image.size(); ++n) {
        std::span<const std::uint8_t> cut(built.image.data(), n);
        auto listing = ReadDat15Entries(cut);
        std::vector<std::string> listed, outside;
        std::size_t walked = 0;
        for (std::size_t i = 0; i < entries.size() && built.entryEnd[i] <= n; ++i, ++walked) {
            const auto d = static_cast<std::size_t>(built.positions[i]);
            const bool markerKnown = d + kRecordMarkerOffset + 4 <= n;
            if (markerKnown && entries[i].marker != RadioTrackMarker) continue;
            (markerKnown && d + kRecordMinimumSize <= n ? listed : outside).push_back(entries[i].name);
        }
        EXPECT_EQ(names(listing.entries), listed) << "cut at " << n;
        EXPECT_EQ(names(listing.outside), outside) << "cut at " << n;
        EXPECT_EQ(listing.damage.empty(), walked == entries.size()) << "cut at " << n << ": " << listing.damage;
    }
}

TEST(Dat15Walk, NegativeBlockLengthEndsTheWalkBeforeAnyEntry) {
    for (std::size_t at : {std::size_t{4}, std::size_t{8 + 5}}) {
        auto built = BuildDat15(MixedEntries());
        PutI32(built.image, at, -1);
        auto listing = ReadDat15Entries(built.image);
        EXPECT_TRUE(listing.entries.empty()) << at;
        EXPECT_THAT(listing.damage, HasSubstr("negative length"));
    }
}

TEST(Dat15Walk, BlockLengthPastTheEndEndsTheWalk) {
    for (std::size_t at : {std::size_t{4}, std::size_t{8 + 5}}) {
        for (std::int32_t length : {std::numeric_limits<std::int32_t>::max(), 100000}) {
            auto built = BuildDat15(MixedEntries());
            PutI32(built.image, at, length);
            auto listing = ReadDat15Entries(built.image);
            EXPECT_TRUE(listing.entries.empty());
            EXPECT_THAT(listing.damage, HasSubstr("past the end"));
        }
    }
}

TEST(Dat15Walk, NegativeRecordPositionEndsTheWalkKeepingEarlierTracks) {
    auto built = BuildDat15(MixedEntries());
    PutI32(built.image, built.entryEnd[2] - 4, -30);
    auto listing = ReadDat15Entries(built.image);
    EXPECT_EQ(names(listing.entries), std::vector<std::string>{"Radio R\xE9tro"});
    EXPECT_THAT(listing.damage, HasSubstr("entry 3 of 5 has a negative record position"));
}

TEST(Dat15Walk, HugeCountEndsAtTheEndOfTheFileWithoutHanging) {
    auto built = BuildDat15(MixedEntries());
    PutI32(built.image, built.countAt, std::numeric_limits<std::int32_t>::max());
    const auto start = std::chrono::steady_clock::now();
    auto listing = ReadDat15Entries(built.image);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // The records after the table are walked as entries too; the real tracks come first.
    ASSERT_GE(listing.entries.size(), 3u);
    EXPECT_EQ(listing.entries[2].name, "Last Call");
    EXPECT_THAT(listing.damage, HasSubstr(" of 2147483647 "));
}

TEST(Dat15Walk, RecordRunningPastTheEndIsSetApartNotListed) {
    auto built = BuildDat15({{"first", RadioTrackMarker, 1000}, {"second", RadioTrackMarker, 2000}});
    // The last record ends the file: exactly whole.
    EXPECT_EQ(ReadDat15Entries(built.image).entries.size(), 2u);
    // Bytes after the records, where the first entry's D is moved to.
    auto padded = built.image;
    padded.resize(padded.size() + 40, 0x41);
    const auto size = static_cast<std::int32_t>(padded.size());
    const std::int32_t beyond = std::numeric_limits<std::int32_t>::max();
    for (std::int32_t d : {size - 29, size - 16, size - 15, size, size + 1000, beyond}) {
        auto image = padded;
        PutI32(image, built.entryEnd[0] - 4, d);
        // Keep a radio marker at D + 12 where the file still has it.
        if (std::int64_t{d} + 16 <= size) testing::PutU32(image, static_cast<std::size_t>(d) + 12, RadioTrackMarker);
        auto listing = ReadDat15Entries(image);
        EXPECT_EQ(names(listing.entries), std::vector<std::string>{"second"}) << d;
        ASSERT_EQ(listing.outside.size(), 1u) << d;
        EXPECT_EQ(listing.outside[0].name, "first");
        EXPECT_EQ(listing.outside[0].position, d);
        EXPECT_TRUE(listing.damage.empty());
    }
}

TEST(Dat15Walk, LastEntryMayEndRightAfterItsRecordPosition) {
    // A file holding nothing past the table: the records overlap the blocks before it.
    auto built = BuildDat15({}, 64, 0);
    auto& image = built.image;
    testing::PutU32(image, 8 + 12, RadioTrackMarker);
    testing::PutU32(image, 8 + 26, 7000);
    PutI32(image, built.countAt, 1);
    image.push_back(4);
    image.insert(image.end(), {'t', 'a', 'i', 'l'});
    image.resize(image.size() + 4);
    PutI32(image, image.size() - 4, 8);
    auto listing = ReadDat15Entries(image);
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].position, 8);
    EXPECT_TRUE(listing.damage.empty());
}

TEST(Dat15Walk, FailingReadIsAnErrorNotAnEmptyTable) {
    FailingSource source(BuildDat15(MixedEntries()).image, true);
    auto listing = ReadDat15Entries(source);
    ASSERT_FALSE(listing);
    EXPECT_TRUE(listing.isFileSystemError());
    EXPECT_EQ(listing.message(), "cannot read radio.dat15: input/output error");
}

TEST(TrackDurationBytes, ReadsTheUnalignedFieldAt26) {
    auto built = BuildDat15(MixedEntries());
    ImageSource source(built.image);
    EXPECT_EQ(*ReadTrackDuration(source, built.positions[0]), 185000u);
    EXPECT_EQ(*ReadTrackDuration(source, built.positions[2]), 3723999u);
}

TEST(TrackDurationBytes, WriteChangesExactlyTheFourDurationBytes) {
    auto built = BuildDat15(MixedEntries());
    auto image = built.image;
    ImageStore store(image);
    ASSERT_TRUE(WriteTrackDuration(store, built.positions[2], 0x01020304u));
    auto expected = built.image;
    const auto at = static_cast<std::size_t>(built.positions[2]) + 26;
    expected[at] = 0x04, expected[at + 1] = 0x03, expected[at + 2] = 0x02, expected[at + 3] = 0x01;
    EXPECT_EQ(image, expected);
    EXPECT_EQ(*ReadTrackDuration(store, built.positions[2]), 0x01020304u);
}

TEST(TrackDurationBytes, RecordOutsideTheFileIsNeitherReadNorWritten) {
    auto built = BuildDat15(MixedEntries());
    auto image = built.image;
    ImageStore store(image);
    const auto size = static_cast<std::int32_t>(image.size());
    for (std::int32_t d :
         {-1, std::numeric_limits<std::int32_t>::min(), size - 29, size, std::numeric_limits<std::int32_t>::max()}) {
        EXPECT_FALSE(ReadTrackDuration(store, d)) << d;
        Status s = WriteTrackDuration(store, d, 1000);
        EXPECT_FALSE(s) << d;
        EXPECT_THAT(s.message(), HasSubstr("outside the file"));
    }
    EXPECT_EQ(image, built.image);
}

TEST(TrackDurationBytes, WriteRefusesARecordOfAnotherKind) {
    auto built = BuildDat15(MixedEntries());
    auto image = built.image;
    ImageStore store(image);
    Status s = WriteTrackDuration(store, built.positions[1], 1000);
    EXPECT_FALSE(s);
    EXPECT_FALSE(s.isFileSystemError());
    EXPECT_THAT(s.message(), HasSubstr("not a radio track"));
    EXPECT_EQ(image, built.image);
}

TEST(TrackDurationBytes, FailingWriteIsReported) {
    auto built = BuildDat15(MixedEntries());
    FailingSource store(built.image, false);
    Status s = WriteTrackDuration(store, built.positions[0], 1000);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.isFileSystemError());
    EXPECT_EQ(s.message(), "cannot write radio.dat15: no space left on device");
}

TEST(ImageStore, NeverGrowsTheImage) {
    std::vector<std::uint8_t> image(10, 0x77);
    ImageStore store(image);
    const std::uint8_t four[4] = {1, 2, 3, 4};
    EXPECT_TRUE(store.Write(6, four));
    EXPECT_FALSE(store.Write(7, four));
    EXPECT_FALSE(store.Write(std::numeric_limits<std::uint64_t>::max() - 1, four));
    EXPECT_EQ(image.size(), 10u);
}

TEST(Dat15Demo, ListsItsRadioTracksWithDurations) {
    const auto demo = BuildDemoDat15();
    auto listing = ReadDat15Entries(demo);
    EXPECT_TRUE(listing.damage.empty());
    EXPECT_TRUE(listing.outside.empty());
    ASSERT_EQ(listing.entries.size(), 4u);
    EXPECT_EQ(listing.entries[0].name, "Radio R\xE9tro - Midnight Drive");
    ImageSource source(demo);
    for (const auto& e : listing.entries) EXPECT_GT(*ReadTrackDuration(source, e.position), 0u) << e.name;
    EXPECT_EQ(*ReadTrackDuration(source, listing.entries[0].position), 185000u);
}

}  // namespace
}  // namespace brenzo::radio
