#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brenzo::ui::win32 {

// The duration field's mask ("00:00:00; " in the Qt window): always eight characters, a digit
// or a blank in each of the six places and ":" third and sixth. Typing overwrites the place at
// the caret and steps over the colons; erasing leaves a blank. Blanks count as zeros when the
// text is applied (radio::ParseTrackDuration).
struct MaskedText {
    std::string text;
    std::size_t caret = 0;
};

// Any text made to fit the mask: its digits fill the places in order, the rest stay blank.
std::string FitTimeMask(std::string_view text);

// The selection [from, to) is blanked, then each digit of `typed` goes into the next place from
// `from` on; other characters are passed over, and digits beyond the last place are dropped.
MaskedText TypeInTimeMask(std::string_view text, std::size_t from, std::size_t to, std::string_view typed);

// Backspace (`backward`) or Delete: blanks the selection, or with none the place before the
// caret (Backspace) or at it (Delete).
MaskedText EraseInTimeMask(std::string_view text, std::size_t from, std::size_t to, bool backward);

}  // namespace brenzo::ui::win32
