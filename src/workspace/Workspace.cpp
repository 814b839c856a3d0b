#include "workspace/Workspace.h"

#include "common/ByteReader.h"
#include "common/OutOfMemory.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "workspace/Loaders.h"

namespace brenzo::workspace {

std::uint8_t DetectKind(std::span<const std::uint8_t> image) {
    const std::uint32_t a = peekU32(image, 0);
    const std::uint32_t b = peekU32(image, 20);
    if (a == 28) return b != 0 ? kKindBankWithAnimations : kKindPlainBank;
    if (b == 48) return kKindMultichannel;
    return kKindNone;
}

std::uint8_t Workspace::FileKind() const {
    if (const auto* opened = std::get_if<OpenedBank>(&model_)) return static_cast<std::uint8_t>(opened->kind);
    return std::holds_alternative<formats::TMultiADPCM>(model_) ? kKindMultichannel : kKindNone;
}

void Workspace::ClearMemory() {
    SourceImage = {};
    model_ = std::monostate{};
    Damage.clear();
    StaleCache.clear();
}

void Workspace::StringGridClear(UiPort& port) { port.RowsReset(); }

std::size_t Workspace::EntryCount() const {
    if (const auto* bank = CurrentBank()) return bank->BanksInfo.size();
    if (const auto* multi = CurrentMulti()) return multi->ChHeaders.size();
    return 0;
}

ListRow Workspace::Row(std::size_t entry) const {
    if (entry >= EntryCount()) return {};
    const auto i = static_cast<std::uint32_t>(entry);
    return CurrentBank() ? BankRow(*CurrentBank(), i, HashNames_) : MultiRow(*CurrentMulti(), i, HashNames_);
}

std::string Workspace::RowName(std::size_t entry) const {
    if (entry >= EntryCount()) return {};
    return HashNames_.NameForHash(CurrentBank() ? CurrentBank()->BanksHeadInfo[entry].Hash
                                                : CurrentMulti()->ChHeadSizes[entry].HeadHash);
}

OpenOutcome Workspace::Open(const std::filesystem::path& path, UiPort& port) {
    const OpenOutcome outcome = openFile(path, port);
    if (outcome != OpenOutcome::Loaded) {
        // A refused file changes no menu: they stay as the last loaded file left them. The
        // preview's last text ("Paused - 00:00:03") goes, as a load empties it.
        Menus = menusBefore_;
        port.MenusChanged();
        port.SetStatus("");
    }
    return outcome;
}

OpenOutcome Workspace::openFile(const std::filesystem::path& path, UiPort& port) {
    menusBefore_ = Menus;
    Menus.replace1Enabled = true;
    port.MenusChanged();
    if (StopPreview) StopPreview();
    ClearMemory();

    OpenedPath = path;
    FileName = platform::FileNameUtf8(path);
    platform::FileIdentity identity;
    // Reading a large file takes a while before anything on it can be counted: the bar runs
    // as a marquee meanwhile, so that the window shows it is at work.
    port.SetMarquee(true);
    auto bytes = CatchOutOfMemory("open " + FileName, [&] { return platform::ReadWholeFile(path, &identity); });
    port.SetMarquee(false);
    OpenedIdentity.reset();
    // The cached WAVs are found by name, so the cache of an earlier file of the same name must
    // go; a cache that cannot be emptied is never used.
    if (bytes && scratch_) {
        if (Status reset = scratch_->ResetFileWorkFolder(FileName); !reset)
            bytes = Error{"cannot open " + FileName + ": its preview cache cannot be emptied (" + reset.message() + ")",
                          true};
    }
    if (!bytes) {
        // Nothing is loaded: no command may use the released model.
        StringGridClear(port);
        Caption = std::string(kNotLoadedCaption);
        port.SetCaption(Caption);
        port.ShowError(bytes.message());
        return OpenOutcome::Unreadable;
    }
    SourceImage = std::move(*bytes);
    OpenedIdentity = identity;
    Names().Refresh();

    const std::uint8_t kind = DetectKind(SourceImage);
    switch (kind) {
        case kKindBankWithAnimations:
        case kKindPlainBank:
        case kKindMultichannel:
            Caption = "Loading... - " + FileName;
            port.SetCaption(Caption);
            if (kind == kKindBankWithAnimations)
                LoadBANK_ADPCM(*this, port);
            else if (kind == kKindPlainBank)
                LoadBANK_PCM(*this, port);
            else
                LoadMULTI_ADPCM(*this, port);
            return FileKind() == kKindNone ? OpenOutcome::Invalid : OpenOutcome::Loaded;
        default:
            StringGridClear(port);
            Caption = "Invalid file! - " + FileName;
            port.SetCaption(Caption);
            port.ShowError("Invalid file!");
            return OpenOutcome::Invalid;
    }
}

void Load1Click(Workspace& ws, UiPort& port) {
    auto chosen = port.AskOpenFile(kOpenFilter);
    if (!chosen) return;
    ws.Open(platform::PathFromUtf8(*chosen), port);
}

}  // namespace brenzo::workspace
