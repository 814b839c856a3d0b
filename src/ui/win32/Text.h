#pragma once

#include <string>
#include <string_view>

#include "platform/Path.h"

namespace brenzo::ui::win32 {

// The window's texts are UTF-8 everywhere but at the Win32 calls, which take UTF-16: the
// conversions are the path helpers', with their replacement of what does not convert.
inline std::wstring Wide(std::string_view utf8) {
    const std::u16string wide = platform::Utf16FromUtf8(utf8);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string Utf8(std::wstring_view wide) {
    return platform::Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// A text shown in a menu item or a group box: "&" would underline the next letter.
inline std::wstring NoMnemonic(std::string_view utf8) {
    std::wstring text;
    for (wchar_t c : Wide(utf8)) {
        text += c;
        if (c == L'&') text += L'&';
    }
    return text;
}

}  // namespace brenzo::ui::win32
