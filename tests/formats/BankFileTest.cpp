#include "formats/BankFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/ByteWriter.h"
#include "formats/Layout.h"
#include "support/Builders.h"

namespace brenzo::formats {
namespace {

using testing::BuildBank;
using ::testing::HasSubstr;
using testing::TestSound;
using testing::Tone;
using testing::U32At;

TestSound sound(std::uint32_t hash, std::size_t samples, std::uint16_t rate = 22050,
                std::uint32_t compression = kCompressionAdpcm) {
    TestSound s;
    s.hash = hash;
    s.rate = rate;
    s.compression = compression;
    s.pcm = Tone(samples, 300.0 + hash % 500, rate);
    s.animation = std::vector<std::uint8_t>(8 + hash % 37, static_cast<std::uint8_t>(hash));
    return s;
}

// A plain bank written record by record, so that its records may differ in form.
std::vector<std::uint8_t> handMadePlainBank(const std::vector<std::uint32_t>& compressions) {
    const std::uint32_t n = static_cast<std::uint32_t>(compressions.size());
    std::vector<std::uint32_t> recordSizes;
    for (auto c : compressions) recordSizes.push_back(c == kCompressionAdpcm ? 56 + 3 * 2 : 32);
    std::uint32_t headerSize = 28;
    for (auto r : recordSizes) headerSize += 16 + r;
    std::vector<std::uint8_t> image;
    ByteWriter w(image);
    for (std::uint32_t v : {28u, 0u, headerSize, 0u, n, 0u, AlignTo2048(headerSize)}) w.u32(v);
    std::uint32_t offset = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        w.u32(offset);
        w.u32(0);
        w.u32(0x10 + i);
        w.u32(recordSizes[i]);
        offset += recordSizes[i];
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        w.u32(i * 2048);  // Offset
        w.u32(0);
        w.u32(0x10 + i);
        w.u32(1000);  // Size
        w.u32(compressions[i] == kCompressionAdpcm ? 2000 : 500);
        w.i32(-5);
        w.u16(22050);
        w.u16(7);
        w.u32(compressions[i]);
        if (compressions[i] == kCompressionAdpcm) {
            w.i64(0x1122334455667788);
            w.u32(2000);
            w.i64(-42);
            w.u32(2);
            w.i16(-300);
            w.u8(12);
            w.i16(400);
            w.u8(13);
        }
    }
    PadTo2048(image.size(), image);
    image.resize(image.size() + n * 2048, 0x5A);
    return image;
}

TEST(ReadBank, PlainBankReadsEachRecordInItsOwnForm) {
    auto image = handMadePlainBank({kCompressionPcm, kCompressionAdpcm, kCompressionPcm});
    BankRead read = ReadBank(image, BankKind::Plain);
    EXPECT_TRUE(read.damage.empty());
    const TBankAudio& bank = read.bank;
    ASSERT_EQ(bank.AudioCount, 3u);
    EXPECT_TRUE(bank.BanksInfo[0].States.empty());
    EXPECT_EQ(bank.BanksInfo[0].Size2, 500u);
    ASSERT_EQ(bank.BanksInfo[1].StatesCount, 2u);
    EXPECT_EQ(bank.BanksInfo[1].States[0], (TADPCMState{-300, 12}));
    EXPECT_EQ(bank.BanksInfo[1].States[1], (TADPCMState{400, 13}));
    EXPECT_EQ(bank.BanksInfo[1]._wFA, -42);
    EXPECT_EQ(bank.BanksInfo[1].OffsetStates, 0x1122334455667788);
    EXPECT_EQ(bank.BanksInfo[2].Frequency, 22050);
    EXPECT_EQ(bank.BanksInfo[2].iUnknown, -5);
    EXPECT_EQ(bank.BanksInfo[2].wUnknown, 7);
    EXPECT_EQ(bank.BanksInfo[2].Offset, 4096u);
}

TEST(ReadBank, KindZeroReadsTheAdpcmFieldsWhateverCompressionSays) {
    std::vector<TestSound> sounds = {sound(1, 5000), sound(2, 9000)};
    sounds[0].compression = 1;
    sounds[1].compression = 77;
    sounds[1].wFA = 0x0123456789ABCDEF;
    auto built = BuildBank(BankKind::WithAnimations, sounds);
    BankRead read = ReadBank(built.image, BankKind::WithAnimations);
    EXPECT_TRUE(read.damage.empty());
    EXPECT_EQ(read.bank, built.model);
    EXPECT_EQ(read.bank.BanksInfo[0].Compression, 1u);
    EXPECT_EQ(read.bank.BanksInfo[1].StatesCount, 3u);
    EXPECT_EQ(read.bank.BanksInfo[1]._wFA, 0x0123456789ABCDEF);
}

TEST(ReadBank, AnimCountOnlyChoosesTheKindAndEveryEntryIsRead) {
    std::vector<TestSound> sounds;
    for (std::uint32_t i = 0; i < 7; ++i) sounds.push_back(sound(100 + i, 1000 + 100 * i));
    auto built = BuildBank(BankKind::WithAnimations, sounds);
    testing::PutU32(built.image, 20, 5);  // AnimCount 5 of 7
    BankRead read = ReadBank(built.image, BankKind::WithAnimations);
    ASSERT_EQ(read.bank.AnimsInfo.size(), 7u);
    EXPECT_EQ(read.bank, built.model);
}

TEST(ReadBank, ReportsProgressBeforeEveryRecord) {
    std::vector<TestSound> sounds = {sound(1, 10), sound(2, 10), sound(3, 10), sound(4, 10)};
    auto built = BuildBank(BankKind::Plain, sounds);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
    ReadBank(built.image, BankKind::Plain, [&](std::uint32_t i, std::uint32_t n) { calls.emplace_back(i, n); });
    EXPECT_EQ(calls, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 4}, {1, 4}, {2, 4}, {3, 4}}));
}

TEST(ReadBank, CapsCountsTheImageCannotHold) {
    auto built = BuildBank(BankKind::Plain, {sound(1, 3000)});
    auto hostile = built.image;
    testing::PutU32(hostile, 16, 0xFFFFFFF0u);  // AudioCount
    BankRead read = ReadBank(hostile, BankKind::Plain);
    EXPECT_LE(read.bank.AudioCount, hostile.size() / 16);
    ASSERT_FALSE(read.damage.empty());
    EXPECT_THAT(read.damage[0], HasSubstr("4294967280 sounds"));

    auto states = built.image;
    // StatesCount of the only record sits at InfoBase + 52.
    testing::PutU32(states, 28 + 16 + 52, 0x7FFFFFFFu);
    BankRead capped = ReadBank(states, BankKind::Plain);
    EXPECT_LE(capped.bank.BanksInfo[0].States.size(), states.size() / 3);
    EXPECT_EQ(capped.bank.BanksInfo[0].StatesCount, capped.bank.BanksInfo[0].States.size());
    EXPECT_FALSE(capped.damage.empty());
}

// Fifty directory entries sharing one kind of damage: the first is named, the rest counted.
TEST(ReadBank, RepeatedDamageIsNamedOnceAndCounted) {
    struct Case {
        const char* what;
        std::uint32_t offset;       // of every entry's record, from InfoBase
        std::uint32_t compression;  // of the record they share
        std::vector<std::string> damage;
    };
    const Case cases[] = {
        {"records past the end",
         0xFFFF0000u,
         0,
         {"the record of sound 0 runs past the end of the file", "49 more records run past the end of the file"}},
        {"one record claiming every state",
         0,
         kCompressionAdpcm,
         {"sound 0 claims 2147483647 states that the file does not hold",
          "49 more sounds claim states that the file does not hold"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> image(4096, 0);
        testing::PutU32(image, 16, 50);
        for (std::uint32_t i = 0; i < 50; ++i) testing::PutU32(image, 28 + 16 * i, c.offset);
        const std::size_t record = 28 + 16 * 50;
        testing::PutU32(image, record + 28, c.compression);
        testing::PutU32(image, record + 52, 0x7FFFFFFFu);
        EXPECT_EQ(ReadBank(image, BankKind::Plain).damage, c.damage);
    }
}

TEST(ReadBank, EveryCutOfABankReadsWithoutFaultAndSaysItIsDamaged) {
    auto built = BuildBank(BankKind::WithAnimations, {sound(1, 5000), sound(2, 300), sound(3, 7000)});
    for (std::size_t n = 0; n < built.model.HeaderFullSize; ++n) {
        std::span<const std::uint8_t> cut(built.image.data(), n);
        BankRead read = ReadBank(cut, BankKind::WithAnimations);
        if (n < built.model.HeaderSize + 16 * 3) {
            EXPECT_FALSE(read.damage.empty()) << n;
        }
        EXPECT_FALSE(CheckRebuildable(read.bank, BankKind::WithAnimations, cut)) << n;
    }
}

TEST(ReadBank, FlippedCountFieldsNeverFault) {
    auto built = BuildBank(BankKind::Plain, {sound(1, 5000), sound(2, 300)});
    for (std::size_t field : {8u, 16u, 24u, 28u, 40u, 44u + 12u, 44u + 52u}) {
        for (std::uint32_t v : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
            auto image = built.image;
            testing::PutU32(image, field, v);
            BankRead read = ReadBank(image, BankKind::Plain);
            (void)CheckRebuildable(read.bank, BankKind::Plain, image);
        }
    }
}

TEST(BankWriter, WrittenBanksHoldTheLayoutRelations) {
    std::vector<TestSound> sounds = {sound(1, 4096), sound(2, 1), sound(3, 0), sound(4, 12345)};
    auto built = BuildBank(BankKind::WithAnimations, sounds);
    const TBankAudio& bank = built.model;
    const auto& image = built.image;
    EXPECT_EQ(U32At(image, 0), 28u);
    EXPECT_EQ(U32At(image, 4), 0u);
    EXPECT_EQ(U32At(image, 20), 4u);
    std::uint32_t recordOffset = 0, sampleOffset = 0, headerSize = 28;
    std::int64_t animOffset = 0;
    std::uint64_t animBytes = 0;
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(bank.BanksHeadInfo[i].Offset, recordOffset);
        EXPECT_EQ(bank.BanksHeadInfo[i].Size, 56 + 3 * bank.BanksInfo[i].StatesCount);
        EXPECT_EQ(bank.BanksInfo[i].Offset, sampleOffset);
        EXPECT_EQ(bank.BanksInfo[i].Size2, 2 * bank.BanksInfo[i].Size);
        EXPECT_EQ(bank.AnimsInfo[i].Offset, animOffset);
        // InfoHash repeats the directory's hash.
        EXPECT_EQ(U32At(image, 28 + 16 * 4 + recordOffset + 8), bank.BanksHeadInfo[i].Hash);
        // The slot behind the samples is zero.
        const std::size_t slotStart = bank.HeaderFullSize + sampleOffset;
        EXPECT_TRUE(std::equal(built.stored[i].begin(), built.stored[i].end(), image.begin() + slotStart));
        for (std::size_t p = slotStart + bank.BanksInfo[i].Size; p < slotStart + AlignTo2048(bank.BanksInfo[i].Size);
             ++p)
            ASSERT_EQ(image[p], 0) << p;
        recordOffset += bank.BanksHeadInfo[i].Size;
        headerSize += 16 + bank.BanksHeadInfo[i].Size;
        sampleOffset += AlignTo2048(bank.BanksInfo[i].Size);
        animOffset += bank.AnimsInfo[i].Size;
        animBytes += 16 + bank.AnimsInfo[i].Size;
    }
    EXPECT_EQ(bank.HeaderSize, headerSize);
    EXPECT_EQ(bank.HeaderFullSize, AlignTo2048(static_cast<std::uint32_t>(headerSize + animBytes)));
    EXPECT_EQ(image.size(), bank.HeaderFullSize + sampleOffset);
}

TEST(BankWriter, RoundTripsEveryKindThroughTheReader) {
    for (BankKind kind : {BankKind::WithAnimations, BankKind::Plain}) {
        for (std::uint32_t compression : {kCompressionAdpcm, kCompressionPcm}) {
            if (kind == BankKind::WithAnimations && compression == kCompressionPcm) continue;
            std::vector<TestSound> sounds = {sound(7, 9000, 44100, compression), sound(8, 20, 8000, compression)};
            sounds[0].iUnknown = -17;
            sounds[1].wUnknown = 0xBEEF;
            auto built = BuildBank(kind, sounds);
            BankRead read = ReadBank(built.image, kind);
            EXPECT_TRUE(read.damage.empty());
            EXPECT_EQ(read.bank, built.model);
            EXPECT_TRUE(CheckRebuildable(read.bank, kind, built.image));
        }
    }
}

TEST(BankWriter, PlainPcmRecordsAreThirtyTwoBytes) {
    auto built = BuildBank(BankKind::Plain, {sound(1, 100, 22050, 1), sound(2, 50, 22050, 1)});
    EXPECT_EQ(built.model.BanksHeadInfo[1].Offset, 32u);
    EXPECT_EQ(built.model.HeaderSize, 28u + 2 * 48);
    EXPECT_EQ(built.model.HeaderFullSize, 2048u);
    EXPECT_EQ(built.model.BanksInfo[0].Size2, 100u);
    EXPECT_EQ(U32At(built.image, 20), 0u);
}

TEST(LayoutBank, RefusesABankOfFourGibibytes) {
    TBankAudio bank;
    for (int i = 0; i < 3; ++i) {
        bank.BanksHeadInfo.push_back({});
        TBankChannelInfo info;
        info.Size = 0x60000000u;
        info.Compression = kCompressionPcm;
        bank.BanksInfo.push_back(info);
    }
    EXPECT_FALSE(LayoutBank(bank, BankKind::Plain, RecordForm::Pcm));
}

TEST(CheckRebuildable, RefusesMixedPlainBanksAndMisplacedData) {
    auto mixed = handMadePlainBank({kCompressionAdpcm, kCompressionPcm});
    BankRead read = ReadBank(mixed, BankKind::Plain);
    Status s = CheckRebuildable(read.bank, BankKind::Plain, mixed);
    ASSERT_FALSE(s);
    EXPECT_THAT(s.message(), HasSubstr("sample format"));

    auto built = BuildBank(BankKind::Plain, {sound(1, 5000)});
    auto lying = built.image;
    testing::PutU32(lying, 28 + 12, 80);  // the directory's record size no longer matches
    EXPECT_FALSE(CheckRebuildable(ReadBank(lying, BankKind::Plain).bank, BankKind::Plain, lying));

    auto past = built.image;
    testing::PutU32(past, 44 + 0, 0x100000);  // the samples' offset points past the end
    EXPECT_FALSE(CheckRebuildable(ReadBank(past, BankKind::Plain).bank, BankKind::Plain, past));
}

TEST(Layout, AlignAndPad) {
    EXPECT_EQ(AlignTo2048(0u), 0u);
    EXPECT_EQ(AlignTo2048(1u), 2048u);
    EXPECT_EQ(AlignTo2048(2048u), 2048u);
    EXPECT_EQ(AlignTo2048(2049u), 4096u);
    std::vector<std::uint8_t> s(2049, 1);
    PadTo2048(2049, s);
    EXPECT_EQ(s.size(), 4096u);
    EXPECT_EQ(s.back(), 0);
    PadTo2048(4096, s);
    EXPECT_EQ(s.size(), 4096u);
}

TEST(Layout, FormatDurationTruncatesAndWrapsLikeATimeOfDay) {
    EXPECT_EQ(FormatDuration(44099, 22050), "00:00:01");
    EXPECT_EQ(FormatDuration(22049, 22050), "00:00:00");
    EXPECT_EQ(FormatDuration(3600ull * 8000, 8000), "01:00:00");
    EXPECT_EQ(FormatDuration(86400ull * 100, 100), "00:00:00");
    EXPECT_EQ(FormatDuration(35999, 10), "00:59:59");
    EXPECT_EQ(FormatDuration(123456, 0), "00:00:00");
    EXPECT_EQ(FormatRate(22050), "22050 Hz");
}

}  // namespace
}  // namespace brenzo::formats
