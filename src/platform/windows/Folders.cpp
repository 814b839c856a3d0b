// Private folders and the program's own folder on Windows.
#include "platform/Files.h"
#include "platform/Internal.h"
#include "platform/Path.h"
#include "platform/windows/Windows.h"

namespace brenzo::platform {

Result<fs::path> CreatePrivateFolder(const fs::path& parent, const std::string& prefix) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        fs::path folder = parent / PathFromUtf8(prefix + detail::randomSuffix());
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return Error{"cannot create " + PathToUtf8(folder) + ": " + detail::lastError(), true};
    }
    return Error{"cannot create a scratch folder in " + PathToUtf8(parent) + ": no name is free", true};
}

fs::path ExecutableFolder() {
    std::wstring buffer(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return fs::path(buffer).parent_path();
}

}  // namespace brenzo::platform
