#pragma once

#include <string>
#include <string_view>

namespace brenzo {

// Text stored one byte per character in the game's code page, Windows-1252 (the radio track
// names, a names file written by a Windows tool). Every byte becomes one character in UTF-8.
// The five bytes that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become
// U+FFFD: passing them on as C1 code points would put terminal controls (DCS, OSC, ...) into
// a listing printed on a terminal.
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace brenzo
