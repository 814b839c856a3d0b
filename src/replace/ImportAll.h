#pragma once

// Importing a folder: every file named as "Export all" names a sound goes back into that
// sound, all of them in one rebuild and one save.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Result.h"
#include "engine/Engine.h"
#include "replace/Fit.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::replace {

struct ImportItem {
    std::size_t entry = 0;
    std::string name;  // the sound's list name
    std::filesystem::path input;
};

struct ImportPlan {
    std::vector<ImportItem> replaced;           // to be converted and put in
    std::vector<ImportItem> unchanged;          // byte for byte what "Export all" writes for the sound now
    std::vector<std::filesystem::path> unused;  // naming no sound, or not a kind of file the engine decodes
    std::vector<std::string> refused;           // several files for one sound
};

// Whether the engine decodes files with this name's extension (".wav", ".mp3", ".ogg", ".oga",
// ".flac", ".opus", ".aif", ".aiff", in any case).
bool IsImportable(const std::filesystem::path& file);

// Which file of the folder goes to which sound. A file belongs to a bank sound when its name
// without the extension is, ignoring case, the name "Export all" gives the sound, or the hash
// as the list shows an unnamed sound ("0x8FA807D5"); to a multichannel file when it is the
// name of its "Export all" file.
Result<ImportPlan> PlanImport(const workspace::Workspace& ws, const std::filesystem::path& folder);

// The plan in words, for the window's summary.
std::string DescribePlan(const ImportPlan& plan);

// Converts, checks and fits every planned file as a single replace does. When any is refused,
// nothing is saved and the status lists every refusal; else all of them go into one rebuild
// and one save. `note` of the options receives a line per sound when loudness is matched.
Status ImportPlanned(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                     const ImportPlan& plan, const ReplaceOptions& options);

// Whether File > "Import folder..." applies: a container is open whose sounds can be replaced.
bool ImportAvailable(const workspace::Workspace& ws);

// File > "Import folder...": the folder dialog, the summary (Import or Cancel), the import.
void ImportFolderClick(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                       const ReplaceOptions& options);

}  // namespace brenzo::replace
