#include "workspace/Scratch.h"

#include "platform/Files.h"
#include "platform/Interrupts.h"
#include "platform/Locks.h"
#include "platform/Path.h"
#include "workspace/FileNames.h"

namespace brenzo::workspace {
namespace {

constexpr std::string_view kPrefix = "Q7ZK-";
constexpr std::string_view kLockName = "owner.lock";
constexpr std::size_t kSuffixLength = 10;

}  // namespace

void ScratchFolders::RemoveAbandoned(const std::filesystem::path& tempPath) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(tempPath, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = platform::FileNameUtf8(it->path());
        if (name.size() != kPrefix.size() + kSuffixLength || name.compare(0, kPrefix.size(), kPrefix) != 0) continue;
        std::error_code typeError;
        if (!it->is_directory(typeError) || it->is_symlink(typeError)) continue;
        if (platform::OwnerLock::IsAbandoned(it->path() / kLockName)) (void)platform::RemoveFolder(it->path());
    }
}

Result<ScratchFolders> ScratchFolders::Create(std::filesystem::path tempPath) {
    if (tempPath.empty()) tempPath = platform::TempDirectory();
    if (tempPath.empty()) tempPath = std::filesystem::path(".");
    RemoveAbandoned(tempPath);
    auto folder = platform::CreatePrivateFolder(tempPath, std::string(kPrefix));
    if (!folder) return folder.error();
    platform::RemoveOnInterrupt(*folder);
    auto lock = platform::OwnerLock::Create(*folder / kLockName);
    if (!lock) {
        (void)platform::RemoveFolder(*folder);
        platform::ForgetOnInterrupt(*folder);
        return lock.error();
    }
    ScratchFolders scratch;
    scratch.workFolder_ = *folder;
    scratch.lock_ = std::move(*lock);
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
    // Unlocked first: Windows removes no file that is open.
    lock_.reset();
    if (workFolder_.empty()) return;
    (void)platform::RemoveFolder(workFolder_);
    platform::ForgetOnInterrupt(workFolder_);
}

}  // namespace brenzo::workspace
