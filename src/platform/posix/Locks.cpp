#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Locks.h"
#include "platform/Path.h"
#include "platform/posix/Locks.h"

namespace brenzo::platform {

int TryLockBoth(int fd, bool writable) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EINTR ? EWOULDBLOCK : errno;
#ifdef F_OFD_SETLK
    struct flock lock {};
    lock.l_type = writable ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int code = (errno == EAGAIN || errno == EACCES) ? EWOULDBLOCK : errno;
        ::flock(fd, LOCK_UN);
        return code;
    }
#else
    (void)writable;
#endif
    return 0;
}

Result<std::unique_ptr<OwnerLock>> OwnerLock::Create(const std::filesystem::path& path) {
    // Made and locked under a name of its own, then renamed: a sweep never finds the real name
    // unlocked while its owner lives.
    std::filesystem::path fresh = path;
    fresh += ".new";
    const int fd = ::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Error{"cannot create " + PathToUtf8(fresh) + ": " + std::strerror(errno), true};
    const int code = TryLockBoth(fd, true);
    if (code != 0 || ::rename(fresh.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(code != 0 ? code : errno);
        ::close(fd);
        ::unlink(fresh.c_str());
        return Error{"cannot lock " + PathToUtf8(path) + ": " + reason, true};
    }
    std::unique_ptr<OwnerLock> lock(new OwnerLock);
    lock->fd_ = fd;
    return lock;
}

OwnerLock::~OwnerLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool OwnerLock::IsAbandoned(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool abandoned = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && TryLockBoth(fd, true) == 0;
    ::close(fd);
    return abandoned;
}

}  // namespace brenzo::platform
