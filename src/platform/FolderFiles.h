#pragma once

#include <filesystem>
#include <vector>

#include "common/Result.h"

namespace brenzo::platform {

// The regular files directly inside a folder (links to files included), sorted by name.
Result<std::vector<std::filesystem::path>> FilesInFolder(const std::filesystem::path& folder);

}  // namespace brenzo::platform
