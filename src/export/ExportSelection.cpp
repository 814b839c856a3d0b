#include "export/ExportSelection.h"

#include "export/ExportCommands.h"
#include "platform/Files.h"
#include "platform/Path.h"

namespace brenzo::exporting {

Status ExportEntriesInto(const workspace::Workspace& ws, const std::filesystem::path& folder,
                         std::span<const std::size_t> entries, workspace::UiPort& port,
                         const std::function<void(std::size_t, std::size_t)>& progress) {
    const auto names = ExportAllFileNames(ws);
    std::size_t failed = 0;
    Error firstFailure;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (progress) progress(i, entries.size());
        port.Pump();
        if (port.CancelRequested()) break;
        const std::size_t entry = entries[i];
        if (entry >= names.size()) continue;
        const auto target = folder / platform::PathFromUtf8(names[entry]);
        Status s = MakeTargetFile(ws, entry, target, port);
        if (port.CancelRequested()) {
            // Cancelled while this file was made: it is not kept.
            if (s) (void)platform::RemoveFile(target);
            break;
        }
        if (!s && failed++ == 0) firstFailure = s.error();
    }
    if (failed == 0) return {};
    // Reworded, but still a failure to write when the first one was.
    return Error{std::to_string(failed) + " of " + std::to_string(entries.size()) +
                     " sounds could not be exported; the first: " + firstFailure.message,
                 firstFailure.fileSystem};
}

void ExportSelectedClick(workspace::Workspace& ws, workspace::UiPort& port, std::span<const std::size_t> entries) {
    if (ws.WholeFile()) {
        Exportall1Click(ws, port);
        return;
    }
    if (entries.size() <= 1) {
        Export2Click(ws, port, entries.empty() ? std::nullopt : std::optional<std::size_t>(entries.front()));
        return;
    }
    if (!ws.CurrentBank()) return;
    auto folder = port.AskFolder(kFolderCaption);
    if (!folder) return;
    port.Lock();
    port.SetStatus("Exporting...");
    port.SetMarquee(true);
    port.Pump();
    Status s = ExportEntriesInto(ws, platform::PathFromUtf8(*folder), entries, port);
    port.SetStatus("");
    port.SetMarquee(false);
    port.Unlock();
    if (!s) port.ShowError(s.message());
}

ExportClick ChooseExport(ExportMenu menu, workspace::Workspace& ws, std::vector<std::size_t> entries,
                         std::optional<std::size_t> selected) {
    const bool several = entries.size() > 1 && (menu == ExportMenu::File || !ws.WholeFile());
    if (several) {
        return {
            [&ws, entries = std::move(entries)](workspace::UiPort& port) { ExportSelectedClick(ws, port, entries); },
            true};
    }
    if (menu == ExportMenu::Popup)
        return {[&ws, selected](workspace::UiPort& port) { Export1Click(ws, port, selected); }, true};
    return {[&ws, selected](workspace::UiPort& port) { Export2Click(ws, port, selected); }, false};
}

}  // namespace brenzo::exporting
