#pragma once

#include <windows.h>

namespace brenzo::ui::win32 {

// The About window of ShowAboutForm without a loop of its own (hidden until shown), for a
// caller that runs the messages itself; DestroyWindow ends it.
HWND CreateAboutForm(HWND owner);

}  // namespace brenzo::ui::win32
