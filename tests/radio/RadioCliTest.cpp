// Runs the built brenzo-cli on ".dat15" files made here and checks its output and exit status.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Path.h"
#include "radio/Dat15Builder.h"
#include "radio/Dat15File.h"
#include "support/Builders.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace brenzo::radio {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

namespace fs = std::filesystem;
using testing::BuildDat15;
using testing::MixedEntries;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string utf8(const fs::path& p) { return platform::PathToUtf8(p); }

class RadioCli : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(file, built.image); }

    testing::CliRun run(const std::vector<std::string>& args) { return testing::RunCli(args); }

    std::string position(std::size_t entry) const { return std::to_string(built.positions[entry]); }

    TempDir dir;
    fs::path file = dir / "radio.dat15";
    std::string path = utf8(file);
    testing::BuiltDat15 built = BuildDat15(MixedEntries());
};

TEST_F(RadioCli, ListPrintsOneTabSeparatedLinePerTrack) {
    auto r = run({"radio", "list", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\tRadio R\xC3\xA9tro\t" + position(0) + "\t00:03:05\n" + "1\tNight \xE2\x80\x93 Show\t" +
                         position(2) + "\t01:02:03\n" + "2\tLast Call\t" + position(4) + "\t00:00:42\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(RadioCli, ListJsonGivesTheFieldsInOrder) {
    auto r = run({"radio", "list", path, "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    auto track = [&](int index, const std::string& name, std::size_t entry, const std::string& duration,
                     const std::string& ms) {
        return "  {\n    \"index\": " + std::to_string(index) + ",\n    \"name\": \"" + name +
               "\",\n    \"position\": " + position(entry) + ",\n    \"duration\": \"" + duration +
               "\",\n    \"ms\": " + ms + "\n  }";
    };
    EXPECT_EQ(r.out, "[\n" + track(0, "Radio R\xC3\xA9tro", 0, "00:03:05", "185000") + ",\n" +
                         track(1, "Night \xE2\x80\x93 Show", 2, "01:02:03", "3723999") + ",\n" +
                         track(2, "Last Call", 4, "00:00:42", "42000") + "\n]\n");
}

TEST_F(RadioCli, ListOfAnEmptyTableIsEmpty) {
    testing::PutU32(built.image, built.countAt, 0);
    WriteFile(file, built.image);
    EXPECT_EQ(run({"radio", "list", path}).out, "");
    EXPECT_EQ(run({"radio", "list", path, "--json"}).out, "[]\n");
}

TEST_F(RadioCli, ListOfADamagedTableWarnsAndListsWhatItRead) {
    built.image.resize(built.entryEnd[3]);
    WriteFile(file, built.image);
    auto r = run({"radio", "list", path});
    EXPECT_EQ(r.status, 0);
    // Records were cut away: no track is whole any more.
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("entry 5 of 5 runs past the end of the file"));
}

TEST_F(RadioCli, ListShowsControlCharactersOfANameAsReplacementCharacters) {
    built = BuildDat15({{"two\nlines\t\x1B[2J", RadioTrackMarker, 1000}});
    WriteFile(file, built.image);
    auto r = run({"radio", "list", path});
    EXPECT_EQ(r.out, "0\ttwo\xEF\xBF\xBDlines\xEF\xBF\xBD\xEF\xBF\xBD[2J\t" + position(0) + "\t00:00:01\n");
    auto json = run({"radio", "list", path, "--json"});
    EXPECT_THAT(json.out, HasSubstr("\"two\\nlines\\t\\u001b[2J\""));
}

TEST_F(RadioCli, ListOfAMissingFileIsAFileError) {
    auto r = run({"radio", "list", utf8(dir / "absent.dat15")});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("absent.dat15"));
}

TEST_F(RadioCli, SetByIndexWritesOnlyTheFourDurationBytes) {
    auto r = run({"radio", "set", path, "--index", "1", "00:04:10"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto expected = built.image;
    testing::PutU32(expected, static_cast<std::size_t>(built.positions[2]) + 26, 250000);
    EXPECT_EQ(ReadFile(file), expected);
    EXPECT_THAT(run({"radio", "list", path}).out,
                HasSubstr("1\tNight \xE2\x80\x93 Show\t" + position(2) + "\t00:04:10\n"));
}

TEST_F(RadioCli, SetByNameMatchesTheConvertedName) {
    ASSERT_EQ(run({"radio", "set", path, "--name", "Radio R\xC3\xA9tro", "99:99:99"}).status, 0);
    EXPECT_EQ(testing::U32At(ReadFile(file), static_cast<std::size_t>(built.positions[0]) + 26), 362439000u);
}

TEST_F(RadioCli, SetRefusesWrongUsageAndLeavesTheFileAlone) {
    const std::vector<std::vector<std::string>> cases = {
        {"--index", "0", "--name", "Last Call", "00:01:00"},  // both
        {"00:01:00"},                                         // neither
        {"--index", "3", "00:01:00"},                         // only 3 tracks
        {"--index", "-1", "00:01:00"},
        {"--name", "city_ambience", "00:01:00"},   // not a radio track
        {"--name", "Radio R\xE9tro", "00:01:00"},  // the stored bytes, not UTF-8
        {"--index", "0", "0:01:00"},
        {"--index", "0", "  :01:00"},
        {"--index", "0", "00:01:00:00"},
        {"--index", "0", "ab:cd:ef"},
        {"--index", "0"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"radio", "set", path};
        args.insert(args.end(), c.begin(), c.end());
        auto r = run(args);
        EXPECT_EQ(r.status, 1) << c.back() << ": " << r.err;
        EXPECT_NE(r.err, "");
    }
    EXPECT_EQ(ReadFile(file), built.image);
}

TEST_F(RadioCli, SetOnATrackWhoseRecordRunsPastTheEndIsRefused) {
    // A radio track record one byte short of whole.
    const std::size_t d = built.image.size() - 29;
    testing::PutI32(built.image, built.entryEnd[4] - 4, static_cast<std::int32_t>(d));
    testing::PutU32(built.image, d + 12, RadioTrackMarker);
    WriteFile(file, built.image);
    EXPECT_THAT(run({"radio", "list", path}).out, Not(HasSubstr("Last Call")));
    auto r = run({"radio", "set", path, "--name", "Last Call", "00:01:00"});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("runs past the end of the file"));
    EXPECT_EQ(ReadFile(file), built.image);
}

TEST_F(RadioCli, SetOnAFileThatCannotBeOpenedForWritingIsAFileError) {
    EXPECT_EQ(run({"radio", "set", utf8(dir / "absent.dat15"), "--index", "0", "00:01:00"}).status, 3);
    {
        auto held = Dat15File::Open(file);
        ASSERT_TRUE(held);
        auto r = run({"radio", "set", path, "--index", "0", "00:01:00"});
        EXPECT_EQ(r.status, 3);
        EXPECT_THAT(r.err, HasSubstr("in use by another program"));
    }
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(run({"radio", "set", path, "--index", "0", "00:01:00"}).status, 3);
    // Listing changes nothing and still works.
    EXPECT_EQ(run({"radio", "list", path}).status, 0);
    EXPECT_EQ(ReadFile(file), built.image);
}

TEST_F(RadioCli, SamplesWriteAListableDemoFile) {
    ASSERT_EQ(run({"samples", utf8(dir / "demo")}).status, 0);
    auto r = run({"radio", "list", utf8(dir / "demo" / "radio.dat15")});
    EXPECT_EQ(r.status, 0);
    const std::string first = "0\tRadio R\xC3\xA9tro - Midnight Drive\t";
    EXPECT_EQ(r.out.substr(0, first.size()), first);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

}  // namespace
}  // namespace brenzo::radio
