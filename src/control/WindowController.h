#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"
#include "engine/Loudness.h"
#include "export/ExportSelection.h"
#include "preview/Preview.h"
#include "preview/WaveStrip.h"
#include "replace/Fit.h"
#include "workspace/Scratch.h"
#include "workspace/UiPort.h"
#include "workspace/Worker.h"
#include "workspace/Workspace.h"

namespace brenzo::control {

// What the main window does when its menus, keys and list are used, whatever toolkit draws it:
// which command a click runs, when it may run, on which thread, whether it can be cancelled,
// what the lock and the close wait for, and what the File menu offers afterwards. A window
// derives from it, binds its controls to these handlers and implements the UI port and the
// few things only its toolkit can do (below).
class WindowController : public workspace::UiPort, public preview::PreviewDisplay {
public:
    WindowController(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch, engine::Converter& converter,
                     engine::Player& player, engine::LoudnessMeter loudness);
    ~WindowController() override;
    WindowController(const WindowController&) = delete;
    WindowController& operator=(const WindowController&) = delete;

    // The handlers, named after their controls. Each does nothing while the window is locked.
    void Load1Click();
    void Export1Click();
    void Export2Click();
    void Exportall1Click();
    void Replace1Click();
    void ImportFolder1Click();
    void RestoreOriginal1Click();
    void StringGrid1DblClick();
    void Play1Click() { StringGrid1DblClick(); }
    void Image1Click();
    // Opens a file (UTF-8 path) as "Load" does after its dialog, and has the window remember it
    // among the recent files.
    void OpenFile(const std::string& path);

    workspace::Workspace& Workspace() { return ws_; }
    preview::Preview& PreviewState() { return *preview_; }
    // Locked by a command, or a command runs on the worker's thread.
    bool IsLocked() const { return lockDepth_ > 0 || Busy(); }
    // The selected row's entry, and every selected row's, in the order shown.
    virtual std::optional<std::size_t> SelectedEntry() const = 0;
    virtual std::vector<std::size_t> SelectedEntries() const = 0;

    // The UI port's part that is the same in every window: the lock counts, shows the Cancel
    // button for work that can be cancelled, and once undone lets a waiting close happen; a
    // dropped file answers the replace's file dialog.
    void Lock() override;
    void Unlock() override;
    bool CancelRequested() const override { return cancelRequested_; }
    std::optional<std::string> AskOpenFile(std::string_view filter) override;

protected:
    // ---- what the window's toolkit does ----
    // Turns the toolkit's event loop (repaints, timers, the worker's calls) until `done` is set.
    virtual void RunEventsUntil(const bool& done) = 0;
    // The File menu's two check marks.
    virtual bool KeepBackupsChecked() const = 0;
    virtual bool MatchLoudnessChecked() const = 0;
    // Greys or enables File > "Import folder..." and File > "Restore original".
    virtual void EnableFileItems(bool importFolder, bool restoreOriginal) = 0;
    // Locked, the window disables the list, its filter, the play icon, the menus and drops, and
    // shows its Cancel button where the work can be cancelled; unlocked, it undoes all that.
    virtual void ShowLocked(bool locked, bool cancellable) = 0;
    // Once the current event is done: closes the window (`close`), or has the strip follow the
    // current row.
    virtual void AfterCommand(bool close) = 0;
    // The open file dialog itself.
    virtual std::optional<std::string> ChooseOpenFile(std::string_view filter) = 0;
    // Keeps `file` among the recent files when it opened, or drops it from them.
    virtual void RememberRecent(const std::string& file, bool opened) = 0;

    // ---- for the window's bindings ----
    // Starts the thread the long commands run on; `post` runs a function on the window's thread.
    void StartWorker(workspace::Worker::Post post);
    // Waits for a command that still runs; none starts afterwards.
    void StopWorker() { worker_.reset(); }
    bool Busy() const { return worker_ && worker_->Running(); }
    bool Cancellable() const { return cancellable_; }
    // The Cancel button, or Esc while work that can be cancelled runs.
    void RequestCancel();
    // The file dropped on `entry`'s row replaces its sound as Replace would, once the user agreed.
    void ReplaceWithFile(std::optional<std::size_t> entry, const std::string& path);
    // The File menu opens: whether a backup exists can change behind the window's back.
    void FileMenuOpening() {
        if (!Busy()) UpdateFileMenu();
    }
    void UpdateFileMenu();
    // Whether the window may close now: not while locked, when the close waits for the command.
    bool MayClose();
    // Stops the preview and forgets the file and the scratch files; once.
    void ShutDown();
    bool IsShutDown() const { return shutDown_; }

    workspace::Workspace ws_;
    std::unique_ptr<preview::Preview> preview_;
    std::unique_ptr<preview::WaveStrip> wave_;

private:
    // Runs a command on the worker's thread and returns when it is done, the window's events
    // running meanwhile; nothing while another command runs, or without a worker.
    void runCommand(const workspace::Worker::Command& command);
    // Runs a command that the user may cancel.
    void cancellable(const workspace::Worker::Command& command);
    void runExport(const exporting::ExportClick& click);
    replace::ReplaceOptions replaceOptions() const;

    workspace::ScratchFolders& scratch_;
    engine::Converter& converter_;
    engine::LoudnessMeter loudness_;
    std::optional<std::string> droppedInput_;  // the answer to the replace's file dialog after a drop
    int lockDepth_ = 0;
    bool cancellable_ = false;
    bool cancelRequested_ = false;
    bool closePending_ = false;
    bool shutDown_ = false;
    // Last, so that it goes first: a command still running is waited for while all it may
    // touch is there.
    std::unique_ptr<workspace::Worker> worker_;
};

}  // namespace brenzo::control
