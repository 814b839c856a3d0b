// Whole files read by mapping them privately instead of copying them into fresh memory: a
// file in the page cache is then shared with the cache until the program writes to a page of
// it, so opening a large container costs a few system calls, whatever its size, and an
// unchanged sound is written out from the cache again on save.
//
// A mapped file that another program truncates would raise SIGBUS on the next touch of a page
// past its new end. The handler below puts a zero page in place of such a page (only inside
// the images mapped here) and marks the image as cut short: the program reads zeros instead
// of crashing, and the commands that write what they read ask ImageIntact before they trust it.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/Internal.h"

namespace brenzo::platform {

namespace {

struct Slot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> cut{false};
};

// Enough for every image a window or a CLI run holds at once; past that a file is read instead.
constexpr std::size_t kSlots = 256;
Slot slots[kSlots];
std::mutex registering;
struct sigaction previous {};

std::uintptr_t pageSize() {
    static const auto size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

Slot* slotHolding(std::uintptr_t address) {
    for (Slot& s : slots) {
        const std::uintptr_t begin = s.begin.load(std::memory_order_acquire);
        if (begin != 0 && begin <= address && address < s.end.load(std::memory_order_acquire)) return &s;
    }
    return nullptr;
}

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (Slot* s = slotHolding(address)) {
        const std::uintptr_t page = address & ~(pageSize() - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), static_cast<std::size_t>(pageSize()),
                             PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            s->cut.store(true, std::memory_order_release);
            return;  // the access runs again and reads zeros
        }
    }
    // Not a page of ours: whoever handled the signal before us does.
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler) {
        previous.sa_handler(signal);
        return;
    }
    ::signal(signal, SIG_DFL);  // the access faults again and ends the program as it would have
}

void installHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previous);
    });
}

// The file that the next image allocation of `size` bytes on this thread maps.
thread_local int pendingFd = -1;
thread_local std::size_t pendingSize = 0;

}  // namespace

namespace detail {

void mapNextImage(int fd, std::size_t size) {
    pendingFd = fd;
    pendingSize = size;
}

void* takeMappedImage(std::size_t bytes) {
    if (pendingFd < 0 || bytes != pendingSize || bytes == 0) return nullptr;
    const int fd = pendingFd;
    pendingFd = -1;
    installHandler();
    std::lock_guard lock(registering);
    for (Slot& s : slots) {
        if (s.begin.load(std::memory_order_relaxed) != 0) continue;
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) return nullptr;
        s.cut.store(false, std::memory_order_relaxed);
        s.end.store(reinterpret_cast<std::uintptr_t>(p) + bytes, std::memory_order_release);
        s.begin.store(reinterpret_cast<std::uintptr_t>(p), std::memory_order_release);
        return p;
    }
    return nullptr;
}

bool releaseMappedImage(void* memory, std::size_t bytes) noexcept {
    const auto begin = reinterpret_cast<std::uintptr_t>(memory);
    std::lock_guard lock(registering);
    for (Slot& s : slots) {
        if (s.begin.load(std::memory_order_relaxed) != begin) continue;
        s.begin.store(0, std::memory_order_release);
        s.end.store(0, std::memory_order_release);
        ::munmap(memory, bytes);
        return true;
    }
    return false;
}

bool isMappedImage(const void* memory) {
    const auto begin = reinterpret_cast<std::uintptr_t>(memory);
    if (begin == 0) return false;
    for (const Slot& s : slots)
        if (s.begin.load(std::memory_order_acquire) == begin) return true;
    return false;
}

}  // namespace detail

Result<Bytes> AtomicFile::MapCommitted() const {
    if (!committed_) return Error{"the file is not written yet"};
    FileIdentity now;
    auto bytes = ReadWholeFile(target_, &now);
    if (!bytes) return bytes;
    if (now != written_) return detail::changedSinceOpened(target_);
    return bytes;
}

bool ImageIntact(std::span<const std::uint8_t> image) {
    if (image.empty()) return true;
    const Slot* s = slotHolding(reinterpret_cast<std::uintptr_t>(image.data()));
    return !s || !s->cut.load(std::memory_order_acquire);
}

}  // namespace brenzo::platform
