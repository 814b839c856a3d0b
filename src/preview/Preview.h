#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/Engine.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::preview {

// The parts of the window only the preview drives.
class PreviewDisplay {
public:
    virtual ~PreviewDisplay() = default;
    // The play/pause icon: image 1 (pause) while playing, image 0 (play) otherwise.
    virtual void ShowPauseIcon(bool pause) = 0;
    // The status timer; it runs only while something plays.
    virtual void SetTimerEnabled(bool enabled) = 0;
};

// The stream bytes one step of the progress bar stands for: about a million steps for long
// streams, one step a byte for short ones.
std::uint64_t PreviewStepBytes(std::uint64_t lengthBytes);

// The bar position for a mouse at x of a bar `width` pixels wide: x * maximum / width rounded
// to the nearest step (halves to even), within 0..maximum.
std::int64_t SeekPosition(std::int32_t x, std::int32_t width, std::int32_t maximum);

// "hh:nn:ss" of a playing position: the seconds rounded to the millisecond, shown whole.
std::string PositionText(double seconds);

// Where the preview is: nothing open (Idle), or a stream that plays or is paused; either of
// those is Seeking while the left button drags over the bar, which then shows the drag, not the
// stream's position.
enum class PreviewState { Idle, Playing, Paused, SeekingPlaying, SeekingPaused };

// Preview playback: Idle, Playing, Paused. Plays a row's CacheWav (written by the export of
// the file's kind when missing); a multichannel file plays whole from any row.
class Preview {
public:
    Preview(workspace::Workspace& ws, workspace::UiPort& port, PreviewDisplay& display, engine::Player& player);
    ~Preview();

    // Runs a command to its end, and returns then: the front end's way of running its long
    // commands, off its own thread while its events go on.
    using CommandRunner = std::function<void(const std::function<void(workspace::UiPort&)>&)>;
    // A sound played for the first time is exported into the cache first, which for a long one
    // takes a while: given a runner, that export runs through it; without one, on the caller's
    // thread with the preview's port.
    void BuildCacheWith(CommandRunner run) { buildCache_ = std::move(run); }

    PreviewState State() const { return state_; }
    // A stream is open: playing or paused.
    bool IsPlaying() const { return state_ != PreviewState::Idle; }
    bool IsPaused() const { return state_ == PreviewState::Paused || state_ == PreviewState::SeekingPaused; }
    bool IsSeeking() const { return state_ == PreviewState::SeekingPlaying || state_ == PreviewState::SeekingPaused; }
    std::int64_t BarMaximum() const { return barMax_; }
    std::int64_t BarPosition() const { return barPos_; }

    // Double-click on the list, or its pop-up "Play".
    void StringGrid1DblClick(std::optional<std::size_t> selected);
    // The play/pause icon.
    void Image1Click(std::optional<std::size_t> selected);
    // Every timer tick: the position display and the end.
    void Timer1Timer();
    // A mouse move over the progress bar; seeks while the left button is held.
    void ProgressBar1MouseMove(bool leftButton, std::int32_t x, std::int32_t clientWidth);
    // Stops and frees the stream (a file is opened, a replace starts, the window closes).
    void Stop();

private:
    void start(std::size_t entry);
    std::optional<Result<std::filesystem::path>> buildCache(std::size_t entry);
    std::string soundName(std::size_t entry) const;
    void endToIdle();
    void setBar(std::int64_t position, std::int64_t maximum);
    // Pauses or resumes an open stream's state, keeping a drag; starts or ends a drag, keeping
    // whether it plays. Neither leaves Idle.
    void setPaused(bool paused);
    void setSeeking(bool seeking);

    workspace::Workspace& ws_;
    workspace::UiPort& port_;
    PreviewDisplay& display_;
    engine::Player& player_;
    std::unique_ptr<engine::Stream> stream_;
    PreviewState state_ = PreviewState::Idle;
    std::int64_t barPos_ = 0;
    std::int64_t barMax_ = 100;
    CommandRunner buildCache_;
    bool building_ = false;
};

}  // namespace brenzo::preview
