#include "platform/Path.h"

namespace brenzo::platform {

// libstdc++ would convert a char8_t path with a codecvt that throws on a malformed byte; the
// wide string is the path's own form and is taken as it is.
std::filesystem::path PathFromUtf8(std::string_view utf8) {
    const std::u16string wide = Utf16FromUtf8(utf8);
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return Utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}

}  // namespace brenzo::platform
