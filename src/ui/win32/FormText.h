#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Path.h"

// UTF-8 text in the program, UTF-16 in the controls: the forms' conversions, with the
// replacement rule of platform/Path.h.
namespace brenzo::ui::win32::text {

inline std::wstring Wide(std::string_view utf8) {
    const std::u16string w = platform::Utf16FromUtf8(utf8);
    return {w.begin(), w.end()};
}

inline std::string Utf8(std::wstring_view wide) {
    return platform::Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

inline void SetText(HWND control, std::string_view utf8) { SetWindowTextW(control, Wide(utf8).c_str()); }

inline std::string GetText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring w(static_cast<std::size_t>(length) + 1, L'\0');
    w.resize(static_cast<std::size_t>(GetWindowTextW(control, w.data(), length + 1)));
    return Utf8(w);
}

}  // namespace brenzo::ui::win32::text
