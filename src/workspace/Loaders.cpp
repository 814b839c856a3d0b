#include "workspace/Loaders.h"

#include "common/OutOfMemory.h"
#include "formats/BankFile.h"
#include "formats/Layout.h"
#include "formats/MultiFile.h"
#include "formats/MultiWriter.h"

namespace brenzo::workspace {

using formats::BankKind;

ListRow BankRow(const formats::TBankAudio& bank, std::uint32_t i, const HashNames& names) {
    const auto& info = bank.BanksInfo[i];
    return {names.NameForHash(bank.BanksHeadInfo[i].Hash), formats::FormatDuration(info.Size2, info.Frequency),
            formats::FormatRate(info.Frequency)};
}

ListRow MultiRow(const formats::TMultiADPCM& multi, std::uint32_t i, const HashNames& names) {
    const auto& ch = multi.ChHeaders[i];
    return {names.NameForHash(multi.ChHeadSizes[i].HeadHash), formats::FormatDuration(ch.Length, ch.Frequency),
            formats::FormatRate(ch.Frequency)};
}

std::string LoadingText(std::uint64_t index, std::uint64_t count) {
    return "Loading... - " + std::to_string(count ? index * 100 / count : 0) + "%";
}

std::string BankCaption(const formats::TBankAudio& bank, BankKind kind, std::string_view fileName) {
    std::string count = std::to_string(bank.AudioCount);
    std::string name(fileName);
    if (kind == BankKind::WithAnimations) return "Sound Bank ADPCM with animations (" + count + " sounds) - " + name;
    const bool adpcm = !bank.BanksInfo.empty() && bank.BanksInfo[0].Compression == formats::kCompressionAdpcm;
    return std::string(adpcm ? "Sound Bank ADPCM (" : "Sound Bank PCM (") + count + " sounds) - " + name;
}

std::string MultiCaption(const formats::TMultiADPCM& multi, std::string_view fileName) {
    return std::string(multi.IsAdpcm() ? "Multichannel ADPCM (" : "Multichannel PCM (") +
           std::to_string(multi.Channels) + " channels) - " + std::string(fileName);
}

bool MultiReplaceSupported(const formats::TMultiADPCM& multi) {
    return formats::CanWriteBlocks(multi.IsAdpcm(), multi.Channels);
}

namespace {

// Reports "Loading... - N%" once per change of N, and the bar at every entry.
class LoadProgress {
public:
    explicit LoadProgress(UiPort& port) : port_(port) {}
    void operator()(std::uint32_t i, std::uint32_t count) {
        port_.Pump();
        port_.SetProgress(i, count ? count - 1 : 0);
        std::uint64_t percent = std::uint64_t{i} * 100 / count;
        if (percent != shown_) {
            shown_ = percent;
            port_.SetStatus(LoadingText(i, count));
        }
    }

private:
    UiPort& port_;
    std::uint64_t shown_ = static_cast<std::uint64_t>(-1);
};

void finishLoad(Workspace& ws, UiPort& port) {
    port.SetCaption(ws.Caption);
    port.SetStatus("");
    port.Unlock();
    port.SetProgress(0, 100);
}

void refuseLoad(Workspace& ws, UiPort& port, const std::string& message) {
    ws.ClearMemory();
    ws.Caption = "Invalid file! - " + ws.FileName;
    finishLoad(ws, port);
    port.ShowError(message);
}

// The list emptied and the window locked while a file is read; a multichannel file, exported
// whole, shows "Export all" where a bank shows "Export".
void beginLoad(Workspace& ws, UiPort& port, bool wholeFile) {
    ws.StringGridClear(port);
    ws.Menus.export2Visible = !wholeFile;
    ws.Menus.export1Caption = wholeFile ? "Export all" : "Export";
    port.MenusChanged();
    port.Lock();
}

void loadBank(Workspace& ws, UiPort& port, BankKind kind) {
    beginLoad(ws, port, false);
    LoadProgress progress(port);
    auto readOrRefuse = CatchOutOfMemory("read " + ws.FileName, [&]() -> Result<formats::BankRead> {
        return formats::ReadBank(ws.SourceImage, kind, std::ref(progress));
    });
    if (!readOrRefuse) {
        refuseLoad(ws, port, readOrRefuse.message());
        return;
    }
    formats::BankRead& read = *readOrRefuse;
    ws.Damage = std::move(read.damage);
    ws.SetModel(OpenedBank{kind, std::move(read.bank)});
    const auto& bank = *ws.CurrentBank();
    port.RowsReset();

    ws.Menus.replace1Caption = "Replace";
    port.MenusChanged();
    ws.Caption = BankCaption(bank, kind, ws.FileName);
    finishLoad(ws, port);
    if (!ws.Damage.empty())
        port.ShowError(ws.FileName + " is damaged: " + ws.Damage.front() +
                       ". What could be read is listed; its sounds cannot be replaced.");
}

}  // namespace

void LoadBANK_ADPCM(Workspace& ws, UiPort& port) { loadBank(ws, port, BankKind::WithAnimations); }
void LoadBANK_PCM(Workspace& ws, UiPort& port) { loadBank(ws, port, BankKind::Plain); }

void LoadMULTI_ADPCM(Workspace& ws, UiPort& port) {
    beginLoad(ws, port, true);
    LoadProgress progress(port);
    auto read =
        CatchOutOfMemory("read " + ws.FileName, [&] { return formats::ReadMulti(ws.SourceImage, std::ref(progress)); });
    if (!read) {
        // A file the model cannot represent is refused; nothing of it is listed.
        refuseLoad(ws, port, "Invalid file! " + ws.FileName + " cannot be read: " + read.message() + ".");
        return;
    }
    ws.SetModel(std::move(*read));
    const auto& multi = *ws.CurrentMulti();
    port.RowsReset();

    ws.Caption = MultiCaption(multi, ws.FileName);
    ws.Menus.replace1Enabled = MultiReplaceSupported(multi);
    ws.Menus.replace1Caption = "Replace all";
    port.MenusChanged();
    finishLoad(ws, port);
}

}  // namespace brenzo::workspace
