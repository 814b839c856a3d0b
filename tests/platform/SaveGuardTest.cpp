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
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace brenzo::platform {
namespace {

using ::testing::HasSubstr;
using testing::TempDir;

std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

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
    if (Status s = (*file)->Write(bytesOf(contents)); !s) return s;
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
            EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), bytesOf(c.after));
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
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), bytesOf("v2"));
}

TEST(SaveGuard, TwoSavesAtOnceAreSerialisedAndTheSecondRefused) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    FileIdentity opened;
    ASSERT_TRUE(ReadWholeFile(dir / "bank.bin", &opened));
    std::vector<Status> results(4);
    std::vector<std::thread> savers;
    for (std::size_t i = 0; i < results.size(); ++i)
        savers.emplace_back(
            [&, i] { results[i] = saveExpecting(dir / "bank.bin", opened, "new " + std::to_string(i)); });
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
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), bytesOf(winner));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"bank.bin"});
}

TEST(SaveGuard, ASaveRemovesOnlyTheTemporaryFilesOfDeadWritersOfItsTarget) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    // A live writer: its temporary file is open and locked.
    auto live = AtomicFile::Create(dir / "bank.bin");
    ASSERT_TRUE(live);
    ASSERT_TRUE((*live)->Write(bytesOf("live")));
    const std::vector<std::string> kept = {
        ".bank.bin.brenzo-abc",          // not the pattern
        ".bank.bin.brenzo-ABCDEFGHI_",   // not the pattern (names differ by more than case, for Windows)
        ".other.bin.brenzo-abcdefghij",  // another target's
        "bank.bin.brenzo-abcdefghij"};   // not hidden
    for (const auto& name : kept) testing::WriteText(dir / name, "x");
    testing::WriteText(dir / ".bank.bin.brenzo-0123456789", "dead writer's");
    testing::WriteText(dir / ".bank.bin.brenzo-abcdefghij", "dead writer's");
    const std::size_t before = namesIn(dir.path()).size();

    ASSERT_TRUE(WriteFileAtomically(dir / "bank.bin", bytesOf("new")));
    EXPECT_EQ(namesIn(dir.path()).size(), before - 2);
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_FALSE(fs::exists(dir / ".bank.bin.brenzo-0123456789"));
    // The live writer still finishes its own save.
    ASSERT_TRUE((*live)->Commit());
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), bytesOf("live"));
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

TEST(SaveGuard, AHardLinkedFileIsRefusedBeforeAndAtTheSaveItsOwnBackupAside) {
    struct Case {
        const char* what;
        std::vector<const char*> links;  // other names of bank.bin
        int counted;                     // the hard links named in the refusal; 0: saved
    };
    const std::vector<Case> cases = {
        {"its own backup only", {"bank.bin.bak"}, 0},
        {"another name", {"other name.bin"}, 2},
        {"its backup and another name", {"bank.bin.bak", "other name.bin"}, 2},
        {"another file's backup", {"other.bin.bak"}, 2},
    };
    for (const auto& c : cases) {
        TempDir dir;
        testing::WriteText(dir / "bank.bin", "old");
        FileIdentity opened;
        ASSERT_TRUE(ReadWholeFile(dir / "bank.bin", &opened));
        for (const char* name : c.links) fs::create_hard_link(dir / "bank.bin", dir / name);
        Status early = CheckReplaceable(dir / "bank.bin");
        Status late = saveExpecting(dir / "bank.bin", opened, "new");
        if (c.counted == 0) {
            EXPECT_TRUE(early) << c.what << ": " << early.message();
            ASSERT_TRUE(late) << c.what << ": " << late.message();
            EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), bytesOf("new")) << c.what;
        } else {
            const std::string refusal = "cannot save bank.bin: it has " + std::to_string(c.counted) + " hard links";
            EXPECT_THAT(early.message(), HasSubstr(refusal)) << c.what;
            EXPECT_THAT(late.message(), HasSubstr(refusal)) << c.what;
            EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), bytesOf("old")) << c.what;
        }
        // Every other name keeps the old contents either way.
        for (const char* name : c.links)
            EXPECT_EQ(testing::ReadFile(dir / name), bytesOf("old")) << c.what << " " << name;
    }
}

TEST(SaveGuard, ASaveKeepsTheFilesOwnerGroupAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "setting another owner needs the superuser";
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    ASSERT_EQ(::chown((dir / "bank.bin").c_str(), 4321, 8765), 0);
    ASSERT_EQ(::chmod((dir / "bank.bin").c_str(), 0664), 0);
    ASSERT_TRUE(WriteFileAtomically(dir / "bank.bin", bytesOf("new")));
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
        {"record lock",
         [](int fd) {
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

// What `work` returns, run in a child process (as an ordinary user when `unprivileged`, so that
// permissions hold even for a superuser), which may change its folder freely.
std::string inChild(const std::function<std::string()>& work, bool unprivileged) {
    int pipe[2];
    if (::pipe(pipe) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        std::string result = "cannot drop privileges";
        if (!unprivileged || ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0)) result = work();
        (void)!::write(pipe[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string result;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    return result;
}

// The folder is made to take a new file before long work begins, and named whole when it
// does not; a relative path is used as given, however long its absolute form.
TEST(SaveGuard, TheFolderOfASaveIsTriedFirstAndPathsAreUsedAsGiven) {
    TempDir dir;
    fs::create_directory(dir / "ro");
    testing::WriteText(dir / "ro" / "bank.bin", "old");
    fs::permissions(dir / "ro" / "bank.bin",
                    fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec & ~fs::perms::others_exec);
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::string denied = "cannot write into " + PathToUtf8(dir / "ro") + ": Permission denied";
    const std::string ro = PathToUtf8(dir / "ro");
    const std::string base = PathToUtf8(dir.path());
    struct Case {
        const char* what;
        bool unprivileged;
        std::function<std::string()> work;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a read-only folder", true, [ro] { return CheckReplaceable(PathFromUtf8(ro) / "bank.bin").message(); },
         denied},
        {"a read-only folder reached relatively", true,
         [ro] { return ::chdir(ro.c_str()) == 0 ? CheckReplaceable("bank.bin").message() : "no chdir"; }, denied},
        {"a relative path longer than the system's limit as a whole", false,
         [base] {
             if (::chdir(base.c_str()) != 0) return std::string("no chdir");
             const std::string level(200, 'd');
             for (int i = 0; i < 24; ++i)
                 if (::mkdir(level.c_str(), 0700) != 0 || ::chdir(level.c_str()) != 0) return std::string("no folder");
             testing::WriteText("bank.bin", "old");
             FileIdentity opened;
             std::string result;
             if (!ReadWholeFile("bank.bin", &opened))
                 result = "not read";
             else if (Status s = CheckReplaceable("bank.bin"); !s)
                 result = s.message();
             else if (Status saved = saveExpecting("bank.bin", opened, "new"); !saved)
                 result = saved.message();
             else if (testing::ReadFile("bank.bin") != bytesOf("new"))
                 result = "not saved";
             else if (namesIn(".") != std::vector<std::string>{"bank.bin"})
                 result = "left files behind";
             ::unlink("bank.bin");
             for (int i = 0; i < 24; ++i)
                 if (::chdir("..") != 0 || ::rmdir(level.c_str()) != 0) return result + " (not removed)";
             return result;
         },
         ""},
    };
    for (const auto& c : cases) EXPECT_EQ(inChild(c.work, c.unprivileged), c.expected) << c.what;
    EXPECT_EQ(namesIn(dir / "ro"), std::vector<std::string>{"bank.bin"});
    fs::permissions(dir / "ro", fs::perms::owner_all);
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
