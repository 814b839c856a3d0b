#include "workspace/FileNames.h"

#include <array>

#include "platform/Path.h"

namespace brenzo::workspace {
namespace {

constexpr std::size_t kMaxNameBytes = 200;

bool forbidden(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
           c == '>' || c == '|';
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool reservedDeviceName(std::string_view name) {
    // The part before the first dot decides: "CON.txt" is as reserved as "CON".
    std::string stem = upperAscii(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const std::array<std::string_view, 6> plain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (auto r : plain)
        if (stem == r) return true;
    if (stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '0' && stem[3] <= '9')
        return true;
    return false;
}

// The capital of a lower-case letter of the scripts a sound name is likely to use (Latin,
// Greek, Cyrillic, full-width Latin), as NTFS compares names; other characters are kept.
char16_t upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return c - 0x20;
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
    if (c == 0xFF) return 0x178;
    // Latin Extended-A puts each capital right before its small letter: at even code points,
    // but at odd ones from U+0139 to U+0148 and from U+0179 to U+017E.
    if ((c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131) || (c >= 0x14A && c <= 0x177)) return c & 1 ? c - 1 : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c & 1 ? c : c - 1;
    if (c == 0x3C2) return 0x3A3;  // final sigma
    if (c >= 0x3B1 && c <= 0x3CB) return c - 0x20;
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
    return c;
}

}  // namespace

std::string SafeFileName(std::string_view name) {
    // Bytes that are not UTF-8 (a "Hashes.ini" saved in a legacy code page) have no UTF-16
    // form for Windows to name a file with; each becomes "_", as on every other system.
    std::u16string wide = platform::Utf16FromUtf8(name);
    for (char16_t& c : wide)
        if (c == 0xFFFD) c = u'_';
    const std::string text = platform::Utf8FromUtf16(wide);
    std::string out;
    out.reserve(text.size());
    for (char ch : text) out += forbidden(static_cast<unsigned char>(ch)) ? '_' : ch;
    if (out.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    // Windows drops trailing dots and blanks, which would make "a." and "a" the same file
    // and ".." a way out of the folder.
    for (auto it = out.rbegin(); it != out.rend() && (*it == '.' || *it == ' '); ++it) *it = '_';
    if (out.empty()) out.assign(1, '_');
    if (reservedDeviceName(out)) out.insert(out.begin(), '_');
    return out;
}

std::string FileNameKey(std::string_view name) {
    std::u16string wide = platform::Utf16FromUtf8(name);
    for (char16_t& c : wide) c = upper(c);
    return platform::Utf8FromUtf16(wide);
}

}  // namespace brenzo::workspace
