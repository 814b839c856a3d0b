// What guards a save: the check that the target is still what was opened, the clean-up of
// dead writers' temporary files, the refusal of anything but regular files, hard links and
// ownership.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/Files.h"
#include "platform/Interrupts.h"
#include "platform/Path.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <csignal>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brenzo::platform {
namespace {

using ::testing::HasSubstr;
using testing::TempDir;

std::vector<std::uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder)) names.push_back(FileNameUtf8(e.path()));
    std::sort(names.begin(), names.end());
    return names;
}

Status saveExpecting(const fs::path& path, const FileIdentity& opened, const std::string& contents,
                     FileIdentity* written = nullptr) {
    auto file = AtomicFile::Create(path);
    if (!file) return file.status();
    (*file)->ExpectUnchanged(opened);
    if (Status s = (*file)->Write(text(contents)); !s) return s;
    Status s = (*file)->Commit();
    if (s && written) *written = (*file)->written();
    return s;
}

TEST(SaveGuard, AFileChangedSinceItWasOpenedIsNeverOverwritten) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> change;
        std::string after;  // what the file holds after the refused save
    };
    const std::vector<Case> cases = {
        {"rewritten in place, same size", [](const fs::path& p) { testing::WriteText(p, "OLD"); }, "OLD"},
        {"grown", [](const fs::path& p) { testing::WriteText(p, "older"); }, "older"},
        {"replaced by another file",
         [](const fs::path& p) {
             testing::WriteText(fs::path(p).concat(".other"), "other");
             fs::rename(fs::path(p).concat(".other"), p);
         },
         "other"},
        {"removed", [](const fs::path& p) { fs::remove(p); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        testing::WriteText(dir / "bank.bin", "old");
        FileIdentity opened;
        ASSERT_TRUE(ReadWholeFile(dir / "bank.bin", &opened));
        // A rewrite within the same clock tick must still be seen.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c.change(dir / "bank.bin");
        Status s = saveExpecting(dir / "bank.bin", opened, "new");
        ASSERT_FALSE(s);
        EXPECT_TRUE(s.isFileSystemError());
        EXPECT_EQ(s.message(), "bank.bin was changed by another program since it was opened; open it again");
        if (c.after.empty()) {
            EXPECT_TRUE(namesIn(dir.path()).empty());
        } else {
            EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text(c.after));
            EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"bank.bin"});
        }
    }
}

TEST(SaveGuard, SavesInARowEachCheckAgainstTheOneBefore) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "v0");
    FileIdentity opened;
    ASSERT_TRUE(ReadWholeFile(dir / "bank.bin", &opened));
    FileIdentity first, second;
    ASSERT_TRUE(saveExpecting(dir / "bank.bin", opened, "v1", &first));
    ASSERT_TRUE(saveExpecting(dir / "bank.bin", first, "v2", &second));
    FileIdentity reread;
    ASSERT_TRUE(ReadWholeFile(dir / "bank.bin", &reread));
    EXPECT_EQ(reread, second);
    // A second writer that opened the same version as the first is refused, not lost.
    Status late = saveExpecting(dir / "bank.bin", first, "lost");
    ASSERT_FALSE(late);
    EXPECT_THAT(late.message(), HasSubstr("was changed by another program"));
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text("v2"));
}

TEST(SaveGuard, TwoSavesAtOnceAreSerialisedAndTheSecondRefused) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    FileIdentity opened;
    ASSERT_TRUE(ReadWholeFile(dir / "bank.bin", &opened));
    std::vector<Status> results(4);
    std::vector<std::thread> savers;
    for (std::size_t i = 0; i < results.size(); ++i)
        savers.emplace_back([&, i] { results[i] = saveExpecting(dir / "bank.bin", opened, "new " + std::to_string(i)); });
    for (auto& t : savers) t.join();
    std::size_t saved = 0;
    std::string winner;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i]) {
            ++saved;
            winner = "new " + std::to_string(i);
        } else {
            EXPECT_THAT(results[i].message(), HasSubstr("was changed by another program"));
        }
    }
    EXPECT_EQ(saved, 1u);
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text(winner));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"bank.bin"});
}

TEST(SaveGuard, ASaveRemovesOnlyTheTemporaryFilesOfDeadWritersOfItsTarget) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    // A live writer: its temporary file is open and locked.
    auto live = AtomicFile::Create(dir / "bank.bin");
    ASSERT_TRUE(live);
    ASSERT_TRUE((*live)->Write(text("live")));
    const std::vector<std::string> kept = {".bank.bin.brenzo-abc",            // not the pattern
                                           ".bank.bin.brenzo-ABCDEFGHIJ",     // not the pattern
                                           ".other.bin.brenzo-abcdefghij",    // another target's
                                           "bank.bin.brenzo-abcdefghij"};     // not hidden
    for (const auto& name : kept) testing::WriteText(dir / name, "x");
    testing::WriteText(dir / ".bank.bin.brenzo-0123456789", "dead writer's");
    testing::WriteText(dir / ".bank.bin.brenzo-abcdefghij", "dead writer's");
    const std::size_t before = namesIn(dir.path()).size();

    ASSERT_TRUE(WriteFileAtomically(dir / "bank.bin", text("new")));
    EXPECT_EQ(namesIn(dir.path()).size(), before - 2);
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_FALSE(fs::exists(dir / ".bank.bin.brenzo-0123456789"));
    // The live writer still finishes its own save.
    ASSERT_TRUE((*live)->Commit());
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text("live"));
}

#ifndef _WIN32
TEST(SaveGuard, OnlyRegularFilesAreReadOrReplaced) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero");
    fs::create_symlink(dir / "pipe", dir / "link-to-pipe");
    for (const char* name : {"pipe", "zero", "link-to-pipe"}) {
        SCOPED_TRACE(name);
        const auto started = std::chrono::steady_clock::now();
        auto read = ReadWholeFile(dir / name);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.message(), std::string("cannot read ") + name + ": it is not a regular file");
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
    for (const char* name : {"pipe", "link-to-pipe"}) {
        SCOPED_TRACE(name);
        auto write = AtomicFile::Create(dir / name, Durability::Cached);
        ASSERT_FALSE(write);
        EXPECT_EQ(write.message(), std::string("cannot write ") + name + ": it is not a regular file");
    }
    EXPECT_EQ(fs::status(dir / "pipe").type(), fs::file_type::fifo);
}

TEST(SaveGuard, AHardLinkedFileIsRefusedBeforeAndAtTheSave) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    FileIdentity opened;
    ASSERT_TRUE(ReadWholeFile(dir / "bank.bin", &opened));
    fs::create_hard_link(dir / "bank.bin", dir / "other name.bin");
    Status early = CheckReplaceable(dir / "bank.bin");
    ASSERT_FALSE(early);
    EXPECT_THAT(early.message(), HasSubstr("cannot save bank.bin: it has 2 hard links"));
    Status late = saveExpecting(dir / "bank.bin", opened, "new");
    ASSERT_FALSE(late);
    EXPECT_THAT(late.message(), HasSubstr("hard links"));
    EXPECT_EQ(testing::ReadFile(dir / "other name.bin"), text("old"));
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text("old"));
}

TEST(SaveGuard, ASaveKeepsTheFilesOwnerGroupAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "setting another owner needs the superuser";
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    ASSERT_EQ(::chown((dir / "bank.bin").c_str(), 4321, 8765), 0);
    ASSERT_EQ(::chmod((dir / "bank.bin").c_str(), 0664), 0);
    ASSERT_TRUE(WriteFileAtomically(dir / "bank.bin", text("new")));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "bank.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
}

// Another program may lock a file with either call; Linux keeps the two kinds apart.
TEST(SaveGuard, ALockOfEitherKindKeepsALockedFileOut) {
    struct Case {
        const char* what;
        std::function<bool(int)> lock;
    };
    const std::vector<Case> cases = {
        {"flock", [](int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }},
        {"record lock", [](int fd) {
             struct flock l {};
             l.l_type = F_WRLCK;
             l.l_whence = SEEK_SET;
             return ::fcntl(fd, F_OFD_SETLK, &l) == 0;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        testing::WriteText(dir / "r.dat15", "0123");
        const int fd = ::open((dir / "r.dat15").c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(c.lock(fd));
        auto opened = LockedFile::Open(dir / "r.dat15");
        ASSERT_FALSE(opened);
        EXPECT_THAT(opened.message(), HasSubstr("in use by another program"));
        ::close(fd);
        EXPECT_TRUE(LockedFile::Open(dir / "r.dat15"));
    }
}

// An interrupted command-line run removes the files and folders it registered and ends with
// 128 + the signal.
TEST(SaveGuard, AnInterruptedRunRemovesWhatItCreated) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        const fs::path folder = dir / "scratch", file = dir / ".bank.bin.brenzo-0123456789";
        EXPECT_EXIT(
            {
                CleanUpOnInterrupt();
                fs::create_directory(folder);
                testing::WriteText(folder / "conv_res.wav", "audio");
                RemoveOnInterrupt(folder);
                testing::WriteText(file, "half");
                RemoveOnInterrupt(file);
                RemoveOnInterrupt(dir / "registered but never made");
                ::kill(::getpid(), signal);
                for (;;) ::pause();
            },
            ::testing::ExitedWithCode(128 + signal), "");
        EXPECT_TRUE(namesIn(dir.path()).empty());
    }
}
#endif

}  // namespace
}  // namespace brenzo::platform
