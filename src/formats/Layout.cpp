#include "formats/Layout.h"

#include <cstdio>

namespace brenzo::formats {

std::string FormatClock(std::uint64_t seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", static_cast<unsigned>(seconds / 3600 % 24),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

std::string FormatDuration(std::uint64_t samples, std::uint32_t rate) {
    return FormatClock(rate == 0 ? 0 : samples / rate);
}

std::string FormatRate(std::uint32_t rate) { return std::to_string(rate) + " Hz"; }

}  // namespace brenzo::formats
