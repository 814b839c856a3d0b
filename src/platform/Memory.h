#pragma once

#include <cstddef>

namespace brenzo::platform {

// Asks the system to back the whole 2 MiB pages inside [memory, memory + bytes) with huge pages:
// a large buffer about to be written end to end then takes a few page faults instead of one
// per 4 KiB, which on a virtual machine is most of its cost. Nothing happens where the system
// has no such pages or refuses; the memory stays as it was either way.
void PreferHugePages(void* memory, std::size_t bytes) noexcept;

}  // namespace brenzo::platform
