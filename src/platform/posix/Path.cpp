#include "platform/Path.h"

namespace brenzo::platform {

// A POSIX path is bytes, and the bytes of the program's text are used unchanged.
std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(std::string(utf8)); }

std::string PathToUtf8(const std::filesystem::path& path) { return path.native(); }

}  // namespace brenzo::platform
