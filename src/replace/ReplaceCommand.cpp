#include "replace/ReplaceCommand.h"

#include "common/OutOfMemory.h"
#include "platform/Backup.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "replace/Conversion.h"
#include "replace/MultiReplace.h"

namespace brenzo::replace {

using namespace workspace;

namespace {

Status replaceByKind(Workspace& ws, UiPort& port, engine::Converter& converter, const std::filesystem::path& newFile,
                     std::size_t entry, const ReplaceOptions& options) {
    const auto n = static_cast<std::uint32_t>(entry);
    return VisitOpened(
        ws, [](std::monostate) -> Status { return Error{"nothing is loaded"}; },
        [&](const OpenedBank& bank) {
            if (bank.kind == formats::BankKind::WithAnimations)
                return ReplaceBANK_ADPCM(ws, port, converter, newFile, n, options);
            // A plain bank is rebuilt in the form of its first sound.
            const std::uint32_t c = bank.model.BanksInfo.empty() ? 0 : bank.model.BanksInfo[0].Compression;
            return ReplaceBANK_PCM(ws, port, converter, newFile, n, c, options);
        },
        [&](const formats::TMultiADPCM&) { return ReplaceMULTI_ADPCM(ws, port, converter, newFile, options); });
}

}  // namespace

Status ReplaceEntry(Workspace& ws, UiPort& port, engine::Converter& converter, const std::filesystem::path& newFile,
                    std::size_t entry, const ReplaceOptions& options) {
    const std::string what = ws.WholeFile() ? "the channels of " + ws.FileName : ws.RowName(entry);
    Status s = CatchOutOfMemory("replace " + what,
                                [&] { return replaceByKind(ws, port, converter, newFile, entry, options); });
    // The save's temporary file went with the failure; the converted input goes too.
    if (!s && ws.Scratch()) (void)platform::RemoveFile(ws.Scratch()->ConvertedWav());
    return s;
}

void Replace1Click(Workspace& ws, UiPort& port, engine::Converter& converter, std::optional<std::size_t> selected,
                   const ReplaceOptions& options) {
    if (ws.FileKind() == kKindNone) return;
    // A bank replaces the selected sound and says so while it works; a multichannel file is
    // replaced whole, quietly.
    const bool bank = !ws.WholeFile();
    if (bank && !(selected && *selected < ws.EntryCount())) return;
    if (!ws.Menus.replace1Enabled) return;

    auto chosen = port.AskOpenFile(kReplaceFilter);
    if (!chosen) return;
    port.Lock();
    if (ws.StopPreview) ws.StopPreview();
    if (bank) {
        port.SetStatus("Replacing...");
        port.SetMarquee(true);
    } else {
        port.SetStatus("");
    }
    port.Pump();
    std::string note;
    ReplaceOptions withNote = options;
    withNote.note = [&](std::size_t entry, std::string_view text) {
        note = ws.RowName(entry) + ": " + std::string(text);
        if (options.note) options.note(entry, text);
    };
    Status s = ReplaceEntry(ws, port, converter, platform::PathFromUtf8(*chosen), selected.value_or(0), withNote);
    port.SetMarquee(false);
    port.SetStatus(s ? note : "");
    port.Unlock();
    if (!s && !IsCancelled(s)) port.ShowError(s.message());
}

bool RestoreAvailable(const Workspace& ws) {
    return ws.FileKind() != kKindNone && !ws.OpenedPath.empty() && platform::HasBackup(ws.OpenedPath);
}

void RestoreOriginalClick(Workspace& ws, UiPort& port) {
    if (!RestoreAvailable(ws)) return;
    const std::string bak = platform::FileNameUtf8(platform::BackupPath(ws.OpenedPath));
    if (!port.Ask("Restore original",
                  "Put " + bak + " back over " + ws.FileName + "? Every change saved since it was kept is lost.",
                  "Restore", "Cancel"))
        return;
    if (ws.StopPreview) ws.StopPreview();
    if (Status s = platform::RestoreBackup(ws.OpenedPath, ws.OpenedIdentity ? &*ws.OpenedIdentity : nullptr); !s) {
        port.ShowError(s.message());
        return;
    }
    const auto path = ws.OpenedPath;
    ws.Open(path, port);
}

}  // namespace brenzo::replace
