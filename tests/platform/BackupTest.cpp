#include "platform/Backup.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace brenzo::platform {
namespace {

using testing::ReadFile;
using testing::TempDir;

std::vector<std::uint8_t> backupBytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(Backup, TheFirstOriginalIsKeptNeverOverwrittenAndRestoredOnDemand) {
    TempDir dir;
    const auto file = dir / "bank.bin";
    testing::WriteText(file, "original");
    EXPECT_FALSE(HasBackup(file));
    EXPECT_EQ(BackupPath(file), dir / "bank.bin.bak");

    // Saves happen as renames over the container: the backup keeps the first original.
    for (const char* saved : {"first save", "second save"}) {
        ASSERT_TRUE(KeepBackup(file));
        ASSERT_TRUE(WriteFileAtomically(file, backupBytes(saved)));
        EXPECT_EQ(ReadFile(dir / "bank.bin.bak"), backupBytes("original")) << saved;
    }

    ASSERT_TRUE(RestoreBackup(file));
    EXPECT_EQ(ReadFile(file), backupBytes("original"));
    EXPECT_EQ(ReadFile(dir / "bank.bin.bak"), backupBytes("original"));
    // The container and its backup are two files now: a save over one leaves the other.
    ASSERT_TRUE(WriteFileAtomically(file, backupBytes("after restore")));
    EXPECT_EQ(ReadFile(dir / "bank.bin.bak"), backupBytes("original"));

    Status none = RestoreBackup(dir / "other.bin");
    ASSERT_FALSE(none);
    EXPECT_TRUE(none.isFileSystemError());
    EXPECT_EQ(none.message(), "cannot restore other.bin: there is no other.bin.bak");
}

#ifndef _WIN32
TEST(Backup, ThroughALinkTheLinkedFilesBytesAreKept) {
    TempDir dir;
    testing::WriteText(dir / "real.bin", "bytes");
    fs::create_symlink(dir / "real.bin", dir / "link.bin");
    ASSERT_TRUE(KeepBackup(dir / "link.bin"));
    EXPECT_FALSE(fs::is_symlink(dir / "link.bin.bak"));
    EXPECT_EQ(ReadFile(dir / "link.bin.bak"), backupBytes("bytes"));
}
#endif

}  // namespace
}  // namespace brenzo::platform
