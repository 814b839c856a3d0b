#include "radio/Dat15File.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "radio/Dat15Builder.h"
#include "support/Builders.h"
#include "support/TempDir.h"

namespace brenzo::radio {
namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;
using testing::BuildDat15;
using testing::MixedEntries;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class Dat15FileTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(path, built.image); }

    TempDir dir;
    fs::path path = dir / "radio.dat15";
    testing::BuiltDat15 built = BuildDat15(MixedEntries());
};

TEST_F(Dat15FileTest, ListsReadsAndWritesInPlace) {
    auto file = Dat15File::Open(path);
    ASSERT_TRUE(file) << file.message();
    auto listing = file->ReadEntries();
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->entries.size(), 3u);
    const auto position = listing->entries[1].position;
    EXPECT_EQ(*file->ReadDuration(position), 3723999u);

    ASSERT_TRUE(file->WriteDuration(position, 250000));
    EXPECT_EQ(*file->ReadDuration(position), 250000u);
    file->Close();

    // Same length, every byte the same but the four of the duration.
    auto expected = built.image;
    testing::PutU32(expected, static_cast<std::size_t>(position) + 26, 250000);
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(Dat15FileTest, SecondOpenIsRefusedWhileTheFileIsHeld) {
    auto first = Dat15File::Open(path);
    ASSERT_TRUE(first);
    auto second = Dat15File::Open(path);
    ASSERT_FALSE(second);
    EXPECT_TRUE(second.isFileSystemError());
    EXPECT_EQ(second.message(), "cannot open radio.dat15: it is in use by another program");
}

TEST_F(Dat15FileTest, CloseAndDestructionReleaseTheFile) {
    {
        auto held = Dat15File::Open(path);
        ASSERT_TRUE(held);
    }
    auto first = Dat15File::Open(path);
    ASSERT_TRUE(first);
    first->Close();
    EXPECT_FALSE(first->isOpen());
    EXPECT_TRUE(Dat15File::Open(path));
}

TEST_F(Dat15FileTest, MovedFileKeepsTheLock) {
    auto opened = Dat15File::Open(path);
    ASSERT_TRUE(opened);
    Dat15File moved = std::move(*opened);
    EXPECT_TRUE(moved.isOpen());
    EXPECT_FALSE(Dat15File::Open(path));
    EXPECT_TRUE(moved.ReadEntries());
}

TEST_F(Dat15FileTest, ReadOnlyFileIsRefusedAndNothingIsHeld) {
    // No write permission at all counts as read-only, also for a superuser.
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto file = Dat15File::Open(path);
    ASSERT_FALSE(file);
    EXPECT_TRUE(file.isFileSystemError());
    EXPECT_THAT(file.message(), HasSubstr("radio.dat15"));
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(Dat15File::Open(path));
}

TEST_F(Dat15FileTest, MissingFileOrFolderIsRefused) {
    auto missing = Dat15File::Open(dir / "absent.dat15");
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.isFileSystemError());
    EXPECT_THAT(missing.message(), HasSubstr("absent.dat15"));
    EXPECT_FALSE(Dat15File::Open(dir.path()));
}

TEST_F(Dat15FileTest, ClosedFileRefusesEveryCall) {
    auto file = Dat15File::Open(path);
    ASSERT_TRUE(file);
    file->Close();
    EXPECT_FALSE(file->ReadEntries());
    EXPECT_FALSE(file->ReadDuration(built.positions[0]));
    Status s = file->WriteDuration(built.positions[0], 1000);
    EXPECT_FALSE(s);
    EXPECT_EQ(s.message(), "radio.dat15 is not open");
    EXPECT_EQ(ReadFile(path), built.image);
}

TEST_F(Dat15FileTest, WriteOutsideTheFileNeverGrowsIt) {
    auto file = Dat15File::Open(path);
    ASSERT_TRUE(file);
    const auto size = static_cast<std::int32_t>(built.image.size());
    EXPECT_FALSE(file->WriteDuration(size - 29, 1000));
    EXPECT_FALSE(file->WriteDuration(size + 100, 1000));
    file->Close();
    EXPECT_EQ(ReadFile(path), built.image);
}

}  // namespace
}  // namespace brenzo::radio
