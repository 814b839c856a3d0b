#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brenzo::platform {

// Every path of the program passes through these two: text in the program is UTF-8, and on
// Windows a path is built from it as UTF-16, never through the ANSI code page.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// The last component ("bank.bin" of "/x/bank.bin") as UTF-8.
std::string FileNameUtf8(const std::filesystem::path& path);

}  // namespace brenzo::platform
