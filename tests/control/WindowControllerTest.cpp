// The window's handlers without a toolkit: a window double whose port calls are recorded, whose
// event loop runs what the worker posts, and whose selection the test sets.
#include "control/WindowController.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/Backup.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/FrontThread.h"
#include "support/RecordingPort.h"
#include "support/TempDir.h"

namespace brenzo::control {
namespace {

namespace fs = std::filesystem;

class TestWindow : public WindowController {
public:
    TestWindow(const fs::path& hashes, workspace::ScratchFolders& scratch, engine::Converter& converter,
               engine::Player& player)
        : WindowController(hashes, scratch, converter, player, {}) {
        StartWorker(front.Poster());
    }
    ~TestWindow() override {
        StopWorker();
        ShutDown();
    }

    testing::RecordingPort port;
    testing::FrontThread front;
    std::optional<std::size_t> selected;
    // Clicked on the first turn of the next command's event loop, while that command runs.
    std::function<void()> whileRunning;

    std::optional<std::size_t> SelectedEntry() const override { return selected; }
    std::vector<std::size_t> SelectedEntries() const override {
        return selected ? std::vector<std::size_t>{*selected} : std::vector<std::size_t>{};
    }

    void SetStatus(std::string_view text) override { port.SetStatus(text); }
    void SetProgress(std::int64_t position, std::int64_t maximum) override { port.SetProgress(position, maximum); }
    void SetMarquee(bool on) override { port.SetMarquee(on); }
    void ShowError(std::string_view message) override { port.ShowError(message); }
    void SetCaption(std::string_view caption) override { port.SetCaption(caption); }
    void RowsReset() override { port.RowsReset(); }
    void RowChanged(std::size_t entry) override { port.RowChanged(entry); }
    void MenusChanged() override { port.MenusChanged(); }
    std::optional<std::string> AskSaveFile(std::string_view filter, std::string_view preset) override {
        return port.AskSaveFile(filter, preset);
    }
    std::optional<std::string> AskFolder(std::string_view caption) override { return port.AskFolder(caption); }
    bool Ask(std::string_view title, std::string_view text, std::string_view yes, std::string_view no) override {
        return port.Ask(title, text, yes, no);
    }
    void ShowPauseIcon(bool) override {}
    void SetTimerEnabled(bool) override {}

protected:
    void PumpEvents() override {}
    void RunEventsUntil(const bool& done) override {
        if (auto click = std::exchange(whileRunning, nullptr)) click();
        EXPECT_TRUE(front.RunUntil([&] { return done; }));
    }
    bool KeepBackupsChecked() const override { return false; }
    bool MatchLoudnessChecked() const override { return false; }
    void EnableFileItems(bool, bool) override {}
    void ShowLocked(bool locked, bool) override { locked ? port.Lock() : port.Unlock(); }
    void AfterCommand(bool) override {}
    std::optional<std::string> ChooseOpenFile(std::string_view filter) override { return port.AskOpenFile(filter); }
    void RememberRecent(const std::string&, bool) override {}
};

enum class When { Unlocked, Locked, CommandRunning };

struct ClickCase {
    const char* name;
    void (WindowController::*click)();
    // What it does when the window is free: the dialog it opens (the start of its text), "ask"
    // for a question, "plays".
    const char* unlocked;
};

// A bank of two sounds, opened through the window, its first row selected, a backup beside it.
void openBank(TestWindow& window, const fs::path& bank) {
    std::vector<testing::TestSound> sounds(2);
    for (std::uint32_t i = 0; i < 2; ++i) {
        sounds[i].hash = i + 1;
        sounds[i].rate = 8000;
        sounds[i].pcm = testing::Tone(800, 300 + 100 * i, 8000);
    }
    testing::WriteFile(bank, testing::BuildBank(formats::BankKind::Plain, sounds).image);
    const std::uint8_t backup[] = {1};
    testing::WriteFile(platform::BackupPath(bank), backup);
    window.OpenFile(platform::PathToUtf8(bank));
    window.selected = 0;
    window.port.clear();
    window.port.dialogs.clear();
}

TEST(WindowController, EveryClickWaitsForTheLockAndForARunningCommand) {
    const ClickCase clicks[] = {
        {"Load1Click", &WindowController::Load1Click, "open All files (*.*)|*.*"},
        {"Export1Click", &WindowController::Export1Click, "save WAV-file (*.wav)|*.wav 0x0001.wav"},
        {"Export2Click", &WindowController::Export2Click, "save WAV-file (*.wav)|*.wav 0x0001.wav"},
        {"Exportall1Click", &WindowController::Exportall1Click, "folder Select directory"},
        {"Replace1Click", &WindowController::Replace1Click, "open Audio files"},
        {"ImportFolder1Click", &WindowController::ImportFolder1Click, "folder Import folder"},
        {"RestoreOriginal1Click", &WindowController::RestoreOriginal1Click, "ask"},
        {"StringGrid1DblClick", &WindowController::StringGrid1DblClick, "plays"},
        {"Play1Click", &WindowController::Play1Click, "plays"},
        {"Image1Click", &WindowController::Image1Click, "plays"},
    };
    auto converter = engine::MakeConverter();
    auto player = engine::MakePlayer();
    for (const auto& c : clicks) {
        for (When when : {When::Unlocked, When::Locked, When::CommandRunning}) {
            const char* whenNames[] = {"unlocked", "locked", "while a command runs"};
            SCOPED_TRACE(std::string(c.name) + ", " + whenNames[static_cast<int>(when)]);
            testing::TempDir dir;
            auto scratch = *workspace::ScratchFolders::Create(dir.path());
            TestWindow window(dir / "Hashes.ini", scratch, *converter, *player);
            openBank(window, dir / "b.bin");
            ASSERT_EQ(window.Workspace().EntryCount(), 2u);

            // What the click did: the dialog it opened, else a question it asked, else a sound
            // it started; and how many port calls it made.
            std::string did;
            std::size_t calls = 0;
            auto click = [&] {
                const std::size_t callsBefore = window.port.calls.size();
                const std::size_t dialogsBefore = window.port.dialogs.size();
                (window.*c.click)();
                calls = window.port.calls.size() - callsBefore;
                if (window.port.dialogs.size() > dialogsBefore)
                    did = window.port.dialogs[dialogsBefore];
                else if (window.port.count("ask") > 0)
                    did = "ask";
                else if (window.PreviewState().IsPlaying())
                    did = "plays";
            };
            if (when == When::Unlocked) {
                click();
                EXPECT_EQ(did.substr(0, std::string_view(c.unlocked).size()), c.unlocked);
            } else {
                if (when == When::Locked) {
                    window.Lock();
                    click();
                    window.Unlock();
                } else {
                    // Held on the worker by a question no one has answered yet.
                    window.whileRunning = click;
                    window.Exportall1Click();
                }
                EXPECT_EQ(did, "");
                EXPECT_EQ(calls, 0u);
            }
        }
    }
}

}  // namespace
}  // namespace brenzo::control
