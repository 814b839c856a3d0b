// Private folders and the program's own folder on POSIX systems.
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <system_error>

#include "platform/Files.h"
#include "platform/Internal.h"
#include "platform/Path.h"

namespace brenzo::platform {

Result<fs::path> CreatePrivateFolder(const fs::path& parent, const std::string& prefix) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        fs::path folder = parent / PathFromUtf8(prefix + detail::randomSuffix());
        // mkdir never follows a link planted at the name: it fails with EEXIST instead.
        if (::mkdir(folder.c_str(), 0700) == 0) return folder;
        if (errno != EEXIST) return Error{"cannot create " + PathToUtf8(folder) + ": " + detail::lastError(), true};
    }
    return Error{"cannot create a scratch folder in " + PathToUtf8(parent) + ": no name is free", true};
}

fs::path ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

}  // namespace brenzo::platform
