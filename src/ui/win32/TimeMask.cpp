#include "ui/win32/TimeMask.h"

#include <algorithm>

namespace brenzo::ui::win32 {
namespace {

constexpr std::size_t kLength = 8;
constexpr std::string_view kBlank = "  :  :  ";

bool isPlace(std::size_t i) { return i < kLength && i != 2 && i != 5; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text as the mask holds it: a text of another length (which the field never shows) is
// fitted first, so the positions below always mean the same places.
std::string held(std::string_view text) {
    if (text.size() == kLength && text[2] == ':' && text[5] == ':') {
        std::string s(text);
        for (std::size_t i = 0; i < kLength; ++i)
            if (isPlace(i) && !isDigit(s[i])) s[i] = ' ';
        return s;
    }
    return FitTimeMask(text);
}

void blank(std::string& s, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < std::min(to, kLength); ++i)
        if (isPlace(i)) s[i] = ' ';
}

}  // namespace

std::string FitTimeMask(std::string_view text) {
    std::string s(kBlank);
    std::size_t place = 0;
    for (char c : text) {
        if (!isDigit(c)) continue;
        while (place < kLength && !isPlace(place)) ++place;
        if (place == kLength) break;
        s[place++] = c;
    }
    return s;
}

MaskedText TypeInTimeMask(std::string_view text, std::size_t from, std::size_t to, std::string_view typed) {
    MaskedText out{held(text), std::min(from, kLength)};
    blank(out.text, from, to);
    for (char c : typed) {
        if (!isDigit(c)) continue;
        while (out.caret < kLength && !isPlace(out.caret)) ++out.caret;
        if (out.caret == kLength) break;
        out.text[out.caret++] = c;
    }
    // The caret rests after a colon rather than before it, ready for the next field.
    while (out.caret < kLength && !isPlace(out.caret)) ++out.caret;
    return out;
}

MaskedText EraseInTimeMask(std::string_view text, std::size_t from, std::size_t to, bool backward) {
    MaskedText out{held(text), std::min(from, kLength)};
    if (to > from) {
        blank(out.text, from, to);
        return out;
    }
    if (backward) {
        std::size_t i = out.caret;
        while (i > 0 && !isPlace(i - 1)) --i;
        if (i == 0) return out;
        out.text[i - 1] = ' ';
        out.caret = i - 1;
    } else {
        std::size_t i = out.caret;
        while (i < kLength && !isPlace(i)) ++i;
        if (i < kLength) out.text[i] = ' ';
    }
    return out;
}

}  // namespace brenzo::ui::win32
