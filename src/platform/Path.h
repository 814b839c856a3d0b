#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brenzo::platform {

// Every path of the program passes through these two: text in the program is UTF-8, and on
// Windows a path is built from it as UTF-16, never through the ANSI code page. Neither throws:
// on Windows, bytes that are not UTF-8 become U+FFFD (a name that then fails to open with a
// message, rather than an exception), and so does an unpaired surrogate in a name from disk.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// The last component ("bank.bin" of "/x/bank.bin") as UTF-8.
std::string FileNameUtf8(const std::filesystem::path& path);

// The conversions under the two above, with the same replacement rule; Windows hands out its
// command line and its messages as UTF-16.
std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view utf16);

}  // namespace brenzo::platform
