#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "common/Result.h"
#include "workspace/UiPort.h"
#include "workspace/Worker.h"
#include "workspace/Workspace.h"

namespace brenzo::exporting {

// Writes some entries of a bank into a folder under the names "Export all" gives them. Between
// two files the port is asked whether the user cancelled: the files written so far stay, and the
// file that was being written when the user cancelled is removed. The errors of the entries that
// failed are collected, the others are written.
Status ExportEntriesInto(const workspace::Workspace& ws, const std::filesystem::path& folder,
                         std::span<const std::size_t> entries, workspace::UiPort& port,
                         const std::function<void(std::size_t, std::size_t)>& progress = {});

// "Export" with several rows selected: one folder for all of them. One selected row (or none)
// is the plain Export (its save dialog); a multichannel file exports whole, as always.
void ExportSelectedClick(workspace::Workspace& ws, workspace::UiPort& port, std::span<const std::size_t> entries);

// The two "Export" items: the list's pop-up menu and the File menu.
enum class ExportMenu { Popup, File };

// What a click on an "Export" runs, and whether the user may cancel it (Cancel, Esc).
struct ExportClick {
    workspace::Worker::Command command;
    bool cancellable = false;
};

// The export a click on `menu` runs with these rows selected (`entries`, and the current one
// `selected`): several sounds of a bank go into a folder; otherwise the pop-up's Export exports
// the current sound (a multichannel file whole) and the File menu's its own way, the one export
// that cannot be cancelled. The command uses `ws` when it runs.
ExportClick ChooseExport(ExportMenu menu, workspace::Workspace& ws, std::vector<std::size_t> entries,
                         std::optional<std::size_t> selected);

}  // namespace brenzo::exporting
