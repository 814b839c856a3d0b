#include "workspace/Scratch.h"

#include "platform/Files.h"
#include "platform/Path.h"
#include "workspace/FileNames.h"

namespace brenzo::workspace {

Result<ScratchFolders> ScratchFolders::Create(std::filesystem::path tempPath) {
    if (tempPath.empty()) tempPath = platform::TempDirectory();
    if (tempPath.empty()) tempPath = std::filesystem::path(".");
    auto folder = platform::CreatePrivateFolder(tempPath, "Q7ZK-");
    if (!folder) return folder.error();
    ScratchFolders scratch;
    scratch.workFolder_ = *folder;
    return scratch;
}

std::filesystem::path ScratchFolders::FileWorkFolder(std::string_view fileName) const {
    return workFolder_ / "files" / platform::PathFromUtf8(SafeFileName(fileName));
}

Status ScratchFolders::ResetFileWorkFolder(std::string_view fileName) const {
    const auto folder = FileWorkFolder(fileName);
    // A folder that cannot be emptied would hand out the cached sounds of another file.
    if (Status removed = platform::RemoveFolder(folder); !removed) return removed;
    return platform::CreateFolders(folder);
}

void ScratchFolders::Remove() {
    if (!workFolder_.empty()) (void)platform::RemoveFolder(workFolder_);
}

}  // namespace brenzo::workspace
