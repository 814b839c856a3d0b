#pragma once

#include <cstddef>
#include <optional>

#include "engine/Engine.h"
#include "replace/Fit.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::replace {

// The "Replace" command of the list's pop-up menu: the dialog, the lock, the preview stopped,
// the busy display, the routine of the file's kind, any refusal shown, and the window
// unlocked on every path. `selected` is the entry of the selected row (banks need one).
// "Cancel" to the mix-down question ends it without a message.
void Replace1Click(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                   std::optional<std::size_t> selected, const ReplaceOptions& options = {});

// The routine of the file's kind without the dialog: what brenzo-cli runs.
Status ReplaceEntry(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                    const std::filesystem::path& newFile, std::size_t entry, const ReplaceOptions& options = {});

// Whether File > "Restore original" applies: a file is open and its backup exists.
bool RestoreAvailable(const workspace::Workspace& ws);

// File > "Restore original": asks, puts the backup back over the opened file and opens it
// again.
void RestoreOriginalClick(workspace::Workspace& ws, workspace::UiPort& port);

}  // namespace brenzo::replace
