// The only file that talks to the operating system directly; everything else goes through it.
#include "platform/Files.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <random>
#include <system_error>
#include <thread>

#include "platform/Interrupts.h"
#include "platform/Path.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/PosixLocks.h"
#endif

namespace brenzo::platform {
namespace {

std::string shown(const fs::path& path) { return FileNameUtf8(path); }

#ifdef _WIN32
constexpr int kReplaceAttempts = 20;
constexpr auto kReplaceRetryDelay = std::chrono::milliseconds(50);
#endif

std::string randomSuffix() {
    static std::mt19937_64 engine{std::random_device{}() ^
                                  static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(10, 'x');
    for (char& c : s) c = kDigits[engine() % 36];
    return s;
}

#ifdef _WIN32
std::string fromWide(const wchar_t* text, std::size_t length) {
    return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

std::string systemMessage(DWORD code) {
    // English where the system has it, so that messages read the same everywhere; else the
    // system's own language.
    std::string message;
    for (DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
        wchar_t* text = nullptr;
        DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, language, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        if (text) {
            message = fromWide(text, n);
            LocalFree(text);
        }
        if (!message.empty()) break;
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' '))
        message.pop_back();
    if (message.empty()) message = "system error " + std::to_string(code);
    return message;
}
std::string lastError() { return systemMessage(GetLastError()); }
#else
std::string lastError() { return std::strerror(errno); }
#endif

Error failure(const char* verb, const fs::path& path, const std::string& reason) {
    return Error{std::string("cannot ") + verb + " " + shown(path) + ": " + reason, true};
}

Error changedSinceOpened(const fs::path& path) {
    return Error{shown(path) + " was changed by another program since it was opened; open it again", true};
}

Error hardLinked(const fs::path& path, std::uint64_t links) {
    // A save writes a new file and renames it over this name; the other names would keep the
    // old contents. Refused rather than written in place, where a failure halfway would lose
    // the file.
    return failure("save", path,
                   "it has " + std::to_string(links) +
                       " hard links, and a save would replace it under this name only; save a copy of "
                       "its own instead");
}

// A save waits this long for another save (or another program's lock) on its target.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(20);

// Temporary files of a save of `target` are "." + its name + ".brenzo-" + 10 letters or digits.
std::string temporaryPrefix(const fs::path& target) { return "." + FileNameUtf8(target) + ".brenzo-"; }
constexpr std::size_t kSuffixLength = 10;

#ifndef _WIN32
FileIdentity identityOf(const struct stat& st);

// Opens the target of a save and locks it (waiting for another save to finish), then checks
// that it is still the file that was opened: the same file under its name, unchanged. On
// success `held` keeps the lock until the rename is done.
Status holdUnchanged(const fs::path& target, const FileIdentity& expected, int& held);
#endif

#ifndef _WIN32
FileIdentity identityOf(const struct stat& st) {
    FileIdentity id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.number = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

int lockBothWaiting(int fd, bool writable) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        const int code = TryLockBoth(fd, writable);
        if (code != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) return code;
        std::this_thread::sleep_for(kLockPoll);
    }
}

// Opens a path only if it is a regular file (or a link to one), never waiting on a pipe.
int openRegular(const fs::path& path, int flags, std::string& reason) {
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "it is a folder" : S_ISREG(st.st_mode) ? std::strerror(errno)
                                                                             : "it is not a regular file";
        ::close(fd);
        return -1;
    }
    // Regular files ignore O_NONBLOCK, but later reads should not see it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
Status holdUnchanged(const fs::path& target, const FileIdentity& expected, int& held) {
    bool writable = true;
    int fd = ::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        writable = false;
        fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    if (fd < 0) return errno == ENOENT ? changedSinceOpened(target) : failure("replace", target, lastError());
    const int code = lockBothWaiting(fd, writable);
    if (code != 0) {
        ::close(fd);
        return failure("replace", target, code == EWOULDBLOCK ? "it is in use by another program" : std::strerror(code));
    }
    struct stat now {}, named {};
    if (::fstat(fd, &now) != 0) {
        auto e = failure("replace", target, lastError());
        ::close(fd);
        return e;
    }
    if (::stat(target.c_str(), &named) != 0 || named.st_dev != now.st_dev || named.st_ino != now.st_ino ||
        identityOf(now) != expected) {
        ::close(fd);
        return changedSinceOpened(target);
    }
    if (now.st_nlink > 1) {
        ::close(fd);
        return hardLinked(target, static_cast<std::uint64_t>(now.st_nlink));
    }
    held = fd;
    return {};
}

void flushFolder(const fs::path& file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}
#else
FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    FileIdentity id;
    id.device = info.dwVolumeSerialNumber;
    id.number = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    id.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    id.modified = static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                            info.ftLastWriteTime.dwLowDateTime);
    return id;
}
#endif

}  // namespace

// ---- whole files -------------------------------------------------------------------------

Result<Bytes> ReadWholeFile(const fs::path& path, FileIdentity* identity) {
#ifdef _WIN32
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // Opening a folder as a file fails with "access is denied", which would send the user
        // looking at permissions.
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return failure("read", path, "it is a folder");
        return failure("read", path, systemMessage(code));
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return failure("read", path, "it is not a regular file");
    }
    LARGE_INTEGER size;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileSizeEx(h, &size) || !GetFileInformationByHandle(h, &info)) {
        auto e = failure("read", path, lastError());
        CloseHandle(h);
        return e;
    }
    if (identity) *identity = identityOf(info);
    Bytes bytes;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(h, bytes.data() + done, want, &got, nullptr)) {
            auto e = failure("read", path, lastError());
            CloseHandle(h);
            return e;
        }
        if (got == 0) break;
        done += got;
    }
    CloseHandle(h);
    bytes.resize(done);
    return bytes;
#else
    std::string reason;
    int fd = openRegular(path, O_RDONLY, reason);
    if (fd < 0) return failure("read", path, reason);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        auto e = failure("read", path, lastError());
        ::close(fd);
        return e;
    }
    if (identity) *identity = identityOf(st);
    Bytes bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            auto e = failure("read", path, lastError());
            ::close(fd);
            return e;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
#endif
}

bool FileExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

Status RemoveFile(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) return failure("remove", path, ec.message());
    return {};
}

// ---- atomic replacement ------------------------------------------------------------------

struct AtomicFile::Handle {
#ifdef _WIN32
    HANDLE h = INVALID_HANDLE_VALUE;
#else
    int fd = -1;
#endif
};

Result<std::unique_ptr<AtomicFile>> AtomicFile::Create(const fs::path& requested, Durability durability) {
    std::unique_ptr<AtomicFile> file(new AtomicFile);
    file->durability_ = durability;
    file->handle_ = std::make_unique<Handle>();
    std::error_code ec;
    fs::path target = requested;
    const bool exists = fs::exists(requested, ec);
    if (exists) {
        // A link is followed: the file it points to is the one replaced.
        fs::path resolved = fs::canonical(requested, ec);
        if (!ec) target = resolved;
        // Only a regular file is replaced: a rename over a pipe or a device would swap the
        // node itself for a plain file.
        const auto type = fs::status(target, ec).type();
        if (type == fs::file_type::directory) return failure("write", requested, "it is a folder");
        if (type != fs::file_type::regular && type != fs::file_type::not_found)
            return failure("write", requested, "it is not a regular file");
    }
    file->target_ = target;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

#ifdef _WIN32
    if (exists) {
        DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return failure("write", requested, "the file is read-only");
    }
    if (durability == Durability::Flushed) RemoveStaleTemporaryFiles(target);
    for (int attempt = 0; attempt < 20; ++attempt) {
        fs::path temp = folder / PathFromUtf8(temporaryPrefix(target) + randomSuffix());
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            file->handle_->h = h;
            file->temp_ = temp;
            RemoveOnInterrupt(temp);
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return failure("write", requested, lastError());
    }
    return failure("write", requested, "no temporary name is free");
#else
    mode_t mode = 0666;
    struct stat st {};
    const bool existing = exists && ::stat(target.c_str(), &st) == 0;
    if (existing) {
        // A file without any write permission counts as read-only even for a superuser.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0)
            return failure("write", requested, "the file is read-only");
        mode = st.st_mode & 07777;
    }
    if (durability == Durability::Flushed) RemoveStaleTemporaryFiles(target);
    for (int attempt = 0; attempt < 20; ++attempt) {
        fs::path temp = folder / PathFromUtf8(temporaryPrefix(target) + randomSuffix());
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            // Locked while it is written, so that another run's clean-up knows its writer
            // lives; one that removed it in the moment before the lock is noticed here.
            struct stat own {};
            if (TryLockBoth(fd, true) != 0 || ::fstat(fd, &own) != 0 || own.st_nlink == 0) {
                ::close(fd);
                continue;
            }
            if (existing) {
                // The new file keeps the old one's owner and group as far as the saver may
                // set them (a member of the file's group may keep the group), then its mode:
                // a change of owner clears the set-ID bits.
                if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)!::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
                if (::fchmod(fd, mode) != 0) { /* keep the private mode rather than fail */ }
            } else {
                mode_t mask = ::umask(0);
                ::umask(mask);
                ::fchmod(fd, 0666 & ~mask);
            }
            file->handle_->fd = fd;
            file->temp_ = temp;
            RemoveOnInterrupt(temp);
            return file;
        }
        if (errno != EEXIST) return failure("write", requested, lastError());
    }
    return failure("write", requested, "no temporary name is free");
#endif
}

AtomicFile::~AtomicFile() {
    if (!handle_) return;
#ifdef _WIN32
    if (handle_->h != INVALID_HANDLE_VALUE) CloseHandle(handle_->h);
#else
    if (handle_->fd >= 0) ::close(handle_->fd);
#endif
    if (!committed_ && !temp_.empty()) {
        std::error_code ec;
        fs::remove(temp_, ec);
    }
    if (!temp_.empty()) ForgetOnInterrupt(temp_);
}

Status AtomicFile::Write(std::span<const std::uint8_t> bytes) {
    if (failed_) return Error{failure_, true};
    std::size_t done = 0;
    while (done < bytes.size()) {
#ifdef _WIN32
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(handle_->h, bytes.data() + done, want, &wrote, nullptr)) {
            failed_ = true;
            failure_ = failure("write", target_, lastError()).message;
            return Error{failure_, true};
        }
        done += wrote;
#else
        ssize_t wrote = ::write(handle_->fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            failed_ = true;
            failure_ = failure("write", target_, wrote < 0 ? lastError() : "nothing was written").message;
            return Error{failure_, true};
        }
        done += static_cast<std::size_t>(wrote);
#endif
    }
    return {};
}

Status AtomicFile::Commit() {
    if (failed_) return Error{failure_, true};
    if (committed_) return {};
    // A failed commit stays failed: the handle is closed by then, and a second call must not
    // report success or act on a half-finished file.
    auto fail = [this](const char* verb, const std::string& reason) -> Status {
        failed_ = true;
        failure_ = failure(verb, target_, reason).message;
        return Error{failure_, true};
    };
#ifdef _WIN32
    bool flushed = durability_ == Durability::Cached || FlushFileBuffers(handle_->h) != 0;
    std::string reason = flushed ? "" : lastError();
    CloseHandle(handle_->h);
    handle_->h = INVALID_HANDLE_VALUE;
    if (!flushed) return fail("write", reason);
    if (hasExpected_) {
        // The target is opened without read or write sharing while it is checked, so that a
        // second save checking at the same moment waits for this one.
        HANDLE held = INVALID_HANDLE_VALUE;
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        for (;;) {
            held = CreateFileW(target_.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (held != INVALID_HANDLE_VALUE) break;
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
                failed_ = true;
                failure_ = changedSinceOpened(target_).message;
                return Error{failure_, true};
            }
            if (code != ERROR_SHARING_VIOLATION || std::chrono::steady_clock::now() >= deadline)
                return fail("replace", code == ERROR_SHARING_VIOLATION ? "it is in use by another program"
                                                                        : systemMessage(code));
            std::this_thread::sleep_for(kLockPoll);
        }
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = GetFileInformationByHandle(held, &info) != 0;
        const std::string why = known ? "" : lastError();
        CloseHandle(held);
        if (!known) return fail("replace", why);
        if (identityOf(info) != expected_) {
            failed_ = true;
            failure_ = changedSinceOpened(target_).message;
            return Error{failure_, true};
        }
        if (info.nNumberOfLinks > 1) {
            failed_ = true;
            failure_ = hardLinked(target_, info.nNumberOfLinks).message;
            return Error{failure_, true};
        }
    }
    // Another program may hold the target open for a moment (a virus scanner, an indexer, a
    // player): Windows refuses to replace a file open without delete sharing, so a sharing
    // violation is retried for about a second before it is reported.
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durability_ == Durability::Flushed ? MOVEFILE_WRITE_THROUGH : 0);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temp_.c_str(), target_.c_str(), flags)) break;
        const DWORD code = GetLastError();
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
        if ((held || code == ERROR_ACCESS_DENIED) && attempt < kReplaceAttempts) {
            std::this_thread::sleep_for(kReplaceRetryDelay);
            continue;
        }
        // A file open elsewhere comes back as "access is denied" as often as a sharing
        // violation; the target's own read-only flag was ruled out in Create.
        if (held) return fail("replace", "it is in use by another program");
        if (code == ERROR_ACCESS_DENIED) return fail("replace", "it is open in another program, or access is denied");
        return fail("replace", systemMessage(code));
    }
    HANDLE now = CreateFileW(target_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (now != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileInformationByHandle(now, &info)) written_ = identityOf(info);
        CloseHandle(now);
    }
#else
    if (durability_ == Durability::Cached) {
        // An export: a late write error (a network file system's) is known only at close.
        int rc = ::close(handle_->fd);
        handle_->fd = -1;
        if (rc != 0) return fail("write", lastError());
        if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail("replace", lastError());
        struct stat st {};
        if (::stat(target_.c_str(), &st) == 0) written_ = identityOf(st);
        committed_ = true;
        return {};
    }
    // A save: flushed, then renamed while the temporary file is still held (and locked), so
    // that no clean-up of another run takes it for a dead writer's.
    if (::fsync(handle_->fd) != 0) return fail("write", lastError());
    struct stat own {};
    if (::fstat(handle_->fd, &own) != 0) return fail("write", lastError());
    int held = -1;
    if (hasExpected_) {
        if (Status s = holdUnchanged(target_, expected_, held); !s) {
            failed_ = true;
            failure_ = s.message();
            return s;
        }
    }
    const bool renamed = ::rename(temp_.c_str(), target_.c_str()) == 0;
    const std::string reason = renamed ? "" : lastError();
    if (held >= 0) ::close(held);
    if (!renamed) return fail("replace", reason);
    committed_ = true;
    written_ = identityOf(own);
    flushFolder(target_);
    return {};
#endif
    committed_ = true;
    return {};
}

Status CheckReplaceable(const fs::path& requested) {
    std::error_code ec;
    fs::path target = fs::canonical(requested, ec);
    if (ec) return failure("write", requested, ec.message());
#ifdef _WIN32
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return failure("write", requested, "the file is read-only");
#else
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0)
            return failure("write", requested, "the file is read-only");
        if (!S_ISREG(st.st_mode)) return failure("write", requested, "it is not a regular file");
        if (st.st_nlink > 1) return hardLinked(requested, static_cast<std::uint64_t>(st.st_nlink));
    }
    // The save writes a new file beside the target: a folder that takes none is named now,
    // not after a long conversion.
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return Error{"cannot write into " + PathToUtf8(folder) + ": " + lastError(), true};
#endif
    return {};
}

void RemoveStaleTemporaryFiles(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = temporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = FileNameUtf8(it->path());
        if (name.size() != prefix.size() + kSuffixLength || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789", prefix.size()) != std::string::npos)
            continue;
        const fs::path path = it->path();
#ifdef _WIN32
        // A live writer holds its file without delete sharing, so only a dead one's goes.
        DeleteFileW(path.c_str());
#else
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {}, named {};
        // A lock taken means the writer is gone; the name must still be the locked file.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && TryLockBoth(fd, false) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
#endif
    }
}

Status WriteFileAtomically(const fs::path& target, std::span<const std::uint8_t> bytes, Durability durability) {
    auto file = AtomicFile::Create(target, durability);
    if (!file) return file.status();
    if (Status s = (*file)->Write(bytes); !s) return s;
    return (*file)->Commit();
}

Status CopyFileAtomically(const fs::path& from, const fs::path& to, Durability durability) {
    auto bytes = ReadWholeFile(from);
    if (!bytes) return bytes.status();
    return WriteFileAtomically(to, *bytes, durability);
}

Status LinkOrCopyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_hard_link(from, to, ec);
    if (!ec) return {};
    return CopyFileAtomically(from, to, Durability::Cached);
}

// ---- folders -----------------------------------------------------------------------------

fs::path TempDirectory() {
    std::error_code ec;
    fs::path p = fs::temp_directory_path(ec);
    return ec ? fs::path() : p;
}

Result<fs::path> CreatePrivateFolder(const fs::path& parent, const std::string& prefix) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        fs::path folder = parent / PathFromUtf8(prefix + randomSuffix());
#ifdef _WIN32
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return failure("create", folder, lastError());
#else
        // mkdir never follows a link planted at the name: it fails with EEXIST instead.
        if (::mkdir(folder.c_str(), 0700) == 0) return folder;
        if (errno != EEXIST) return failure("create", folder, lastError());
#endif
    }
    return Error{"cannot create a scratch folder in " + PathToUtf8(parent) + ": no name is free", true};
}

Status CreateFolders(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) return failure("create", path, ec.message());
    return {};
}

Status RemoveFolder(const fs::path& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) return failure("remove", path, ec.message());
    return {};
}

fs::path ExecutableFolder() {
#ifdef _WIN32
    std::wstring buffer(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return fs::path(buffer).parent_path();
#else
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
    // _isatty() is also true for NUL; only a console has a console mode.
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (h == INVALID_HANDLE_VALUE || h == nullptr || !GetConsoleMode(h, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    return ::isatty(2) != 0;
#endif
}

void SetBinaryStdout() {
#ifdef _WIN32
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void WriteText(std::FILE* stream, std::string_view utf8) {
#ifdef _WIN32
    DWORD mode = 0;
    HANDLE h = stream == stdout ? GetStdHandle(STD_OUTPUT_HANDLE)
               : stream == stderr ? GetStdHandle(STD_ERROR_HANDLE)
                                  : INVALID_HANDLE_VALUE;
    if (h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode)) {
        std::fflush(stream);
        const std::u16string wide = Utf16FromUtf8(utf8);
        const auto* text = reinterpret_cast<const wchar_t*>(wide.data());
        std::size_t left = wide.size();
        while (left > 0) {
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
            // A surrogate pair is never split between two writes.
            if (chunk < left && text[chunk - 1] >= 0xD800 && text[chunk - 1] < 0xDC00) --chunk;
            DWORD wrote = 0;
            if (!WriteConsoleW(h, text, chunk, &wrote, nullptr) || wrote == 0) return;
            text += wrote;
            left -= wrote;
        }
        return;
    }
#endif
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

std::vector<std::string> SplitWindowsCommandLine(std::u16string_view line) {
    std::vector<std::string> args;
    std::u16string arg;
    std::size_t i = 0;
    // The program's name ends at the first blank, or is quoted; backslashes are part of it.
    if (i < line.size() && line[i] == u'"') {
        for (++i; i < line.size() && line[i] != u'"'; ++i) arg += line[i];
        if (i < line.size()) ++i;
    } else {
        for (; i < line.size() && line[i] != u' ' && line[i] != u'\t'; ++i) arg += line[i];
    }
    args.push_back(Utf8FromUtf16(arg));
    for (;;) {
        while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
        if (i == line.size()) return args;
        arg.clear();
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
            if (line[i] == u'\\') {
                // Backslashes are literal unless a quote follows: then each pair is one
                // backslash, and an odd one out makes the quote literal.
                std::size_t n = 0;
                for (; i < line.size() && line[i] == u'\\'; ++i) ++n;
                const bool quote = i < line.size() && line[i] == u'"';
                arg.append(quote ? n / 2 : n, u'\\');
                if (quote && n % 2 == 1) {
                    arg += u'"';
                    ++i;
                }
            } else if (line[i] == u'"') {
                // Inside quotes, two quotes are one literal quote.
                if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(Utf8FromUtf16(arg));
    }
}

std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    const wchar_t* line = GetCommandLineW();
    return SplitWindowsCommandLine(std::u16string_view(reinterpret_cast<const char16_t*>(line), std::wcslen(line)));
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

// ---- the locked file ---------------------------------------------------------------------

struct LockedFile::Handle {
#ifdef _WIN32
    HANDLE h = INVALID_HANDLE_VALUE;
#else
    int fd = -1;
#endif
};

Result<std::unique_ptr<LockedFile>> LockedFile::Open(const fs::path& path) {
    std::unique_ptr<LockedFile> file(new LockedFile);
    file->handle_ = std::make_unique<Handle>();
    file->path_ = path;
#ifdef _WIN32
    // Said in so many words, as on Linux, rather than as "access is denied" (and a process
    // with backup rights, or Wine run by root, would otherwise open it for writing anyway).
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return failure("open", path, "it is not a regular file");
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return failure("open", path, "the file is read-only");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION) return failure("open", path, "it is in use by another program");
        return failure("open", path, systemMessage(code));
    }
    file->handle_->h = h;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) return failure("open", path, lastError());
    file->size_ = static_cast<std::uint64_t>(size.QuadPart);
#else
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return failure("open", path, lastError());
    file->handle_->fd = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return failure("open", path, lastError());
    if (!S_ISREG(st.st_mode)) return failure("open", path, "it is not a regular file");
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return failure("open", path, "the file is read-only");
    // Both kinds of lock: another program may take either.
    if (const int code = TryLockBoth(fd, true); code != 0)
        return failure("open", path, code == EWOULDBLOCK ? "it is in use by another program" : std::strerror(code));
    file->size_ = static_cast<std::uint64_t>(st.st_size);
#endif
    return file;
}

LockedFile::~LockedFile() {
    if (!handle_) return;
#ifdef _WIN32
    if (handle_->h != INVALID_HANDLE_VALUE) CloseHandle(handle_->h);
#else
    if (handle_->fd >= 0) ::close(handle_->fd);  // closing releases the lock
#endif
}

Result<std::size_t> LockedFile::ReadAt(std::uint64_t pos, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
#ifdef _WIN32
        OVERLAPPED at{};
        std::uint64_t p = pos + done;
        at.Offset = static_cast<DWORD>(p);
        at.OffsetHigh = static_cast<DWORD>(p >> 32);
        DWORD got = 0;
        if (!ReadFile(handle_->h, out.data() + done, static_cast<DWORD>(out.size() - done), &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return failure("read", path_, lastError());
        }
#else
        ssize_t got = ::pread(handle_->fd, out.data() + done, out.size() - done, static_cast<off_t>(pos + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return failure("read", path_, lastError());
#endif
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

Status LockedFile::WriteAt(std::uint64_t pos, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
#ifdef _WIN32
        OVERLAPPED at{};
        std::uint64_t p = pos + done;
        at.Offset = static_cast<DWORD>(p);
        at.OffsetHigh = static_cast<DWORD>(p >> 32);
        DWORD wrote = 0;
        if (!WriteFile(handle_->h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, &at))
            return failure("write", path_, lastError());
#else
        ssize_t wrote =
            ::pwrite(handle_->fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(pos + done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return failure("write", path_, lastError());
#endif
        if (wrote == 0) return failure("write", path_, "nothing was written");
        done += static_cast<std::size_t>(wrote);
    }
#ifdef _WIN32
    if (!FlushFileBuffers(handle_->h)) return failure("write", path_, lastError());
#else
    if (::fsync(handle_->fd) != 0) return failure("write", path_, lastError());
#endif
    return {};
}

}  // namespace brenzo::platform
