#pragma once

// The advisory locks of the POSIX half, shared by its files.
namespace brenzo::platform {

// Takes both kinds of advisory lock without waiting: whole-file flock(), and the record lock
// that fcntl() users take (Linux keeps the two apart, and other programs use either). Returns
// 0, EWOULDBLOCK when someone else holds either, or the error of the call that failed. A
// record lock for writing needs a descriptor open for writing; `writable` says which to take.
int TryLockBoth(int fd, bool writable);

}  // namespace brenzo::platform
