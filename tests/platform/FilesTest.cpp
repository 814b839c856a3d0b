#include "platform/Files.h"

#include <gtest/gtest.h>

#include "platform/Path.h"
#include "support/TempDir.h"

namespace brenzo::platform {
namespace {

using testing::TempDir;

std::vector<std::uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

TEST(AtomicFile, ReplacesAnExistingFileWhole) {
    TempDir dir;
    testing::WriteText(dir / "a.bin", "old contents");
    ASSERT_TRUE(WriteFileAtomically(dir / "a.bin", text("new")));
    EXPECT_EQ(testing::ReadFile(dir / "a.bin"), text("new"));
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(dir.path())) files += (void(e), 1);
    EXPECT_EQ(files, 1u);  // no temporary file left
}

TEST(AtomicFile, AnUncommittedFileLeavesTheTargetAlone) {
    TempDir dir;
    testing::WriteText(dir / "a.bin", "old");
    {
        auto f = AtomicFile::Create(dir / "a.bin");
        ASSERT_TRUE(f);
        ASSERT_TRUE((*f)->Write(text("half of the n")));
    }
    EXPECT_EQ(testing::ReadFile(dir / "a.bin"), text("old"));
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(dir.path())) files += (void(e), 1);
    EXPECT_EQ(files, 1u);
}

#ifndef _WIN32
TEST(AtomicFile, RefusesAReadOnlyTargetAndKeepsPermissions) {
    TempDir dir;
    testing::WriteText(dir / "ro.bin", "keep");
    fs::permissions(dir / "ro.bin", fs::perms::owner_read | fs::perms::group_read);
    Status s = WriteFileAtomically(dir / "ro.bin", text("x"));
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.isFileSystemError());
    EXPECT_EQ(s.message(), "cannot write ro.bin: the file is read-only");
    EXPECT_EQ(testing::ReadFile(dir / "ro.bin"), text("keep"));

    testing::WriteText(dir / "rw.bin", "x");
    fs::permissions(dir / "rw.bin", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    ASSERT_TRUE(WriteFileAtomically(dir / "rw.bin", text("y")));
    EXPECT_EQ(fs::status(dir / "rw.bin").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
}

TEST(AtomicFile, ReplacesTheFileALinkPointsTo) {
    TempDir dir;
    fs::create_directory(dir / "real");
    testing::WriteText(dir / "real" / "bank.bin", "old");
    fs::create_symlink(dir / "real" / "bank.bin", dir / "link.bin");
    ASSERT_TRUE(WriteFileAtomically(dir / "link.bin", text("new")));
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(testing::ReadFile(dir / "real" / "bank.bin"), text("new"));
}
#endif

TEST(ReadWholeFile, SaysWhyAFileCannotBeRead) {
    TempDir dir;
    auto missing = ReadWholeFile(dir / "nope.bin");
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.isFileSystemError());
    EXPECT_EQ(missing.message().rfind("cannot read nope.bin: ", 0), 0u);
    auto folder = ReadWholeFile(dir.path());
    EXPECT_FALSE(folder);
}

TEST(Paths, NonAsciiNamesRoundTrip) {
    TempDir dir;
    const std::string name = "b\xC3\xA4nk \xE2\x80\x94 \xE6\x97\xA5.bin";
    auto path = dir.path() / PathFromUtf8(name);
    ASSERT_TRUE(WriteFileAtomically(path, text("x")));
    EXPECT_EQ(FileNameUtf8(path), name);
    auto bytes = ReadWholeFile(path);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, text("x"));
}

TEST(LockedFile, ASecondOpenIsRefusedUntilTheFirstCloses) {
    TempDir dir;
    testing::WriteText(dir / "r.dat15", "0123456789");
    auto first = LockedFile::Open(dir / "r.dat15");
    ASSERT_TRUE(first);
    auto second = LockedFile::Open(dir / "r.dat15");
    ASSERT_FALSE(second);
    EXPECT_NE(second.message().find("in use"), std::string::npos);
    std::uint8_t buf[4];
    auto got = (*first)->ReadAt(8, buf);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, 2u);
    ASSERT_TRUE((*first)->WriteAt(2, text("ab")));
    first = Error{"closed"};
    EXPECT_TRUE(LockedFile::Open(dir / "r.dat15"));
    EXPECT_EQ(testing::ReadFile(dir / "r.dat15"), text("01ab456789"));
}

}  // namespace
}  // namespace brenzo::platform
