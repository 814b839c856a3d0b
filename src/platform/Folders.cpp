// The folder operations that are the same on every system.
#include <system_error>

#include "platform/Files.h"
#include "platform/Internal.h"

namespace brenzo::platform {

fs::path TempDirectory() {
    std::error_code ec;
    fs::path p = fs::temp_directory_path(ec);
    return ec ? fs::path() : p;
}

Status CreateFolders(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) return detail::failure("create", path, ec.message());
    return {};
}

Status RemoveFolder(const fs::path& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) return detail::failure("remove", path, ec.message());
    return {};
}

}  // namespace brenzo::platform
