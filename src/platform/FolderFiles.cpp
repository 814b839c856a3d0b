#include "platform/FolderFiles.h"

#include <algorithm>
#include <system_error>

#include "platform/Path.h"

namespace brenzo::platform {

namespace fs = std::filesystem;

Result<std::vector<fs::path>> FilesInFolder(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return Error{"cannot read the folder " + PathToUtf8(folder) + ": " + ec.message(), true};
    std::vector<fs::path> files;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return Error{"cannot read the folder " + PathToUtf8(folder) + ": " + ec.message(), true};
        std::error_code kind;
        if (it->is_regular_file(kind)) files.push_back(it->path());
    }
    if (ec) return Error{"cannot read the folder " + PathToUtf8(folder) + ": " + ec.message(), true};
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace brenzo::platform
