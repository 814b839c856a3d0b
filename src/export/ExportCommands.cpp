#include "export/ExportCommands.h"

#include <unordered_set>

#include "export/Export.h"
#include "export/ExportSelection.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "workspace/FileNames.h"

namespace brenzo::exporting {

using workspace::UiPort;
using workspace::Workspace;

namespace {

bool isBank(const Workspace& ws) { return ws.CurrentBank() != nullptr; }
bool isMulti(const Workspace& ws) { return ws.CurrentMulti() != nullptr; }

bool validEntry(const Workspace& ws, std::optional<std::size_t> entry) { return entry && *entry < ws.EntryCount(); }

void beginBusy(UiPort& port) {
    port.Lock();
    port.SetStatus("Exporting...");
    port.SetMarquee(true);
}

void endBusy(UiPort& port) {
    port.SetStatus("");
    port.SetMarquee(false);
    port.Unlock();
}

void report(UiPort& port, const Status& status) {
    if (!status) port.ShowError(status.message());
}

}  // namespace

std::filesystem::path CacheWavPath(const Workspace& ws, std::size_t entry) {
    if (!ws.Scratch()) return {};
    const auto folder = ws.Scratch()->FileWorkFolder(ws.FileName);
    if (ws.WholeFile()) return folder / platform::PathFromUtf8(MultiExportFileName(ws));
    const std::string name = ws.RowName(entry);
    return folder / platform::PathFromUtf8(workspace::SafeFileName(std::to_string(entry) + " " + name) + ".wav");
}

Result<std::filesystem::path> EnsureCacheWav(const Workspace& ws, std::size_t entry, UiPort& port) {
    auto path = CacheWavPath(ws, entry);
    if (path.empty()) return Error{"there is no scratch folder to cache the sound in"};
    const bool stale = ws.StaleCache.count(entry) != 0;
    if (!stale && platform::FileExists(path)) return path;
    if (Status s = ExportEntry(ws, path, static_cast<std::uint32_t>(entry), port); !s) return s.error();
    if (stale) ws.StaleCache.erase(entry);
    return path;
}

Status MakeTargetFile(const Workspace& ws, std::size_t entry, const std::filesystem::path& target, UiPort& port) {
    if (!ws.Scratch()) return ExportEntry(ws, target, static_cast<std::uint32_t>(entry), port);
    auto cache = EnsureCacheWav(ws, entry, port);
    if (!cache) return cache.status();
    // The cache stays for the preview and later exports; the target is where possible a second
    // name of it, so that each sound is written once.
    return platform::ShareOrCopyFile(*cache, target);
}

std::vector<std::string> ExportAllFileNames(const Workspace& ws) {
    std::vector<std::string> names;
    names.reserve(ws.EntryCount());
    std::unordered_set<std::string> used;
    for (std::size_t i = 0; i < ws.EntryCount(); ++i) {
        const std::string base = workspace::SafeFileName(ws.RowName(i));
        std::string name = base + ".wav";
        for (int copy = 2; !used.insert(workspace::FileNameKey(name)).second; ++copy)
            name = base + " (" + std::to_string(copy) + ").wav";
        names.push_back(std::move(name));
    }
    return names;
}

std::string PresetFileName(const Workspace& ws, std::size_t entry) {
    return workspace::SafeFileName(ws.RowName(entry)) + ".wav";
}

std::string MultiExportFileName(const Workspace& ws) { return workspace::SafeFileName(ws.FileName) + ".wav"; }

Status ExportAllInto(const Workspace& ws, const std::filesystem::path& folder, UiPort& port,
                     const std::function<void(std::size_t, std::size_t)>& progress) {
    if (isMulti(ws)) {
        if (progress) progress(0, 1);
        const auto target = folder / platform::PathFromUtf8(MultiExportFileName(ws));
        Status s = MakeTargetFile(ws, 0, target, port);
        // Cancelled while it was made: the file is not kept.
        if (s && port.CancelRequested()) return platform::RemoveFile(target);
        return s;
    }
    if (!isBank(ws)) return {};
    std::vector<std::size_t> all(ws.EntryCount());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return ExportEntriesInto(ws, folder, all, port, progress);
}

void Export1Click(const Workspace& ws, UiPort& port, std::optional<std::size_t> selected) {
    if (isMulti(ws)) {
        Exportall1Click(ws, port);
        return;
    }
    if (!isBank(ws) || !validEntry(ws, selected)) return;
    beginBusy(port);
    port.Pump();
    if (auto target = port.AskSaveFile(kSaveFilter, PresetFileName(ws, *selected)))
        report(port, MakeTargetFile(ws, *selected, platform::PathFromUtf8(*target), port));
    endBusy(port);
}

void Export2Click(const Workspace& ws, UiPort& port, std::optional<std::size_t> selected) {
    if (!isBank(ws) || !validEntry(ws, selected)) return;
    port.Pump();
    auto target = port.AskSaveFile(kSaveFilter, PresetFileName(ws, *selected));
    if (!target) return;
    beginBusy(port);
    report(port, MakeTargetFile(ws, *selected, platform::PathFromUtf8(*target), port));
    endBusy(port);
}

void Exportall1Click(const Workspace& ws, UiPort& port) {
    if (!isBank(ws) && !isMulti(ws)) return;
    auto folder = port.AskFolder(kFolderCaption);
    if (!folder) return;
    beginBusy(port);
    port.Pump();
    report(port, ExportAllInto(ws, platform::PathFromUtf8(*folder), port));
    endBusy(port);
}

}  // namespace brenzo::exporting
