#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "common/Bytes.h"
#include "common/Overloaded.h"
#include "common/Result.h"
#include "formats/BankModel.h"
#include "formats/MultiModel.h"
#include "platform/Files.h"
#include "workspace/HashNames.h"
#include "workspace/Scratch.h"
#include "workspace/UiPort.h"

namespace brenzo::workspace {

// FileKind values.
inline constexpr std::uint8_t kKindBankWithAnimations = 0;
inline constexpr std::uint8_t kKindPlainBank = 1;
inline constexpr std::uint8_t kKindMultichannel = 2;
inline constexpr std::uint8_t kKindNone = 3;

inline constexpr std::string_view kNotLoadedCaption = "Kesh Audio is not loaded";
inline constexpr std::string_view kOpenFilter = "All files (*.*)|*.*";

// The kind of a container image from two numbers in its first 24 bytes.
std::uint8_t DetectKind(std::span<const std::uint8_t> image);

// What an open came to.
enum class OpenOutcome { Loaded, Unreadable, Invalid };

// One list row: the texts of the "Name", "Duration" and "Sample Rate" columns.
struct ListRow {
    std::string name;
    std::string duration;
    std::string rate;
};

// The menu items that the loaders change.
struct MenuState {
    bool export2Visible = true;             // File > "Export"
    std::string export1Caption = "Export";  // pop-up Export1
    std::string replace1Caption = "Replace";
    bool replace1Enabled = true;
};

// A sound bank as opened: its kind and its model.
struct OpenedBank {
    formats::BankKind kind;
    formats::TBankAudio model;
};

// What is opened: nothing, a sound bank, or a multichannel file. One value, so that the kind
// and the model can never disagree.
using OpenedModel = std::variant<std::monostate, OpenedBank, formats::TMultiADPCM>;

// The state that the commands share: the opened file, its kind and model, the list and the
// menus. One per window (or CLI run).
class Workspace {
public:
    Workspace(HashNames names, const ScratchFolders* scratch) : HashNames_(std::move(names)), scratch_(scratch) {}

    // The FileKind value of what is opened (kKindNone when nothing is).
    std::uint8_t FileKind() const;
    // The opened model of its kind, or null.
    formats::TBankAudio* CurrentBank() { return bank(); }
    const formats::TBankAudio* CurrentBank() const { return const_cast<Workspace*>(this)->bank(); }
    formats::TMultiADPCM* CurrentMulti() { return std::get_if<formats::TMultiADPCM>(&model_); }
    const formats::TMultiADPCM* CurrentMulti() const { return std::get_if<formats::TMultiADPCM>(&model_); }
    const OpenedModel& Model() const { return model_; }
    void SetModel(OpenedModel model) { model_ = std::move(model); }
    // Whether the commands take the opened file whole rather than one of its entries: a
    // multichannel file's channels are exported, played and replaced together.
    bool WholeFile() const { return std::holds_alternative<formats::TMultiADPCM>(model_); }

    Bytes SourceImage;
    // Why the opened file is not whole; a damaged container is listed but never rebuilt.
    std::vector<std::string> Damage;
    // Entries whose cached WAV could not be removed after a replace: it holds the old sound and
    // is written again before it is used.
    mutable std::set<std::size_t> StaleCache;

    std::string Caption{kNotLoadedCaption};
    MenuState Menus;

    // The opened file, as chosen, and its name without the folder.
    std::filesystem::path OpenedPath;
    std::string FileName;
    // What the opened file was when it was read (and after each save): a save refuses to
    // replace a file that another program changed since.
    std::optional<platform::FileIdentity> OpenedIdentity;

    // Called before anything that must not run beside a playing preview (open, replace).
    std::function<void()> StopPreview;

    HashNames& Names() { return HashNames_; }
    const ScratchFolders* Scratch() const { return scratch_; }

    // The list: one entry per sound or channel of the loaded model (row r of the window's list
    // is entry r - 1). The texts are made when asked for, so that a bank of 100,000 sounds
    // opens at once; the names are those "Hashes.ini" gave when the file was opened.
    std::size_t EntryCount() const;
    ListRow Row(std::size_t entry) const;
    std::string RowName(std::size_t entry) const;
    // The number of rows the window's list shows, the header row included: an empty list is
    // the header row and one empty row.
    std::size_t ListRowCount() const { return EntryCount() == 0 ? 2 : EntryCount() + 1; }

    // The entry the list's current row is on once a file is listed: the first sound, so that
    // Export and the play icon work without a click first; nothing for an empty list.
    std::optional<std::size_t> EntryAfterLoad() const {
        return EntryCount() == 0 ? std::nullopt : std::optional<std::size_t>(0);
    }

    // Releases the opened file's image and model: nothing is opened afterwards.
    void ClearMemory();
    // Empties the list (the header row and one empty row remain).
    void StringGridClear(UiPort& port);

    // Opens a container: the steps of Load1Click after its dialog.
    OpenOutcome Open(const std::filesystem::path& path, UiPort& port);

private:
    OpenOutcome openFile(const std::filesystem::path& path, UiPort& port);
    formats::TBankAudio* bank() {
        auto* opened = std::get_if<OpenedBank>(&model_);
        return opened ? &opened->model : nullptr;
    }

    MenuState menusBefore_;
    OpenedModel model_;
    HashNames HashNames_;
    const ScratchFolders* scratch_;
};

// Calls the one of `choices` that takes what is opened (std::monostate, const OpenedBank& or
// const formats::TMultiADPCM&): the place where a command chooses what it does per kind.
template <class... Choices>
decltype(auto) VisitOpened(const Workspace& ws, Choices&&... choices) {
    return std::visit(Overloaded{std::forward<Choices>(choices)...}, ws.Model());
}

// The "Load" command: the open dialog, then Open. A cancelled dialog changes nothing.
void Load1Click(Workspace& ws, UiPort& port);

}  // namespace brenzo::workspace
