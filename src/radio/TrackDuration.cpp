#include "radio/TrackDuration.h"

#include "common/Clock.h"

namespace brenzo::radio {

std::string FormatTrackDuration(std::uint32_t ms) { return FormatClock(ms / 1000); }

Result<std::uint32_t> ParseTrackDuration(std::string_view text) {
    const Error malformed{"\"" + std::string(text) + "\" is not a duration: write it as hh:nn:ss"};
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return malformed;
    std::uint32_t fields[3] = {};
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < 2; ++i) {
            const char c = text[static_cast<std::size_t>(3 * f + i)];
            if (c != ' ' && (c < '0' || c > '9')) return malformed;
            fields[f] = fields[f] * 10 + (c == ' ' ? 0u : static_cast<std::uint32_t>(c - '0'));
        }
    }
    return fields[0] * 3600000u + fields[1] * 60000u + fields[2] * 1000u;
}

std::string DurationWrittenText(std::uint32_t ms) { return FormatTrackDuration(ms) + " written"; }

}  // namespace brenzo::radio
