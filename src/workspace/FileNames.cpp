#include "workspace/FileNames.h"

#include <array>

namespace brenzo::workspace {
namespace {

constexpr std::size_t kMaxNameBytes = 200;

bool forbidden(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
           c == '<' || c == '>' || c == '|';
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

}  // namespace

std::string SafeFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char ch : name) out += forbidden(static_cast<unsigned char>(ch)) ? '_' : ch;
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

std::string FileNameKey(std::string_view name) { return upperAscii(name); }

}  // namespace brenzo::workspace
