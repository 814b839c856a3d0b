#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Bytes.h"
#include "common/Result.h"

namespace brenzo::platform {

namespace fs = std::filesystem;

// Which file a path named when it was read, and what it held: a file replaced, or written
// since, differs in at least one field (the time is the last write's, in nanoseconds).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The whole file, or why it cannot be read ("cannot read bank.bin: no such file"). Only a
// regular file (or a link to one) is read: a pipe, a device or a folder is refused without
// waiting on it. `identity`, when given, receives what the file was as it was read.
// On POSIX systems the bytes are a private mapping of the file: opening costs the same whatever
// the size, and the program's own changes to the bytes stay its own.
Result<Bytes> ReadWholeFile(const fs::path& path, FileIdentity* identity = nullptr);

// False when `image` (bytes ReadWholeFile gave) lost pages to another program that cut the
// file short while it was mapped: those pages read as zeros, and what was made from them is
// not the file's. Always true for bytes read into memory.
bool ImageIntact(std::span<const std::uint8_t> image);

// What the regular file at `path` (or the one a link there points to) is now, without reading it.
Result<FileIdentity> IdentityOf(const fs::path& path);

bool FileExists(const fs::path& path);
Status RemoveFile(const fs::path& path);

// Whether Commit waits for the data to reach the disk before the rename. A container save does
// (a crash must leave the old file or the whole new one); an export does not: a Cached file is
// never flushed, its source is still there, and waiting would make a long export twice as slow.
enum class Durability { Flushed, Cached };

// A file written beside its target and renamed over it on Commit: until then the target is
// untouched, and a failure (or destruction without Commit) removes the partial file.
// When the target exists it must be writable; the new file takes its permissions, and a
// symbolic link is followed so that the file it points to is replaced, not the link.
class AtomicFile {
public:
    static Result<std::unique_ptr<AtomicFile>> Create(const fs::path& target,
                                                      Durability durability = Durability::Flushed);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    Status Write(std::span<const std::uint8_t> bytes);
    // Makes Commit refuse, with nothing written, when the target is no longer the file that
    // was read as `opened`: another program (or another save) changed or replaced it since.
    // The check and the rename happen under an exclusive lock on the target, so two saves of
    // one file are serialised and the second is refused instead of undoing the first.
    void ExpectUnchanged(const FileIdentity& opened) {
        expected_ = opened;
        hasExpected_ = true;
    }
    // Flushes to the disk (a Flushed file only) and renames over the target.
    Status Commit();
    const fs::path& target() const { return target_; }
    // What the target is after a successful Commit (for the next save's check).
    const FileIdentity& written() const { return written_; }
    // After a successful Commit, the file as written, where that costs no copy: on POSIX a
    // mapping of it (its pages are still in memory). An error on Windows, where a mapping
    // would keep the next save from replacing the file, and when the target has changed since.
    Result<Bytes> MapCommitted() const;

private:
    // Where its handle is known, the system's half.
    AtomicFile();
    // Settles which file the save replaces (a link is followed) and refuses one that is not
    // a regular file; `exists` says whether there is one.
    Status chooseTarget(const fs::path& requested, bool& exists);
    // The system's half of Create: refuses a target that may not be replaced and remembers
    // what the new file is to keep of it (`exists`: there is one).
    Status prepare(bool exists);
    // Creates `temp` as the new file, held while it is written; false when the name is taken.
    Result<bool> openTemporary(const fs::path& temp);
    // A failure that sticks: every later Write and Commit reports it again, and a second
    // Commit never acts on a half-finished file.
    Status fail(Error error);
    Status fail(const char* verb, const std::string& reason);
    Status failedBefore() const { return Error{failure_, true}; }
    // Removes the temporary file unless it became the target.
    void discardTemporary();

    struct Handle;
    std::unique_ptr<Handle> handle_;
    fs::path requested_;  // the name asked for, beside which its backup lies
    fs::path target_;
    fs::path temp_;
    bool committed_ = false;
    bool failed_ = false;
    Durability durability_ = Durability::Flushed;
    std::string failure_;
    FileIdentity expected_;
    bool hasExpected_ = false;
    FileIdentity written_;
};

// Whether an existing file could be replaced through an AtomicFile (it is not read-only, it
// has no other names that a rename would leave holding the old contents, its own backup
// aside, and its folder takes new files), asked before long work whose end is that
// replacement.
Status CheckReplaceable(const fs::path& target);

// The temporary files that killed saves left beside `target` (its own name pattern only)
// whose writer is gone; a file a live writer holds locked is left alone.
void RemoveStaleTemporaryFiles(const fs::path& target);

// Writes the bytes to `target` through an AtomicFile.
Status WriteFileAtomically(const fs::path& target, std::span<const std::uint8_t> bytes,
                           Durability durability = Durability::Flushed);

// Copies a file through an AtomicFile at the target.
Status CopyFileAtomically(const fs::path& from, const fs::path& to, Durability durability = Durability::Flushed);

// Gives `from`'s contents a second name `to` (a hard link, instant and without a copy), or
// copies it where the file system cannot link.
Status LinkOrCopyFile(const fs::path& from, const fs::path& to);

// Puts `from`'s contents at `to`, a file handed to the user, without writing them again where
// that is safe: on POSIX, when nothing is at `to` yet, a second name for the file (a hard link).
// The program only ever replaces or removes its own files, never writes into them, so the
// user's file keeps its contents whatever becomes of `from`. Otherwise a copy through an
// AtomicFile, which keeps an existing target's owner and mode; always a copy on Windows, where
// a program holding one name of a file open would keep the other from being removed or
// replaced.
Status ShareOrCopyFile(const fs::path& from, const fs::path& to);

// The user's temporary directory ("" when the system reports none).
fs::path TempDirectory();

// Creates a new folder named prefix + a random suffix inside `parent`, readable only by the
// user, refusing to reuse anything that already exists there (a planted link included).
Result<fs::path> CreatePrivateFolder(const fs::path& parent, const std::string& prefix);

// Creates the folder and its missing parents.
Status CreateFolders(const fs::path& path);

// Removes a folder with everything in it; links inside are removed, never followed.
Status RemoveFolder(const fs::path& path);

// The folder of the running executable.
fs::path ExecutableFolder();

// Whether standard error is a terminal that understands the progress line's "\r" and
// "ESC [K" (progress is shown only there). A Windows console is switched to reading them; one
// too old for that, and the NUL device, count as no terminal.
bool StderrIsTerminal();

// Makes standard output and error binary on Windows, so that the CLI prints the same bytes
// everywhere ("\n", never "\r\n").
void SetBinaryStdout();

// Writes UTF-8 text to standard output or error. A Windows console is handed the characters
// (as UTF-16), since it would read bytes in its own code page, whatever the program's is;
// a file or a pipe gets the bytes.
void WriteText(std::FILE* stream, std::string_view utf8);

// The program's arguments as UTF-8. Windows keeps the command line as UTF-16 and hands main()
// a copy in the ANSI code page, where characters outside it are lost, so there it is read
// again from the UTF-16 original.
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// A Windows command line split into arguments as the C runtime splits it for main(), as
// UTF-8. Here rather than CommandLineToArgvW: that one lives in shell32, whose loading
// doubles the start-up time of every program.
std::vector<std::string> SplitWindowsCommandLine(std::u16string_view line);

// A file held open for reading and writing while other writers are shut out (an advisory
// lock on Linux that a second Brenzo respects; the share mode on Windows). Others may read.
class LockedFile {
public:
    static Result<std::unique_ptr<LockedFile>> Open(const fs::path& path);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    std::uint64_t size() const { return size_; }
    // Reads up to out.size() bytes at pos; returns how many were read.
    Result<std::size_t> ReadAt(std::uint64_t pos, std::span<std::uint8_t> out);
    Status WriteAt(std::uint64_t pos, std::span<const std::uint8_t> bytes);
    const fs::path& path() const { return path_; }

private:
    LockedFile() = default;
    struct Handle;
    std::unique_ptr<Handle> handle_;
    fs::path path_;
    std::uint64_t size_ = 0;
};

}  // namespace brenzo::platform
