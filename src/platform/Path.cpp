#include "platform/Path.h"

#include <cstdint>

#include "common/Utf8.h"

namespace brenzo::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at `i`, and how many bytes it takes; a byte that does not start a well-formed
// sequence (a stray continuation, an overlong form, a surrogate, past U+10FFFF, a cut-off
// sequence) counts as one U+FFFD of one byte.
char32_t decodeUtf8(std::string_view s, std::size_t i, std::size_t& length) {
    const auto b0 = static_cast<std::uint8_t>(s[i]);
    length = 1;
    if (b0 < 0x80) return b0;
    std::size_t need;
    char32_t cp, min;
    if ((b0 & 0xE0) == 0xC0)
        need = 1, cp = b0 & 0x1F, min = 0x80;
    else if ((b0 & 0xF0) == 0xE0)
        need = 2, cp = b0 & 0x0F, min = 0x800;
    else if ((b0 & 0xF8) == 0xF0)
        need = 3, cp = b0 & 0x07, min = 0x10000;
    else
        return kReplacement;
    if (s.size() - i - 1 < need) return kReplacement;
    for (std::size_t k = 1; k <= need; ++k) {
        const auto b = static_cast<std::uint8_t>(s[i + k]);
        if ((b & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return kReplacement;
    length = need + 1;
    return cp;
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0, length = 0; i < utf8.size(); i += length) {
        const char32_t cp = decodeUtf8(utf8, i, length);
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string FileNameUtf8(const std::filesystem::path& path) { return PathToUtf8(path.filename()); }

}  // namespace brenzo::platform
