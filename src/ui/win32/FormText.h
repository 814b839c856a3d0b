#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/win32/Text.h"

// The forms' texts: UTF-8 in the program, UTF-16 in the controls (the window's conversions).
namespace brenzo::ui::win32::text {

using win32::Utf8;
using win32::Wide;

inline void SetText(HWND control, std::string_view utf8) { SetWindowTextW(control, Wide(utf8).c_str()); }

inline std::string GetText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring w(static_cast<std::size_t>(length) + 1, L'\0');
    w.resize(static_cast<std::size_t>(GetWindowTextW(control, w.data(), length + 1)));
    return Utf8(w);
}

}  // namespace brenzo::ui::win32::text
