#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brenzo::workspace {

// How the commands talk to whatever front end drives them: the window, the CLI, or the
// recorder of the tests. Commands decide the order of things; the port only shows them.
class UiPort {
public:
    virtual ~UiPort() = default;

    // Status bar panel 0.
    virtual void SetStatus(std::string_view text) = 0;
    // The progress bar; position and maximum in steps.
    virtual void SetProgress(std::int64_t position, std::int64_t maximum) = 0;
    virtual void SetMarquee(bool on) = 0;
    // LockControl / UnlockControl: the play icon, the list and the three menus.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // A message box with the title "Error" and the error icon.
    virtual void ShowError(std::string_view message) = 0;
    // The caption of the list's frame.
    virtual void SetCaption(std::string_view caption) = 0;
    // The whole list changed (row count and contents); read it from the workspace.
    virtual void RowsReset() = 0;
    // One entry's row changed (entry index from 0, that is list row index + 1).
    virtual void RowChanged(std::size_t entry) = 0;
    // The menu state of the workspace changed.
    virtual void MenusChanged() = 0;

    // Dialogs: the answer, or nothing when the user cancelled. Paths are UTF-8.
    virtual std::optional<std::string> AskOpenFile(std::string_view filter) = 0;
    virtual std::optional<std::string> AskSaveFile(std::string_view filter, std::string_view presetName) = 0;
    virtual std::optional<std::string> AskFolder(std::string_view caption) = 0;
    // A question with two answers (the import summary, mixing a stereo file down): true for the
    // first. A port that cannot ask answers the second, which always leaves things as they are.
    virtual bool Ask(std::string_view title, std::string_view text, std::string_view yes, std::string_view no) {
        (void)title, (void)text, (void)yes, (void)no;
        return false;
    }

    // Whether the user asked to stop the long work that runs (a Cancel button, Esc). Long loops
    // look at it between their steps; ports that cannot cancel never ask.
    virtual bool CancelRequested() const { return false; }

    // Lets pending events run, at most about every 15 ms, so that calling it in a hot loop
    // costs next to nothing while the window still repaints and its timer still ticks.
    void Pump() {
        auto now = std::chrono::steady_clock::now();
        if (now - lastPump_ < std::chrono::milliseconds(15)) return;
        lastPump_ = now;
        PumpEvents();
    }

protected:
    virtual void PumpEvents() = 0;

private:
    std::chrono::steady_clock::time_point lastPump_{};
};

// A port that shows nothing and cancels every dialog.
class SilentPort : public UiPort {
public:
    void SetStatus(std::string_view) override {}
    void SetProgress(std::int64_t, std::int64_t) override {}
    void SetMarquee(bool) override {}
    void Lock() override {}
    void Unlock() override {}
    void ShowError(std::string_view) override {}
    void SetCaption(std::string_view) override {}
    void RowsReset() override {}
    void RowChanged(std::size_t) override {}
    void MenusChanged() override {}
    std::optional<std::string> AskOpenFile(std::string_view) override { return std::nullopt; }
    std::optional<std::string> AskSaveFile(std::string_view, std::string_view) override { return std::nullopt; }
    std::optional<std::string> AskFolder(std::string_view) override { return std::nullopt; }

protected:
    void PumpEvents() override {}
};

}  // namespace brenzo::workspace
