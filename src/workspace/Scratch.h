#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace brenzo::platform {
class OwnerLock;
}

namespace brenzo::workspace {

// The program's scratch folders: WorkFolder, a folder of this running instance alone under
// the user's temporary directory (its name begins with "Q7ZK"; created private to the user,
// never through a link someone planted), and one FileWorkFolder per opened container under its
// "files" sub-folder, so that no container's name can meet a scratch file of the program's own
// ("conv_res.wav").
// WorkFolder holds "owner.lock", which its instance keeps locked while it runs: a folder whose
// lock can be taken was left by a run that was killed, and the next start removes it.
class ScratchFolders {
public:
    // Removes the scratch folders that dead runs left in `tempPath` (the user's temporary
    // directory when empty), then creates WorkFolder there.
    static Result<ScratchFolders> Create(std::filesystem::path tempPath = {});
    // The sweep alone: every "Q7ZK-" folder in `tempPath` whose "owner.lock" can be taken.
    // A folder without that file (someone else's, or a run's of an older version) stays.
    static void RemoveAbandoned(const std::filesystem::path& tempPath);

    const std::filesystem::path& WorkFolder() const { return workFolder_; }
    std::filesystem::path FileWorkFolder(std::string_view fileName) const;
    // "conv_res.wav", the converted input of a replace.
    std::filesystem::path ConvertedWav() const { return workFolder_ / "conv_res.wav"; }

    // Deletes FileWorkFolder with its contents and creates it again empty; fails when anything
    // of the old contents could not be removed.
    Status ResetFileWorkFolder(std::string_view fileName) const;
    // Removes WorkFolder with everything in it; a folder already gone is no error.
    void Remove();

private:
    std::filesystem::path workFolder_;
    std::shared_ptr<platform::OwnerLock> lock_;
};

}  // namespace brenzo::workspace
