#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "control/WindowController.h"
#include "engine/Engine.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/RowsModel.h"
#include "workspace/ListView.h"
#include "workspace/Scratch.h"

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

// The main window: a thin binding of the controls to the controller's handlers. It is the
// commands' UI port (status text, progress, messages, dialogs) and the preview's display.
class TKeshAudio : public QMainWindow, public control::WindowController {
public:
    TKeshAudio(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch, engine::Converter& converter,
               engine::Player& player, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TKeshAudio() override;

    // The handlers of the toolkit's own events; the others are the controller's.
    void Timer1Timer();
    void ProgressBar1MouseMove(Qt::MouseButtons buttons, int x, int y);
    void RadioLength1Click();
    void Help1Click();
    void Exit1Click();
    // Opens a file as "Load" does after its dialog (a file dropped on the window, a recent
    // file, the file named on the command line), and remembers it among the recent files.
    using WindowController::OpenFile;
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

    std::optional<std::size_t> SelectedEntry() const override;
    std::vector<std::size_t> SelectedEntries() const override;
    const workspace::ListView& View() const { return view_; }
    // The original size of the window's client area with its menu bar.
    QSize OriginalSize() const;

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

protected:
    void PumpEvents() override;
    // What the controller asks of the toolkit.
    void RunEventsUntil(const bool& done) override;
    bool KeepBackupsChecked() const override;
    bool MatchLoudnessChecked() const override;
    void EnableFileItems(bool importFolder, bool restoreOriginal) override;
    void ShowLocked(bool locked, bool cancellable) override;
    void AfterCommand(bool close) override;
    std::optional<std::string> ChooseOpenFile(std::string_view filter) override;
    void RememberRecent(const std::string& file, bool opened) override;
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
    // The view and the list again, the selected sounds still selected where they are shown.
    void refreshList(const std::function<void()>& changeView);
    void showCaption();
    void updateStrip();
    void pollWave();
    std::optional<std::size_t> stripEntry() const;

    Dialogs& dialogs_;
    RowsModel* model_ = nullptr;
    workspace::ListView view_;
    std::string fileCaption_;
    // The workspace's entry count as of the last call that let the window read it: the caption
    // is also shown while a command runs (the filter changes it).
    std::size_t entryCount_ = 0;
    QTimer* waveTimer_ = nullptr;
    bool marquee_ = false;
    bool pauseIconShown_ = false;
    std::int64_t barMaximum_ = 100;
    std::int64_t barPosition_ = 0;
};

}  // namespace brenzo::ui
