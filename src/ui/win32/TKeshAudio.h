#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/WindowController.h"
#include "engine/Engine.h"
#include "ui/win32/Dialogs.h"
#include "ui/win32/WaveformStrip.h"
#include "ui/win32/WindowSettings.h"
#include "workspace/ListView.h"
#include "workspace/Scratch.h"

namespace brenzo::ui::win32 {

// The commands of the menus and accelerators.
enum CommandId : WORD {
    kLoad1 = 100,
    kExport2,
    kExportall1,
    kImportFolder1,
    kKeepBackups1,
    kMatchLoudness1,
    kRestoreOriginal1,
    kExit1,
    kRadioLength1,
    kHelp1,
    kPlay1,
    kReplace1,
    kExport1,
    kFind1,
    kCancel,
    kRecentFirst = 200,  // one per recent file
};

// The main window: a thin binding of the Win32 controls to the controller's handlers. It is the
// commands' UI port (status text, progress, messages, dialogs) and the preview's display, and it
// offers what the Qt window offers: the same menus, list, status bar and behaviour.
class TKeshAudio final : public control::WindowController {
public:
    // Creates the window (hidden until Show).
    TKeshAudio(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch, engine::Converter& converter,
               engine::Player& player, Dialogs& dialogs, WindowSettings settings = WindowSettings());
    ~TKeshAudio() override;
    TKeshAudio(const TKeshAudio&) = delete;
    TKeshAudio& operator=(const TKeshAudio&) = delete;

    void Show(int how);
    HWND Handle() const { return hwnd_; }
    HACCEL Accelerators() const { return accelerators_; }
    // Whether the window has gone (closed by the user or by Exit).
    bool Closed() const { return hwnd_ == nullptr; }
    // The program's message loop ends when this window does.
    void QuitOnClose() { quitOnClose_ = true; }

    // The handlers of the toolkit's own events; the others are the controller's.
    void Timer1Timer();
    void ProgressBar1MouseMove(bool leftButton, int x);
    void RadioLength1Click();
    void Help1Click();
    void Exit1Click();
    void KeepBackups1Click();
    void MatchLoudness1Click();
    // A file dropped at a point of the window's client area: an audio file on a row replaces
    // that row's sound once the user agrees; anything else is opened.
    void FileDropped(const std::string& path, POINT at);
    // The filter field: shown and focused (Ctrl+F); cleared and hidden again (Esc).
    void ShowFilter();
    void ClearFilter();
    void SetFilterText(const std::string& text);
    // A click on a column header: sorts by it (third click: the file's order).
    void HeaderClicked(int column);
    // Ctrl+C: the selected rows as tab-separated text on the clipboard; the text is returned.
    std::string CopyRows();
    void OpenRecent(std::size_t index);
    // Selects the rows (and makes the first the current one), as clicks on the list would.
    void SelectRows(const std::vector<std::size_t>& rows);

    const workspace::ListView& View() const { return view_; }
    std::optional<std::size_t> SelectedEntry() const override;
    std::vector<std::size_t> SelectedEntries() const override;
    bool ShowsPauseIcon() const { return pauseIconShown_; }
    bool Marquee() const { return marquee_; }
    bool KeepBackups() const { return keepBackups_; }
    bool MatchLoudness() const { return matchLoudness_; }
    const WindowSettings& Settings() const { return settings_; }
    // What the controls show, read back from them.
    std::string StatusText() const;
    std::string CaptionText() const;
    int ListRowCount() const;
    std::string CellText(int row, int column) const;
    // The text of a menu item, and whether it is there and enabled ("" when it is not there).
    std::string MenuText(WORD command) const;
    bool MenuEnabled(WORD command) const;
    bool FilterShown() const;
    // Whether the window has room for the waveform strip, which then shows.
    bool StripShown() const { return stripShown_; }
    int ProgressPosition() const;
    int ProgressMaximum() const;

    // The controls, under the names the handlers use.
    HWND GroupBox1 = nullptr;
    HWND StringGrid1 = nullptr;
    HWND StatusBar1 = nullptr;
    HWND ProgressBar1 = nullptr;
    HWND FilterEdit = nullptr;
    HWND CancelButton = nullptr;
    HMENU MainMenu1 = nullptr;
    HMENU File1 = nullptr;
    HMENU Recent1 = nullptr;
    HMENU Tools1 = nullptr;
    HMENU PopupMenu1 = nullptr;
    std::unique_ptr<WaveformStrip> Strip;

    // The UI port.
    void SetStatus(std::string_view text) override;
    void SetProgress(std::int64_t position, std::int64_t maximum) override;
    void SetMarquee(bool on) override;
    void ShowError(std::string_view message) override;
    void SetCaption(std::string_view caption) override;
    void RowsReset() override;
    void RowChanged(std::size_t entry) override;
    void MenusChanged() override;
    std::optional<std::string> AskSaveFile(std::string_view filter, std::string_view presetName) override;
    std::optional<std::string> AskFolder(std::string_view caption) override;
    bool Ask(std::string_view title, std::string_view text, std::string_view yes, std::string_view no) override;

    // The preview's display.
    void ShowPauseIcon(bool pause) override;
    void SetTimerEnabled(bool enabled) override;

    // The window procedure's work, and the list's, the filter's and the bar's own keys and mice.
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool ListKey(UINT message, WPARAM key);
    void BarMouse(UINT message, WPARAM keys, LPARAM lParam);
    void FilterKey(WPARAM key);

protected:
    void PumpEvents() override;
    // What the controller asks of the toolkit.
    void RunEventsUntil(const bool& done) override;
    bool KeepBackupsChecked() const override { return keepBackups_; }
    bool MatchLoudnessChecked() const override { return matchLoudness_; }
    void EnableFileItems(bool importFolder, bool restoreOriginal) override;
    void ShowLocked(bool locked, bool cancellable) override;
    void AfterCommand(bool close) override;
    std::optional<std::string> ChooseOpenFile(std::string_view filter) override;
    void RememberRecent(const std::string& file, bool opened) override;

private:
    void createControls();
    void buildMenus();
    void fillFileMenu();
    void layout();
    void command(WORD id);
    LRESULT notify(const NMHDR& header);
    void showPopup(POINT screen);
    void shutDown();
    void restorePlacement();
    void savePlacement();
    void rebuildRecentMenu();
    // The view and the list again, the selected sounds still selected where they are shown.
    void refreshList(const std::function<void()>& changeView);
    void showCaption();
    void showSortArrow();
    // The next message while a command runs, if there is one, and its handling.
    static bool nextWhileRunning(MSG& msg);
    void dispatchWhileRunning(const MSG& msg);
    void updateStrip();
    void pollWave();
    std::optional<std::size_t> stripEntry() const;
    void setMenuEnabled(HMENU menu, UINT item, bool enabled, bool byPosition = false);
    SIZE originalSize() const;
    // A length in pixels at 96 dots per inch, at the window's own.
    int px(int length) const { return MulDiv(length, dpi_, 96); }

    Dialogs& dialogs_;
    WindowSettings settings_;
    workspace::ListView view_;
    HWND hwnd_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HFONT font_ = nullptr;
    HICON playIcon_ = nullptr;
    HICON pauseIcon_ = nullptr;
    std::wstring cellText_;  // what the list shows of the cell it asked for last
    std::string fileCaption_;
    std::vector<std::string> recent_;
    std::optional<std::string> pendingDrop_;
    POINT pendingDropAt_{};
    bool keepBackups_ = replace::kKeepBackupsByDefault;
    bool matchLoudness_ = replace::kMatchLoudnessByDefault;
    // What File > "Import folder..." and "Restore original" are, as the controller last said.
    bool importEnabled_ = false;
    bool restoreEnabled_ = false;
    bool quitOnClose_ = false;
    bool marquee_ = false;
    bool pauseIconShown_ = false;
    bool timerOn_ = false;
    bool filterShown_ = false;
    bool stripShown_ = false;
    bool seeking_ = false;
    int dpi_ = 96;
    std::int64_t barMaximum_ = 100;
    std::int64_t barPosition_ = 0;
};

}  // namespace brenzo::ui::win32
