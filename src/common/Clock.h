#pragma once

#include <cstdint>
#include <string>

namespace brenzo {

// Whole seconds as "hh:nn:ss", hours taken modulo 24, ":" whatever the locale: how the list
// shows a sound's duration and the radio editor a track's.
inline std::string FormatClock(std::uint64_t seconds) {
    const unsigned parts[3] = {static_cast<unsigned>(seconds / 3600 % 24), static_cast<unsigned>(seconds / 60 % 60),
                               static_cast<unsigned>(seconds % 60)};
    std::string text = "00:00:00";
    for (std::size_t i = 0; i < 3; ++i) {
        text[3 * i] = static_cast<char>('0' + parts[i] / 10);
        text[3 * i + 1] = static_cast<char>('0' + parts[i] % 10);
    }
    return text;
}

}  // namespace brenzo
