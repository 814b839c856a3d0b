#include "control/WindowController.h"

#include <utility>

#include "export/ExportCommands.h"
#include "platform/Path.h"
#include "replace/ImportAll.h"
#include "replace/ReplaceCommand.h"

namespace brenzo::control {

WindowController::WindowController(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch,
                                   engine::Converter& converter, engine::Player& player, engine::LoudnessMeter loudness)
    : ws_(workspace::HashNames(std::move(hashesFile)), &scratch),
      scratch_(scratch),
      converter_(converter),
      loudness_(std::move(loudness)) {
    preview_ = std::make_unique<preview::Preview>(ws_, *this, *this, player);
    wave_ = std::make_unique<preview::WaveStrip>(ws_, *preview_);
}

WindowController::~WindowController() = default;

void WindowController::StartWorker(workspace::Worker::Post post) {
    worker_ = std::make_unique<workspace::Worker>(*this, std::move(post));
    // A first play exports its sound into the cache as the long commands run.
    preview_->BuildCacheWith([this](const workspace::Worker::Command& command) { runCommand(command); });
}

void WindowController::runCommand(const workspace::Worker::Command& command) {
    if (Busy() || !worker_) return;
    // The preview belongs to the window's thread: a command stops it there, and waits until it has.
    auto stopPreview = ws_.StopPreview;
    ws_.StopPreview = [this] {
        worker_->RunOnFront([this] {
            if (preview_) preview_->Stop();
        });
    };
    bool done = false;
    if (worker_->Start(command, [&done](const std::optional<std::string>&) { done = true; })) {
        // The window's events run (it repaints, the marquee moves, the timers tick) until the
        // command's last call has been delivered.
        RunEventsUntil(done);
    } else {
        ws_.StopPreview = stopPreview;
        command(*this);  // no thread to be had: on this one, as a command always could run
    }
    ws_.StopPreview = std::move(stopPreview);
    AfterCommand(closePending_ && !IsLocked());
}

void WindowController::RequestCancel() {
    cancelRequested_ = true;
    if (worker_) worker_->RequestCancel();
}

void WindowController::cancellable(const workspace::Worker::Command& command) {
    cancellable_ = true;
    cancelRequested_ = false;
    runCommand(command);
    cancellable_ = false;
    cancelRequested_ = false;
}

void WindowController::runExport(const exporting::ExportClick& click) {
    if (click.cancellable)
        cancellable(click.command);
    else
        runCommand(click.command);
}

replace::ReplaceOptions WindowController::replaceOptions() const {
    return replace::WindowReplaceOptions(KeepBackupsChecked(), MatchLoudnessChecked(), loudness_);
}

void WindowController::UpdateFileMenu() {
    EnableFileItems(replace::ImportAvailable(ws_), replace::RestoreAvailable(ws_));
}

// ---- the handlers ---------------------------------------------------------------------------

void WindowController::Load1Click() {
    if (IsLocked()) return;
    if (auto chosen = AskOpenFile(workspace::kOpenFilter)) OpenFile(*chosen);
}

void WindowController::OpenFile(const std::string& path) {
    if (IsLocked()) return;
    wave_->Opening();
    const auto file = platform::PathFromUtf8(path);
    auto outcome = workspace::OpenOutcome::Unreadable;
    runCommand([&](workspace::UiPort& port) { outcome = ws_.Open(file, port); });
    RememberRecent(path, outcome == workspace::OpenOutcome::Loaded);
}

void WindowController::Export1Click() {
    if (!IsLocked())
        runExport(exporting::ChooseExport(exporting::ExportMenu::Popup, ws_, SelectedEntries(), SelectedEntry()));
}

void WindowController::Export2Click() {
    if (!IsLocked())
        runExport(exporting::ChooseExport(exporting::ExportMenu::File, ws_, SelectedEntries(), SelectedEntry()));
}

void WindowController::Exportall1Click() {
    if (IsLocked()) return;
    cancellable([&](workspace::UiPort& port) { exporting::Exportall1Click(ws_, port); });
}

void WindowController::Replace1Click() {
    if (IsLocked()) return;
    const auto selected = SelectedEntry();
    const auto options = replaceOptions();
    runCommand([&](workspace::UiPort& port) { replace::Replace1Click(ws_, port, converter_, selected, options); });
    UpdateFileMenu();
}

void WindowController::ReplaceWithFile(std::optional<std::size_t> entry, const std::string& path) {
    if (IsLocked()) return;
    // The replace's file dialog is answered by the file.
    droppedInput_ = path;
    const auto options = replaceOptions();
    runCommand([&](workspace::UiPort& port) { replace::Replace1Click(ws_, port, converter_, entry, options); });
    droppedInput_.reset();
    UpdateFileMenu();
}

void WindowController::ImportFolder1Click() {
    if (IsLocked()) return;
    const auto options = replaceOptions();
    cancellable([&](workspace::UiPort& port) { replace::ImportFolderClick(ws_, port, converter_, options); });
    UpdateFileMenu();
}

void WindowController::RestoreOriginal1Click() {
    if (IsLocked()) return;
    runCommand([&](workspace::UiPort& port) { replace::RestoreOriginalClick(ws_, port); });
    UpdateFileMenu();
}

void WindowController::StringGrid1DblClick() {
    if (!IsLocked()) wave_->Play(SelectedEntry());
}

void WindowController::Image1Click() {
    if (!IsLocked()) preview_->Image1Click(SelectedEntry());
}

// ---- the lock, the close and the shut-down ------------------------------------------------

void WindowController::Lock() {
    if (lockDepth_++ > 0) return;
    ShowLocked(true, cancellable_);
}

void WindowController::Unlock() {
    if (lockDepth_ == 0 || --lockDepth_ > 0) return;
    ShowLocked(false, false);
    // The strip waits for the command that changed the current row (a load selects the first).
    AfterCommand(closePending_);
}

std::optional<std::string> WindowController::AskOpenFile(std::string_view filter) {
    if (droppedInput_) return std::exchange(droppedInput_, std::nullopt);
    return ChooseOpenFile(filter);
}

bool WindowController::MayClose() {
    // A command that runs lets events through; it must not go on with a released workspace, so
    // the window closes when it is done.
    if (!IsLocked()) return true;
    closePending_ = true;
    return false;
}

void WindowController::ShutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    wave_->Forget();
    preview_->Stop();
    ws_.ClearMemory();
    scratch_.Remove();
}

}  // namespace brenzo::control
