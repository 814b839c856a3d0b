#pragma once

#include <filesystem>
#include <memory>

#include "common/Result.h"

namespace brenzo::platform {

// A lock file that its creator keeps locked for as long as it runs, so that another run can
// tell a live owner's things from those a killed run left behind.
class OwnerLock {
public:
    // Creates the file and locks it; it is never seen unlocked under its name.
    static Result<std::unique_ptr<OwnerLock>> Create(const std::filesystem::path& path);
    ~OwnerLock();
    OwnerLock(const OwnerLock&) = delete;
    OwnerLock& operator=(const OwnerLock&) = delete;

    // Whether `path` is a lock file whose owner is gone: it exists and its lock can be taken.
    static bool IsAbandoned(const std::filesystem::path& path);

private:
    OwnerLock() = default;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace brenzo::platform
