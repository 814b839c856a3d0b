#include "formats/Layout.h"

#include "common/Clock.h"

namespace brenzo::formats {

std::string FormatDuration(std::uint64_t samples, std::uint32_t rate) {
    return FormatClock(rate == 0 ? 0 : samples / rate);
}

std::string FormatRate(std::uint32_t rate) {
    char digits[16];
    char* p = digits + sizeof digits;
    do {
        *--p = static_cast<char>('0' + rate % 10);
        rate /= 10;
    } while (rate);
    std::string text(p, digits + sizeof digits);
    text += " Hz";
    return text;
}

}  // namespace brenzo::formats
