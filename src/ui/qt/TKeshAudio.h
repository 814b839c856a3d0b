#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "engine/Engine.h"
#include "export/ExportSelection.h"
#include "preview/Preview.h"
#include "preview/WaveStrip.h"
#include "replace/Fit.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/RowsModel.h"
#include "workspace/ListView.h"
#include "workspace/Scratch.h"
#include "workspace/UiPort.h"
#include "workspace/Worker.h"
#include "workspace/Workspace.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QMenu;
class QProgressBar;
class QTableView;
class QTimer;

namespace brenzo::ui {

class WaveformStrip;

// The main window: a thin binding of the controls to the core's commands. It is the commands'
// UI port (status text, progress, lock, messages, dialogs) and the preview's display.
class TKeshAudio : public QMainWindow, public workspace::UiPort, public preview::PreviewDisplay {
public:
    TKeshAudio(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch, engine::Converter& converter,
               engine::Player& player, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TKeshAudio() override;

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
    void ProgressBar1MouseMove(Qt::MouseButtons buttons, int x, int y);
    void RadioLength1Click();
    void Help1Click();
    void Exit1Click();
    // Opens a file as "Load" does after its dialog (a file dropped on the window, a recent
    // file, the file named on the command line), and remembers it among the recent files.
    void OpenFile(const QString& path);
    // A file dropped at a point of the window: an audio file on a row replaces that row's sound
    // once the user agrees; anything else is opened.
    void FileDropped(const QString& path, QPoint at);
    // The filter field: shown and focused (Ctrl+F); cleared and hidden again (Esc).
    void ShowFilter();
    void ClearFilter();
    // A click on a column header: sorts by it (third click: the file's order).
    void HeaderClicked(int column);
    // Ctrl+C: the selected rows as tab-separated text.
    void CopyRows();
    void OpenRecent(int index);

    workspace::Workspace& Workspace() { return ws_; }
    preview::Preview& PreviewState() { return *preview_; }
    std::optional<std::size_t> SelectedEntry() const;
    // The entries of every selected row, in the order shown.
    std::vector<std::size_t> SelectedEntries() const;
    const workspace::ListView& View() const { return view_; }
    // The original size of the window's client area with its menu bar.
    QSize OriginalSize() const;
    // Locked by a command, or a command runs on the worker's thread.
    bool IsLocked() const { return lockDepth_ > 0 || busy(); }

    // The controls, under the names the handlers use.
    QGroupBox* GroupBox1 = nullptr;
    QTableView* StringGrid1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* Image1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    QLineEdit* FilterEdit = nullptr;
    WaveformStrip* Strip = nullptr;
    QPushButton* CancelButton = nullptr;
    QMenu* File1 = nullptr;
    QMenu* Recent1 = nullptr;
    QAction* Find1 = nullptr;
    QAction* Copy1 = nullptr;
    QMenu* Tools1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* Load1 = nullptr;
    QAction* Export2 = nullptr;
    QAction* Exportall1 = nullptr;
    QAction* ImportFolder1 = nullptr;
    QAction* KeepBackups1 = nullptr;
    QAction* MatchLoudness1 = nullptr;
    QAction* RestoreOriginal1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* RadioLength1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Play1 = nullptr;
    QAction* Replace1 = nullptr;
    QAction* Export1 = nullptr;
    bool ShowsPauseIcon() const { return pauseIconShown_; }

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

protected:
    void PumpEvents() override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildList();
    void buildStatusBar();
    void shutDown();
    void restorePlacement();
    void savePlacement();
    void rebuildRecentMenu();
    void rememberRecent(const std::string& file, bool opened);
    // The view and the list again, the selected sounds still selected where they are shown.
    void refreshList(const std::function<void()>& changeView);
    void showCaption();
    // Runs a command on the worker's thread and returns when it is done, the window's events
    // running meanwhile.
    void runCommand(const workspace::Worker::Command& command);
    bool busy() const { return worker_ && worker_->Running(); }
    // Runs a command that the user may cancel (Cancel button, Esc).
    void cancellable(const workspace::Worker::Command& command);
    void runExport(const exporting::ExportClick& click);
    void requestCancel();
    void updateStrip();
    void pollWave();
    std::optional<std::size_t> stripEntry() const;
    // What the replace commands are to do, from the two remembered settings.
    replace::ReplaceOptions replaceOptions() const;
    void updateFileMenu();

    workspace::ScratchFolders& scratch_;
    engine::Converter& converter_;
    Dialogs& dialogs_;
    workspace::Workspace ws_;
    std::unique_ptr<preview::Preview> preview_;
    RowsModel* model_ = nullptr;
    workspace::ListView view_;
    std::string fileCaption_;
    // The workspace's entry count as of the last call that let the window read it: the caption
    // is also shown while a command runs (the filter changes it).
    std::size_t entryCount_ = 0;
    bool cancellable_ = false;
    bool cancelRequested_ = false;
    std::optional<QString> droppedInput_;  // the answer to the replace's file dialog after a drop
    std::unique_ptr<preview::WaveStrip> wave_;
    QTimer* waveTimer_ = nullptr;
    int lockDepth_ = 0;
    bool closePending_ = false;
    bool shutDown_ = false;
    bool marquee_ = false;
    bool pauseIconShown_ = false;
    std::int64_t barMaximum_ = 100;
    std::int64_t barPosition_ = 0;
    // Last, so that it goes first: a command still running is waited for while all it may
    // touch is there.
    std::unique_ptr<workspace::Worker> worker_;
};

}  // namespace brenzo::ui
