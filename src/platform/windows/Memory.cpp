// Pages for large images on Windows.
#include <new>

#include "platform/Internal.h"
#include "platform/Memory.h"
#include "platform/windows/Windows.h"

namespace brenzo::platform::detail {

void* mapPages(std::size_t bytes) {
    void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
    return p;
}

void unmapPages(void* memory, std::size_t) noexcept { VirtualFree(memory, 0, MEM_RELEASE); }

}  // namespace brenzo::platform::detail

namespace brenzo::platform {

// Windows gives large pages only to processes holding a privilege users do not have.
void PreferHugePages(void*, std::size_t) noexcept {}

}  // namespace brenzo::platform
