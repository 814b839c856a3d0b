// Whole files and atomic replacement on POSIX systems.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/Backup.h"
#include "platform/Internal.h"
#include "platform/Interrupts.h"
#include "platform/Path.h"
#include "platform/posix/Locks.h"

namespace brenzo::platform {

namespace detail {
std::string lastError() { return std::strerror(errno); }
}  // namespace detail

// This half carries out what platform/Internal.h declares.
using namespace detail;

namespace {

// A file without any write permission counts as read-only even for a superuser.
bool readOnly(const fs::path& target, const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0;
}

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
        reason = S_ISDIR(st.st_mode)   ? "it is a folder"
                 : S_ISREG(st.st_mode) ? std::strerror(errno)
                                       : "it is not a regular file";
        ::close(fd);
        return -1;
    }
    // Regular files ignore O_NONBLOCK, but later reads should not see it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Opens the target of a save and locks it (waiting for another save to finish), then checks
// that it is still the file that was opened: the same file under its name, unchanged. On
// success `held` keeps the lock until the rename is done.
Status holdUnchanged(const fs::path& requested, const fs::path& target, const FileIdentity& expected, int& held) {
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
        return failure("replace", target,
                       code == EWOULDBLOCK ? "it is in use by another program" : std::strerror(code));
    }
    struct stat now {
    }, named{};
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
    if (const auto links = detail::linksBesidesBackup(requested, expected, static_cast<std::uint64_t>(now.st_nlink));
        links > 1) {
        ::close(fd);
        return hardLinked(target, links);
    }
    held = fd;
    return {};
}

}  // namespace

namespace detail {
// A link is followed to the file it points to; any other path is used as given, so that a long
// relative path is never made into an absolute one past the system's limit.
fs::path followedLink(const fs::path& requested) {
    std::error_code ec;
    if (!fs::is_symlink(requested, ec)) return requested;
    fs::path resolved = fs::canonical(requested, ec);
    return ec ? requested : resolved;
}

std::uint64_t linksBesidesBackup(const fs::path& container, const FileIdentity& file, std::uint64_t links) {
    struct stat bak {};
    if (links > 1 && ::lstat(BackupPath(container).c_str(), &bak) == 0 &&
        static_cast<std::uint64_t>(bak.st_dev) == file.device && static_cast<std::uint64_t>(bak.st_ino) == file.number)
        --links;
    return links;
}
}  // namespace detail

Result<FileIdentity> IdentityOf(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return failure("read", path, lastError());
    if (!S_ISREG(st.st_mode))
        return failure("read", path, S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
    return identityOf(st);
}

Result<Bytes> ReadWholeFile(const fs::path& path, FileIdentity* identity) {
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
    detail::mapNextImage(fd, static_cast<std::size_t>(st.st_size));
    bytes.resize(static_cast<std::size_t>(st.st_size));
    detail::mapNextImage(-1, 0);
    if (detail::isMappedImage(bytes.data())) {
        ::close(fd);
        return bytes;
    }
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
}

struct AtomicFile::Handle {
    int fd = -1;
    std::uint64_t written = 0;      // bytes written so far
    std::uint64_t writingFrom = 0;  // where the data not yet sent to the disk begins
    std::uint64_t settledTo = 0;    // data before this offset is on the disk
    // What the new file keeps of the one it replaces, where there is one.
    bool keepsOwner = false;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0666;
};

AtomicFile::AtomicFile() = default;

namespace {
// A flushed save sends its data to the disk while it writes, slice by slice, and waits for the
// slice before the last one: the dirty pages of a large file stay a few slices, so the final
// flush has little left to do, and the writer is not stalled at once for seconds when the
// kernel throttles a process that has dirtied hundreds of megabytes.
constexpr std::uint64_t kWriteBehindSlice = std::uint64_t{8} << 20;

void writeBehind(int fd, std::uint64_t& writingFrom, std::uint64_t& settledTo, std::uint64_t written) {
#ifdef __linux__
    if (written - writingFrom < kWriteBehindSlice) return;
    (void)::sync_file_range(fd, static_cast<off_t>(writingFrom), static_cast<off_t>(written - writingFrom),
                            SYNC_FILE_RANGE_WRITE);
    if (writingFrom > settledTo + kWriteBehindSlice) {
        (void)::sync_file_range(fd, static_cast<off_t>(settledTo), static_cast<off_t>(writingFrom - settledTo),
                                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        settledTo = writingFrom;
    }
    writingFrom = written;
#else
    (void)fd;
    (void)writingFrom;
    (void)settledTo;
    (void)written;
#endif
}

// Makes a rename in `folder` durable. Some file systems cannot flush a folder; the rename has
// happened by then and stands, so that is not an error.
void flushFolder(const fs::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}
}  // namespace

Status AtomicFile::prepare(bool exists) {
    handle_ = std::make_unique<Handle>();
    struct stat st {};
    handle_->keepsOwner = exists && ::stat(target_.c_str(), &st) == 0;
    if (!handle_->keepsOwner) return {};
    if (readOnly(target_, st)) return failure("write", requested_, "the file is read-only");
    handle_->owner = st.st_uid;
    handle_->group = st.st_gid;
    handle_->mode = st.st_mode & 07777;
    return {};
}

Result<bool> AtomicFile::openTemporary(const fs::path& temp) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        return failure("write", requested_, lastError());
    }
    // Locked while it is written, so that another run's clean-up knows its writer lives; one
    // that removed it in the moment before the lock is noticed here.
    struct stat own {};
    if (TryLockBoth(fd, true) != 0 || ::fstat(fd, &own) != 0 || own.st_nlink == 0) {
        ::close(fd);
        return false;
    }
    const Handle& h = *handle_;
    if (h.keepsOwner) {
        // The new file keeps the old one's owner and group as far as the saver may set them (a
        // member of the file's group may keep the group), then its mode: a change of owner
        // clears the set-ID bits.
        if (::fchown(fd, h.owner, h.group) != 0) (void)!::fchown(fd, static_cast<uid_t>(-1), h.group);
        if (::fchmod(fd, h.mode) != 0) { /* keep the private mode rather than fail */
        }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    handle_->fd = fd;
    return true;
}

AtomicFile::~AtomicFile() {
    if (!handle_) return;
    if (handle_->fd >= 0) ::close(handle_->fd);
    discardTemporary();
}

Status AtomicFile::Write(std::span<const std::uint8_t> bytes) {
    if (failed_) return failedBefore();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t want =
            durability_ == Durability::Flushed
                ? static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size() - done, kWriteBehindSlice))
                : bytes.size() - done;
        ssize_t wrote = ::write(handle_->fd, bytes.data() + done, want);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return fail("write", wrote < 0 ? lastError() : "nothing was written");
        done += static_cast<std::size_t>(wrote);
        handle_->written += static_cast<std::uint64_t>(wrote);
        if (durability_ == Durability::Flushed)
            writeBehind(handle_->fd, handle_->writingFrom, handle_->settledTo, handle_->written);
    }
    return {};
}

Status AtomicFile::Commit() {
    if (failed_) return failedBefore();
    if (committed_) return {};
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
        if (Status s = holdUnchanged(requested_, target_, expected_, held); !s) return fail(s.error());
    }
    const bool renamed = ::rename(temp_.c_str(), target_.c_str()) == 0;
    const std::string reason = renamed ? "" : lastError();
    if (held >= 0) ::close(held);
    if (!renamed) return fail("replace", reason);
    // The data is on the disk already: what close could report has been reported by fsync.
    ::close(handle_->fd);
    handle_->fd = -1;
    committed_ = true;
    written_ = identityOf(own);
    flushFolder(detail::folderOf(target_));
    return {};
}

Status CheckReplaceable(const fs::path& requested) {
    const fs::path target = detail::followedLink(requested);
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return failure("write", requested, lastError());
    {
        if (readOnly(target, st)) return failure("write", requested, "the file is read-only");
        if (!S_ISREG(st.st_mode)) return failure("write", requested, "it is not a regular file");
        if (const auto links =
                detail::linksBesidesBackup(requested, identityOf(st), static_cast<std::uint64_t>(st.st_nlink));
            links > 1)
            return hardLinked(requested, links);
    }
    // The save writes a new file beside the target: the folder is made to take one now, not
    // after a long conversion (a permission check would pass a superuser on a read-only mount).
    // A run killed before the unlink leaves a file that the next save's clean-up removes.
    const fs::path probe = detail::temporaryBeside(target);
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return detail::cannotWriteInto(detail::folderOf(target), lastError());
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
    }
    return {};
}

Status ShareOrCopyFile(const fs::path& from, const fs::path& to) {
    // link() never replaces: an existing target (EEXIST), another file system (EXDEV) or one
    // without links (EPERM) is copied to instead.
    if (::link(from.c_str(), to.c_str()) == 0) return {};
    return CopyFileAtomically(from, to, Durability::Cached);
}

void RemoveStaleTemporaryFiles(const fs::path& target) {
    detail::forEachTemporaryOf(target, [](const fs::path& path) {
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat held {
        }, named{};
        // A lock taken means the writer is gone; the name must still be the locked file.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && TryLockBoth(fd, false) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
    });
}

}  // namespace brenzo::platform
