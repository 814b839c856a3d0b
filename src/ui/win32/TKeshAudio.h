#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "export/ExportSelection.h"
#include "preview/Preview.h"
#include "preview/WaveStrip.h"
#include "replace/Fit.h"
#include "ui/win32/Dialogs.h"
#include "ui/win32/WaveformStrip.h"
#include "ui/win32/WindowSettings.h"
#include "workspace/ListView.h"
#include "workspace/Scratch.h"
#include "workspace/UiPort.h"
#include "workspace/Worker.h"
#include "workspace/Workspace.h"

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

// The main window: a thin binding of the Win32 controls to the core's commands. It is the
// commands' UI port (status text, progress, lock, messages, dialogs) and the preview's display,
// and it offers what the Qt window offers: the same menus, list, status bar and behaviour.
class TKeshAudio final : public workspace::UiPort, public preview::PreviewDisplay {
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

    // The handlers, named after their controls and events.
    void Load1Click();
    void Export1Click();
    void Export2Click();
    void Exportall1Click();
    void Replace1Click();
    void ImportFolder1Click();
    void RestoreOriginal1Click();
    void StringGrid1DblClick();
    void Play1Click();
    void Image1Click();
    void Timer1Timer();
    void ProgressBar1MouseMove(bool leftButton, int x);
    void RadioLength1Click();
    void Help1Click();
    void Exit1Click();
    void KeepBackups1Click();
    void MatchLoudness1Click();
    // Opens a file as "Load" does after its dialog (a dropped file, a recent file, the file
    // named on the command line), and remembers it among the recent files.
    void OpenFile(const std::string& path);
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

    workspace::Workspace& Workspace() { return ws_; }
    preview::Preview& PreviewState() { return *preview_; }
    const workspace::ListView& View() const { return view_; }
    std::optional<std::size_t> SelectedEntry() const;
    std::vector<std::size_t> SelectedEntries() const;
    // While a command runs (on the worker or, failing a thread, here) and until its last call.
    bool IsLocked() const { return lockDepth_ > 0 || busy(); }
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
    void Lock() override;
    void Unlock() override;
    void ShowError(std::string_view message) override;
    void SetCaption(std::string_view caption) override;
    void RowsReset() override;
    void RowChanged(std::size_t entry) override;
    void MenusChanged() override;
    std::optional<std::string> AskOpenFile(std::string_view filter) override;
    std::optional<std::string> AskSaveFile(std::string_view filter, std::string_view presetName) override;
    std::optional<std::string> AskFolder(std::string_view caption) override;
    bool CancelRequested() const override { return cancelRequested_; }
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
    void rememberRecent(const std::string& file, bool opened);
    // The view and the list again, the selected sounds still selected where they are shown.
    void refreshList(const std::function<void()>& changeView);
    void showCaption();
    void showSortArrow();
    // Runs a command on the worker and returns once it is done, the window's messages flowing
    // meanwhile; nothing while another command runs.
    void runCommand(const workspace::Worker::Command& command);
    void cancellable(const workspace::Worker::Command& command);
    void runExport(const exporting::ExportClick& click);
    void requestCancel();
    // The next message while a command runs, if there is one, and its handling.
    static bool nextWhileRunning(MSG& msg);
    void dispatchWhileRunning(const MSG& msg);
    bool busy() const { return worker_ && worker_->Running(); }
    replace::ReplaceOptions replaceOptions() const;
    void updateStrip();
    void pollWave();
    std::optional<std::size_t> stripEntry() const;
    void setMenuEnabled(HMENU menu, UINT item, bool enabled, bool byPosition = false);
    SIZE originalSize() const;
    // A length in pixels at 96 dots per inch, at the window's own.
    int px(int length) const { return MulDiv(length, dpi_, 96); }

    workspace::ScratchFolders& scratch_;
    engine::Converter& converter_;
    Dialogs& dialogs_;
    WindowSettings settings_;
    workspace::Workspace ws_;
    std::unique_ptr<preview::Preview> preview_;
    workspace::ListView view_;
    HWND hwnd_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HFONT font_ = nullptr;
    HICON playIcon_ = nullptr;
    HICON pauseIcon_ = nullptr;
    std::wstring cellText_;  // what the list shows of the cell it asked for last
    std::string fileCaption_;
    std::vector<std::string> recent_;
    std::optional<std::string> droppedInput_;  // the answer to the replace's file dialog after a drop
    std::optional<std::string> pendingDrop_;
    POINT pendingDropAt_{};
    bool keepBackups_ = replace::kKeepBackupsByDefault;
    bool matchLoudness_ = replace::kMatchLoudnessByDefault;
    bool cancellable_ = false;
    bool cancelRequested_ = false;
    bool quitOnClose_ = false;
    bool closePending_ = false;
    bool shutDown_ = false;
    bool marquee_ = false;
    bool pauseIconShown_ = false;
    bool timerOn_ = false;
    bool filterShown_ = false;
    bool stripShown_ = false;
    std::unique_ptr<preview::WaveStrip> wave_;
    bool seeking_ = false;
    int lockDepth_ = 0;
    int dpi_ = 96;
    std::int64_t barMaximum_ = 100;
    std::int64_t barPosition_ = 0;
    // Last, so that it goes first: a command still running is waited for while all it may
    // touch is still there.
    std::unique_ptr<workspace::Worker> worker_;
};

}  // namespace brenzo::ui::win32
