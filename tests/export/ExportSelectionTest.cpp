#include "export/ExportSelection.h"

#include <gtest/gtest.h>

#include "platform/Path.h"
#include "support/Builders.h"
#include "support/WorkspaceFixture.h"

namespace brenzo::exporting {
namespace {

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(platform::FileNameUtf8(e.path()));
    std::sort(names.begin(), names.end());
    return names;
}

// A bank of `sounds` sounds, opened.
struct SelectionFixture : testing::WorkspaceFixture {
    explicit SelectionFixture(std::size_t sounds) {
        // Two sounds share a name, so that the names "Export all" gives are the ones used.
        testing::WriteText(dir / "Hashes.ini", "[Hashes]\n1=horn\n2=horn\n");
        std::vector<testing::TestSound> list(sounds);
        for (std::size_t i = 0; i < sounds; ++i) {
            list[i].hash = static_cast<std::uint32_t>(i + 1);
            list[i].pcm = testing::Tone(3000, 300, 22050);
        }
        open("b.bin", testing::BuildBank(formats::BankKind::Plain, list).image);
    }
    std::filesystem::path out() { return folder("out"); }
};

TEST(ExportSelection, WritesTheSelectedSoundsUnderTheirExportAllNames) {
    SelectionFixture f(4);
    f.port.answers = {platform::PathToUtf8(f.out())};
    const std::vector<std::size_t> entries{3, 1};
    ExportSelectedClick(f.ws, f.port, entries);
    EXPECT_EQ(f.port.dialogs, (std::vector<std::string>{"folder Select directory"}));
    EXPECT_EQ(filesIn(f.dir / "out"), (std::vector<std::string>{"0x0004.wav", "horn (2).wav"}));
    EXPECT_EQ(f.port.texts("status"), (std::vector<std::string>{"Exporting...", ""}));
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_TRUE(f.port.errors().empty());

    // One row is the plain Export with its save dialog.
    f.port.answers = {std::nullopt};
    ExportSelectedClick(f.ws, f.port, std::vector<std::size_t>{2});
    EXPECT_EQ(f.port.dialogs.back(), "save WAV-file (*.wav)|*.wav 0x0003.wav");
}

TEST(ExportSelection, ACancelKeepsWhatWasWrittenAndDropsTheFileBeingWritten) {
    // Two looks a file: before it is made, and after.
    struct Case {
        int cancelAtLook;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {0, {"0x0003.wav", "horn (2).wav", "horn.wav"}},
        {1, {}},
        {2, {}},  // cancelled while the first file was made
        {3, {"horn.wav"}},
        {4, {"horn.wav"}},
        {5, {"horn (2).wav", "horn.wav"}},
    };
    for (const Case& c : cases) {
        SelectionFixture f(3);
        f.port.cancelAtLook = c.cancelAtLook;
        const std::vector<std::size_t> entries{0, 1, 2};
        EXPECT_TRUE(ExportEntriesInto(f.ws, f.out(), entries, f.port)) << c.cancelAtLook;
        EXPECT_EQ(filesIn(f.dir / "out"), c.files) << "cancelled at look " << c.cancelAtLook;
    }
}

TEST(ChooseExport, SeveralRowsOfABankGoToAFolderOneRowToItsSaveDialog) {
    // What each click asks first (every dialog cancelled), whether the window is locked while it
    // asks (the pop-up's Export locks before its dialog, the File menu's after), and whether the
    // click may be cancelled.
    struct Case {
        ExportMenu menu;
        bool multichannel;
        std::vector<std::size_t> entries;
        bool cancellable;
        std::string dialog;  // "" when nothing is asked
        bool lockedWhileAsked;
    };
    const std::string folder = "folder Select directory";
    const std::string save = "save WAV-file (*.wav)|*.wav 0x0002.wav";
    const Case cases[] = {
        {ExportMenu::Popup, false, {1, 2}, true, folder, false},
        {ExportMenu::Popup, false, {1}, true, save, true},
        {ExportMenu::Popup, false, {}, true, "", false},
        {ExportMenu::File, false, {1, 2}, true, folder, false},
        {ExportMenu::File, false, {1}, false, save, false},
        {ExportMenu::File, false, {}, false, "", false},
        // A multichannel file exports whole, into a folder, from either menu and any rows.
        {ExportMenu::Popup, true, {0, 1}, true, folder, false},
        {ExportMenu::Popup, true, {1}, true, folder, false},
        {ExportMenu::File, true, {0, 1}, true, folder, false},
    };
    for (const Case& c : cases) {
        testing::WorkspaceFixture f;
        const auto tone = testing::Tone(3000, 300, 22050);
        std::vector<testing::TestSound> sounds(3);
        for (std::size_t i = 0; i < sounds.size(); ++i) {
            sounds[i].hash = static_cast<std::uint32_t>(i + 1);
            sounds[i].pcm = tone;
        }
        if (c.multichannel)
            f.open("music.bin", testing::BuildMulti(true, {tone, tone}, 32000).image);
        else
            f.open("b.bin", testing::BuildBank(formats::BankKind::Plain, sounds).image);
        const auto selected = c.entries.empty() ? std::nullopt : std::optional<std::size_t>(c.entries.front());
        const ExportClick click = ChooseExport(c.menu, f.ws, c.entries, selected);
        const std::string what = std::string(c.menu == ExportMenu::Popup ? "pop-up " : "file ") +
                                 (c.multichannel ? "multichannel " : "bank ") + std::to_string(c.entries.size());
        EXPECT_EQ(click.cancellable, c.cancellable) << what;
        click.command(f.port);
        EXPECT_EQ(f.port.dialogs.empty() ? "" : f.port.dialogs.back(), c.dialog) << what;
        EXPECT_EQ(f.port.lockedDuringDialog, c.lockedWhileAsked) << what;
        EXPECT_EQ(f.port.lockDepth, 0) << what;
    }
}

}  // namespace
}  // namespace brenzo::exporting
