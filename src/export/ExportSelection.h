#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>

#include "common/Result.h"
#include "workspace/UiPort.h"
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

}  // namespace brenzo::exporting
