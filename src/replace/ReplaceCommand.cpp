#include "replace/ReplaceCommand.h"

#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "replace/Conversion.h"
#include "replace/MultiReplace.h"

namespace brenzo::replace {

using namespace workspace;

Status ReplaceEntry(Workspace& ws, UiPort& port, engine::Converter& converter, const std::filesystem::path& newFile,
                    std::size_t entry) {
    switch (ws.FileKind()) {
        case kKindBankWithAnimations:
            return ReplaceBANK_ADPCM(ws, port, converter, newFile, static_cast<std::uint32_t>(entry));
        case kKindPlainBank: {
            const std::uint32_t c = ws.CurrentBank() && !ws.CurrentBank()->BanksInfo.empty()
                                        ? ws.CurrentBank()->BanksInfo[0].Compression
                                        : 0;
            return ReplaceBANK_PCM(ws, port, converter, newFile, static_cast<std::uint32_t>(entry), c);
        }
        case kKindMultichannel:
            return ReplaceMULTI_ADPCM(ws, port, converter, newFile);
        default:
            return Error{"nothing is loaded"};
    }
}

void Replace1Click(Workspace& ws, UiPort& port, engine::Converter& converter, std::optional<std::size_t> selected) {
    const bool bank = ws.FileKind() == kKindBankWithAnimations || ws.FileKind() == kKindPlainBank;
    const bool multi = ws.FileKind() == kKindMultichannel;
    if (!bank && !multi) return;
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
    Status s = ReplaceEntry(ws, port, converter, platform::PathFromUtf8(*chosen), selected.value_or(0));
    port.SetMarquee(false);
    port.SetStatus("");
    port.Unlock();
    if (!s) port.ShowError(s.message());
}

}  // namespace brenzo::replace
