// The file held open and locked against other writers, on POSIX systems: an advisory lock
// that every Brenzo takes before it writes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Files.h"
#include "platform/Internal.h"
#include "platform/posix/Locks.h"

namespace brenzo::platform {

using detail::failure;
using detail::lastError;

struct LockedFile::Handle {
    int fd = -1;
};

Result<std::unique_ptr<LockedFile>> LockedFile::Open(const fs::path& path) {
    std::unique_ptr<LockedFile> file(new LockedFile);
    file->handle_ = std::make_unique<Handle>();
    file->path_ = path;
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
    return file;
}

LockedFile::~LockedFile() {
    if (handle_ && handle_->fd >= 0) ::close(handle_->fd);  // closing releases the lock
}

Result<std::size_t> LockedFile::ReadAt(std::uint64_t pos, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t got = ::pread(handle_->fd, out.data() + done, out.size() - done, static_cast<off_t>(pos + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return failure("read", path_, lastError());
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

Status LockedFile::WriteAt(std::uint64_t pos, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::pwrite(handle_->fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(pos + done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return failure("write", path_, lastError());
        if (wrote == 0) return failure("write", path_, "nothing was written");
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(handle_->fd) != 0) return failure("write", path_, lastError());
    return {};
}

}  // namespace brenzo::platform
