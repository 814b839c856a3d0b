// Image memory: large blocks come straight from the system (posix/ and windows/ map them);
// small ones from the ordinary heap.
#include <cstdlib>
#include <new>

#include "common/Bytes.h"
#include "platform/Internal.h"

namespace brenzo {
namespace {
// From one huge page up.
constexpr std::size_t kLarge = std::size_t{2} << 20;
}  // namespace

void* AllocateImageMemory(std::size_t bytes) {
    if (void* mapped = platform::detail::takeMappedImage(bytes)) return mapped;
    if (bytes >= kLarge) return platform::detail::mapPages(bytes);
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void FreeImageMemory(void* memory, std::size_t bytes) noexcept {
    if (!memory || platform::detail::releaseMappedImage(memory, bytes)) return;
    if (bytes >= kLarge)
        platform::detail::unmapPages(memory, bytes);
    else
        std::free(memory);
}

}  // namespace brenzo
