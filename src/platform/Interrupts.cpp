#include "platform/Interrupts.h"

#include <algorithm>
#include <mutex>
#include <system_error>
#include <vector>

namespace brenzo::platform {
namespace {

std::mutex& registryLock() {
    static std::mutex m;
    return m;
}

std::vector<std::filesystem::path>& registry() {
    static std::vector<std::filesystem::path> paths;
    return paths;
}

}  // namespace

void RemoveOnInterrupt(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> hold(registryLock());
    registry().push_back(path);
}

void ForgetOnInterrupt(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> hold(registryLock());
    auto& paths = registry();
    if (auto it = std::find(paths.rbegin(), paths.rend(), path); it != paths.rend()) paths.erase(std::next(it).base());
}

void RemoveRegisteredPaths() {
    // Held until the program ends: nothing registers or removes meanwhile.
    registryLock().lock();
    for (auto it = registry().rbegin(); it != registry().rend(); ++it) {
        std::error_code ec;
        std::filesystem::remove_all(*it, ec);
    }
}

}  // namespace brenzo::platform
