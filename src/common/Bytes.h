#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

namespace brenzo {

// Memory for whole-file images. Large blocks come straight from the system, asking for huge
// pages where there are any: a fresh 500 MB buffer touched in 4 KiB pages costs more than a
// second here, in 2 MiB pages a fraction of that. (Defined in the platform layer.)
void* AllocateImageMemory(std::size_t bytes);
void FreeImageMemory(void* memory, std::size_t bytes) noexcept;

// Hands out image memory, and leaves new bytes uninitialised when no value is given: a
// buffer about to be filled from a file or a writer is not zeroed first.
template <class T>
struct ImageAllocator {
    using value_type = T;
    ImageAllocator() = default;
    template <class U>
    ImageAllocator(const ImageAllocator<U>&) noexcept {}  // NOLINT: converting, as allocators are

    T* allocate(std::size_t n) { return static_cast<T*>(AllocateImageMemory(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { FreeImageMemory(p, n * sizeof(T)); }

    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
    }

    friend bool operator==(const ImageAllocator&, const ImageAllocator&) { return true; }
};

// A whole file, or a whole container being built.
using Bytes = std::vector<std::uint8_t, ImageAllocator<std::uint8_t>>;

inline bool SameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace brenzo
