// Whole files and atomic replacement on POSIX systems.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/Internal.h"
#include "platform/Path.h"

namespace brenzo::platform {

namespace detail {
std::string lastError() { return std::strerror(errno); }
}  // namespace detail

using detail::failure;
using detail::lastError;

namespace {

// A file without any write permission counts as read-only even for a superuser.
bool readOnly(const fs::path& target, const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0;
}

}  // namespace

Result<Bytes> ReadWholeFile(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failure("read", path, lastError());
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        std::string reason = S_ISDIR(st.st_mode) ? "it is a folder" : lastError();
        ::close(fd);
        return failure("read", path, reason);
    }
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
}

struct AtomicFile::Handle {
    int fd = -1;
    std::uint64_t written = 0;      // bytes written so far
    std::uint64_t writingFrom = 0;  // where the data not yet sent to the disk begins
    std::uint64_t settledTo = 0;    // data before this offset is on the disk
};

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
        if (fs::is_directory(target, ec)) return failure("write", requested, "it is a folder");
    }
    file->target_ = target;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    mode_t mode = 0666;
    struct stat st {};
    if (exists && ::stat(target.c_str(), &st) == 0) {
        if (readOnly(target, st)) return failure("write", requested, "the file is read-only");
        mode = st.st_mode & 07777;
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        fs::path temp = folder / PathFromUtf8("." + FileNameUtf8(target) + ".brenzo-" + detail::randomSuffix());
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            if (exists) {
                if (::fchmod(fd, mode) != 0) { /* keep the private mode rather than fail */ }
            } else {
                mode_t mask = ::umask(0);
                ::umask(mask);
                ::fchmod(fd, 0666 & ~mask);
            }
            file->handle_->fd = fd;
            file->temp_ = temp;
            return file;
        }
        if (errno != EEXIST) return failure("write", requested, lastError());
    }
    return failure("write", requested, "no temporary name is free");
}

AtomicFile::~AtomicFile() {
    if (!handle_) return;
    if (handle_->fd >= 0) ::close(handle_->fd);
    if (!committed_ && !temp_.empty()) {
        std::error_code ec;
        fs::remove(temp_, ec);
    }
}

Status AtomicFile::Write(std::span<const std::uint8_t> bytes) {
    if (failed_) return Error{failure_, true};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t want = durability_ == Durability::Flushed
                                     ? static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size() - done, kWriteBehindSlice))
                                     : bytes.size() - done;
        ssize_t wrote = ::write(handle_->fd, bytes.data() + done, want);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            failed_ = true;
            failure_ = failure("write", target_, wrote < 0 ? lastError() : "nothing was written").message;
            return Error{failure_, true};
        }
        done += static_cast<std::size_t>(wrote);
        handle_->written += static_cast<std::uint64_t>(wrote);
        if (durability_ == Durability::Flushed)
            writeBehind(handle_->fd, handle_->writingFrom, handle_->settledTo, handle_->written);
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
    if (durability_ == Durability::Flushed && ::fsync(handle_->fd) != 0) return fail("write", lastError());
    int rc = ::close(handle_->fd);
    handle_->fd = -1;
    if (rc != 0) return fail("write", lastError());
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail("replace", lastError());
    if (durability_ == Durability::Flushed) flushFolder(target_.has_parent_path() ? target_.parent_path() : fs::path("."));
    committed_ = true;
    return {};
}

Status CheckReplaceable(const fs::path& requested) {
    std::error_code ec;
    fs::path target = fs::canonical(requested, ec);
    if (ec) return failure("write", requested, ec.message());
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && readOnly(target, st)) return failure("write", requested, "the file is read-only");
    return {};
}

}  // namespace brenzo::platform
