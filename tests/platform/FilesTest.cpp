#include "platform/Files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/Path.h"
#include "support/HeldFile.h"
#include "support/TempDir.h"

namespace brenzo::platform {
namespace {

using ::testing::HasSubstr;
using testing::TempDir;

std::vector<std::uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

std::size_t filesIn(const fs::path& folder) {
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(folder)) files += (void(e), 1);
    return files;
}

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

TEST(AtomicFile, RefusesAReadOnlyTargetAndKeepsPermissions) {
    TempDir dir;
    testing::WriteText(dir / "ro.bin", "keep");
    // On Windows this sets the file's read-only attribute.
    fs::permissions(dir / "ro.bin", fs::perms::owner_read | fs::perms::group_read);
    Status s = WriteFileAtomically(dir / "ro.bin", text("x"));
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.isFileSystemError());
    EXPECT_EQ(s.message(), "cannot write ro.bin: the file is read-only");
    EXPECT_EQ(testing::ReadFile(dir / "ro.bin"), text("keep"));

#ifndef _WIN32
    testing::WriteText(dir / "rw.bin", "x");
    fs::permissions(dir / "rw.bin", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    ASSERT_TRUE(WriteFileAtomically(dir / "rw.bin", text("y")));
    EXPECT_EQ(fs::status(dir / "rw.bin").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
#endif
}

// Windows does not replace a file that another program holds open without delete sharing, as
// a player or a virus scanner does; POSIX replaces the name and leaves the reader its file.
TEST(AtomicFile, ASaveWaitsForAReaderThatLetsGoWithinASecond) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    testing::HeldFile reader(dir / "bank.bin");
    auto file = AtomicFile::Create(dir / "bank.bin");
    ASSERT_TRUE(file);
    ASSERT_TRUE((*file)->Write(text("new")));
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        reader.Close();
    });
    Status s = (*file)->Commit();
    release.join();
    ASSERT_TRUE(s) << s.message();
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text("new"));
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(AtomicFile, AReaderThatHoldsOnIsReportedAndTheTargetKept) {
    TempDir dir;
    testing::WriteText(dir / "bank.bin", "old");
    testing::HeldFile reader(dir / "bank.bin");
    Status s = WriteFileAtomically(dir / "bank.bin", text("new"));
#ifdef _WIN32
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.isFileSystemError());
    EXPECT_EQ(s.message().rfind("cannot replace bank.bin: it is ", 0), 0u) << s.message();
    EXPECT_THAT(s.message(), HasSubstr("in another program"));
    reader.Close();
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text("old"));
#else
    ASSERT_TRUE(s) << s.message();
    EXPECT_EQ(reader.ReadAll(), "old");
    EXPECT_EQ(testing::ReadFile(dir / "bank.bin"), text("new"));
#endif
    EXPECT_EQ(filesIn(dir.path()), 1u);  // no temporary file left either way
}

TEST(AtomicFile, AFailedCommitStaysFailedWithItsReason) {
    TempDir dir;
    auto file = AtomicFile::Create(dir / "out.wav");
    ASSERT_TRUE(file);
    ASSERT_TRUE((*file)->Write(text("data")));
    // Something else took the name meanwhile: a folder with a file in it.
    fs::create_directory(dir / "out.wav");
    testing::WriteText(dir / "out.wav" / "inside.txt", "x");
    Status first = (*file)->Commit();
    ASSERT_FALSE(first);
    EXPECT_TRUE(first.isFileSystemError());
    EXPECT_EQ(first.message().rfind("cannot replace out.wav: ", 0), 0u) << first.message();
    Status second = (*file)->Commit();
    ASSERT_FALSE(second);
    EXPECT_EQ(second.message(), first.message());
    file = Error{"closed"};
    EXPECT_EQ(testing::ReadFile(dir / "out.wav" / "inside.txt"), text("x"));
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

#ifndef _WIN32
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

// A file handed to the user shares the program's own file where it can, yet never follows what
// becomes of it: the program replaces or removes its file, and the user's stays as it was given.
TEST(ShareOrCopyFile, GivesTheContentsAndKeepsThemWhateverBecomesOfTheSource) {
#ifdef _WIN32
    constexpr bool kLinks = false;
#else
    constexpr bool kLinks = true;
#endif
    struct Row {
        const char* name;
        const char* existing;  // the target's contents before; nullptr: no target
        bool sourceThere;
        bool shared;  // afterwards the same file as the source
    };
    const Row rows[] = {
        {"a new target", nullptr, true, kLinks},
        {"an existing target (its mode kept)", "older", true, false},
        {"a missing source", nullptr, false, false},
        {"a missing source over an existing target", "older", false, false},
    };
    const auto privateMode = fs::perms::owner_read | fs::perms::owner_write;
    for (const auto& row : rows) {
        TempDir dir;
        const fs::path from = dir / "cache.wav";
        const fs::path to = dir / "out.wav";
        if (row.sourceThere) testing::WriteText(from, "the sound");
        if (row.existing) {
            testing::WriteText(to, row.existing);
            fs::permissions(to, privateMode);
        }
        const Status shared = ShareOrCopyFile(from, to);
        ASSERT_EQ(shared.isOk(), row.sourceThere) << row.name;
        if (!row.sourceThere) {
            if (row.existing) {
                EXPECT_EQ(testing::ReadFile(to), text(row.existing)) << row.name;
            } else {
                EXPECT_FALSE(fs::exists(to)) << row.name;
            }
            continue;
        }
        EXPECT_EQ(testing::ReadFile(to), text("the sound")) << row.name;
        EXPECT_EQ(*IdentityOf(from) == *IdentityOf(to), row.shared) << row.name;
#ifndef _WIN32
        if (row.existing) {
            EXPECT_EQ(fs::status(to).permissions(), privateMode) << row.name;
        }
#endif
        ASSERT_TRUE(WriteFileAtomically(from, text("a replaced sound"), Durability::Cached));
        ASSERT_TRUE(RemoveFile(from));
        EXPECT_EQ(testing::ReadFile(to), text("the sound")) << row.name;
        EXPECT_EQ(filesIn(dir.path()), 1u) << row.name;
    }
}

TEST(ReadWholeFile, SaysWhyAFileCannotBeRead) {
    TempDir dir;
    auto missing = ReadWholeFile(dir / "nope.bin");
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.isFileSystemError());
    EXPECT_EQ(missing.message().rfind("cannot read nope.bin: ", 0), 0u);
    auto folder = ReadWholeFile(dir.path());
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.message().rfind("cannot read ", 0), 0u);
    EXPECT_THAT(folder.message(), HasSubstr(": it is a folder"));
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
    EXPECT_THAT(second.message(), HasSubstr("in use"));
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
