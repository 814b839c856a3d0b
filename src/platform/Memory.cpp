// Image memory from the system: large blocks are mapped directly (huge pages where the
// system grants them); small ones come from the ordinary heap.
#include <cstdlib>
#include <new>

#include "common/Bytes.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace brenzo {
namespace {
// From one huge page up.
constexpr std::size_t kLarge = std::size_t{2} << 20;
}

void* AllocateImageMemory(std::size_t bytes) {
    if (bytes < kLarge) {
        void* p = std::malloc(bytes ? bytes : 1);
        if (!p) throw std::bad_alloc();
        return p;
    }
#ifdef _WIN32
    void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
    return p;
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return p;
#endif
}

void FreeImageMemory(void* memory, std::size_t bytes) noexcept {
    if (!memory) return;
    if (bytes < kLarge) {
        std::free(memory);
        return;
    }
#ifdef _WIN32
    VirtualFree(memory, 0, MEM_RELEASE);
#else
    munmap(memory, bytes);
#endif
}

}  // namespace brenzo
