#include "platform/windows/Windows.h"

#include <string>

#include "platform/Internal.h"
#include "platform/Locks.h"
#include "platform/Path.h"

namespace brenzo::platform {

// Windows locks by share mode: the owner holds the file open without sharing, so that no one
// else can open it while the owner lives.
Result<std::unique_ptr<OwnerLock>> OwnerLock::Create(const std::filesystem::path& path) {
    HANDLE h =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Error{"cannot create " + PathToUtf8(path) + ": " + detail::lastError(), true};
    std::unique_ptr<OwnerLock> lock(new OwnerLock);
    lock->handle_ = h;
    return lock;
}

OwnerLock::~OwnerLock() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
}

bool OwnerLock::IsAbandoned(const std::filesystem::path& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

}  // namespace brenzo::platform
