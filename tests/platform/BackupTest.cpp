#include "platform/Backup.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

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

// A restore replaces the container as a save does, so it passes the same guards.
TEST(Backup, ARestoreIsGuardedAsASaveIs) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& dir)> meanwhile;  // after the container was opened
        const char* refusal;                                 // "" when the restore goes ahead
        bool passOpened;
    };
    const std::vector<Case> cases = {
        {"untouched since opened", [](const fs::path&) {}, "", true},
        {"changed since opened", [](const fs::path& d) { testing::WriteText(d / "bank.bin", "changed by another"); },
         "bank.bin was changed by another program since it was opened; open it again", true},
        {"another name for it", [](const fs::path& d) { fs::create_hard_link(d / "bank.bin", d / "twin.bin"); },
         "cannot save bank.bin: it has 2 hard links", false},
        {"gone", [](const fs::path& d) { fs::remove(d / "bank.bin"); }, "", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto file = dir / "bank.bin";
        testing::WriteText(file, "original");
        ASSERT_TRUE(KeepBackup(file));
        ASSERT_TRUE(WriteFileAtomically(file, backupBytes("saved")));
        FileIdentity opened;
        ASSERT_TRUE(ReadWholeFile(file, &opened));
        c.meanwhile(dir.path());
        const auto before = fs::exists(file) ? ReadFile(file) : std::vector<std::uint8_t>{};
        Status s = RestoreBackup(file, c.passOpened ? &opened : nullptr);
        if (std::string(c.refusal).empty()) {
            ASSERT_TRUE(s) << c.what << ": " << s.message();
            EXPECT_EQ(ReadFile(file), backupBytes("original")) << c.what;
        } else {
            ASSERT_FALSE(s) << c.what;
            EXPECT_TRUE(s.isFileSystemError()) << c.what;
            EXPECT_NE(s.message().find(c.refusal), std::string::npos) << c.what << ": " << s.message();
            EXPECT_EQ(ReadFile(file), before) << c.what;
        }
        EXPECT_EQ(ReadFile(dir / "bank.bin.bak"), backupBytes("original")) << c.what;
    }
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
