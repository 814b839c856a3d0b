#include "formats/Layout.h"


namespace brenzo::formats {

std::string FormatClock(std::uint64_t seconds) {
    const unsigned parts[3] = {static_cast<unsigned>(seconds / 3600 % 24), static_cast<unsigned>(seconds / 60 % 60),
                               static_cast<unsigned>(seconds % 60)};
    std::string text = "00:00:00";
    for (int i = 0; i < 3; ++i) {
        text[3 * i] = static_cast<char>('0' + parts[i] / 10);
        text[3 * i + 1] = static_cast<char>('0' + parts[i] % 10);
    }
    return text;
}

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
