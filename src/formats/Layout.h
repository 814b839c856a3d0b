#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/Bytes.h"

namespace brenzo::formats {

inline constexpr std::uint32_t kAlign = 2048;

// The smallest multiple of 2048 not below n (0 stays 0). Callers keep n below 4 GiB - 2048.
constexpr std::uint32_t AlignTo2048(std::uint32_t n) { return (n + (kAlign - 1)) & ~(kAlign - 1); }
constexpr std::uint64_t AlignTo2048(std::uint64_t n) { return (n + (kAlign - 1)) & ~std::uint64_t{kAlign - 1}; }

// Appends AlignTo2048(n) - n zero bytes, n being the length just written.
template <class Buffer>
void PadTo2048(std::uint64_t n, Buffer& stream) {
    const std::size_t at = stream.size();
    const auto pad = static_cast<std::size_t>(AlignTo2048(n) - n);
    stream.resize(at + pad);
    if (pad) std::memset(stream.data() + at, 0, pad);
}

// Whole seconds of samples / rate as "hh:nn:ss", hours wrapping at 24 like a time of day.
// A rate of 0 gives 00:00:00.
std::string FormatDuration(std::uint64_t samples, std::uint32_t rate);

// "22050 Hz".
std::string FormatRate(std::uint32_t rate);

}  // namespace brenzo::formats
