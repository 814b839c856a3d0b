#pragma once

#include <windows.h>

namespace brenzo::ui::win32 {

// The status bar's play and pause icons: a round blue button with a white triangle or two
// white bars, drawn here so that the window needs no image files. The caller destroys it.
HICON MakePlayIcon(bool pause);

}  // namespace brenzo::ui::win32
