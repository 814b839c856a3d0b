#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Result.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::exporting {

inline constexpr std::string_view kSaveFilter = "WAV-file (*.wav)|*.wav";
inline constexpr std::string_view kFolderCaption = "Select directory";

// The cached WAV of a bank sound, kept per entry index so that two rows of the same name never
// share audio; or of a whole multichannel file. Empty when there is no scratch folder.
std::filesystem::path CacheWavPath(const workspace::Workspace& ws, std::size_t entry);

// The CacheWav of the entry, written by the export of the file's kind when it is missing.
// Without a scratch folder nothing is cached and the error says so.
Result<std::filesystem::path> EnsureCacheWav(const workspace::Workspace& ws, std::size_t entry,
                                             workspace::UiPort& port);

// The target file of an entry: the CacheWav given to `target`, as a second name of the file
// where the system allows it, else a copy (written directly when there is no scratch folder).
// Nothing half-written is left at the target.
Status MakeTargetFile(const workspace::Workspace& ws, std::size_t entry, const std::filesystem::path& target,
                      workspace::UiPort& port);

// The file names "Export all" gives the entries of a bank: each row's name made safe plus
// ".wav"; later rows of a repeated name get " (2)", " (3)", ... so that every sound is written.
std::vector<std::string> ExportAllFileNames(const workspace::Workspace& ws);

// The name the save dialog offers for an entry: its row name made safe, as "Export all" makes
// it, so that a name such as "../up" or "a/b" never opens the dialog in another folder.
std::string PresetFileName(const workspace::Workspace& ws, std::size_t entry);

// The name of the multichannel file's WAV: the opened file's name + ".wav".
std::string MultiExportFileName(const workspace::Workspace& ws);

// Exports every entry into a folder the way "Export all" does; the errors of the entries that
// failed are collected, the others are written. A cancel stops it between two files.
Status ExportAllInto(const workspace::Workspace& ws, const std::filesystem::path& folder, workspace::UiPort& port,
                     const std::function<void(std::size_t, std::size_t)>& progress = {});

// The commands. `selected` is the entry of the selected list row, if any.
void Export1Click(const workspace::Workspace& ws, workspace::UiPort& port, std::optional<std::size_t> selected);
void Export2Click(const workspace::Workspace& ws, workspace::UiPort& port, std::optional<std::size_t> selected);
void Exportall1Click(const workspace::Workspace& ws, workspace::UiPort& port);

}  // namespace brenzo::exporting
