#include "preview/Preview.h"

#include <cmath>

#include "common/Clock.h"
#include "common/OutOfMemory.h"
#include "export/ExportCommands.h"
#include "platform/Path.h"

namespace brenzo::preview {

std::uint64_t PreviewStepBytes(std::uint64_t lengthBytes) {
    const std::uint64_t step = lengthBytes / 1000000;
    return step == 0 ? 1 : step;
}

std::int64_t SeekPosition(std::int32_t x, std::int32_t width, std::int32_t maximum) {
    if (width <= 0) return 0;
    // The product is 32-bit, as the bar's own arithmetic is.
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(x) * static_cast<std::uint32_t>(maximum));
    const double exact = static_cast<double>(product) / width;
    auto position = static_cast<std::int64_t>(std::nearbyint(exact));  // halves to even
    if (position < 0) position = 0;
    if (position > maximum) position = maximum;
    return position;
}

std::string PositionText(double seconds) {
    if (!(seconds > 0)) return FormatClock(0);
    const auto ms = static_cast<std::uint64_t>(std::llround(seconds * 1000.0));
    return FormatClock(ms / 1000);
}

Preview::Preview(workspace::Workspace& ws, workspace::UiPort& port, PreviewDisplay& display, engine::Player& player)
    : ws_(ws), port_(port), display_(display), player_(player) {
    ws_.StopPreview = [this] { Stop(); };
}

Preview::~Preview() {
    ws_.StopPreview = nullptr;
    stream_.reset();
}

void Preview::setBar(std::int64_t position, std::int64_t maximum) {
    barPos_ = position;
    barMax_ = maximum;
    port_.SetProgress(position, maximum);
}

void Preview::setPaused(bool paused) {
    if (state_ == PreviewState::Idle) return;
    const bool seeking = IsSeeking();
    state_ = paused ? (seeking ? PreviewState::SeekingPaused : PreviewState::Paused)
                    : (seeking ? PreviewState::SeekingPlaying : PreviewState::Playing);
}

void Preview::setSeeking(bool seeking) {
    if (state_ == PreviewState::Idle) return;
    const bool paused = IsPaused();
    state_ = seeking ? (paused ? PreviewState::SeekingPaused : PreviewState::SeekingPlaying)
                     : (paused ? PreviewState::Paused : PreviewState::Playing);
}

void Preview::Stop() {
    if (stream_) stream_->Stop();
    stream_.reset();
    state_ = PreviewState::Idle;
    display_.ShowPauseIcon(false);
    display_.SetTimerEnabled(false);
}

void Preview::endToIdle() {
    setBar(0, 100);
    port_.SetStatus("");
    display_.ShowPauseIcon(false);
    if (stream_) stream_->Stop();
    stream_.reset();
    state_ = PreviewState::Idle;
    display_.SetTimerEnabled(false);
}

namespace {

// The engine names the file it was handed, the cached WAV, whose name means nothing to the user:
// "cannot play 0 engine_idle.wav: <reason>" or "cannot decode ...". Only the reason is kept.
std::string engineReason(const std::string& message, const std::string& cacheName) {
    for (std::string_view verb : {"cannot play ", "cannot decode ", "cannot read "}) {
        const std::string prefix = std::string(verb) + cacheName + ": ";
        if (message.rfind(prefix, 0) == 0) return message.substr(prefix.size());
    }
    return message;
}

}  // namespace

// The name the user knows the sound by: its row's name, or the file of a multichannel file.
std::string Preview::soundName(std::size_t entry) const { return ws_.WholeFile() ? ws_.FileName : ws_.RowName(entry); }

void Preview::start(std::size_t entry) {
    if (stream_) stream_->Stop();
    stream_.reset();
    state_ = PreviewState::Idle;
    port_.Lock();
    port_.SetStatus("Loading...");
    port_.SetMarquee(true);
    // A runner keeps the front end's events going; without one, they run once before the export.
    if (!buildCache_) port_.Pump();

    const auto built = buildCache(entry);
    if (!built) {
        // The runner ended the export without an answer, and has told the user why.
        endToIdle();
        port_.SetMarquee(false);
        port_.Unlock();
        return;
    }
    const auto& cache = *built;
    Result<std::unique_ptr<engine::Stream>> opened =
        cache ? CatchOutOfMemory("play " + soundName(entry), [&] { return player_.Open(*cache); })
              : Result<std::unique_ptr<engine::Stream>>(cache.error());
    if (!opened) {
        // Nothing to play: back to Idle, unlocked, with the reason.
        endToIdle();
        port_.SetMarquee(false);
        port_.Unlock();
        port_.ShowError(cache ? "cannot play " + soundName(entry) + ": " +
                                    engineReason(opened.message(), platform::FileNameUtf8(*cache))
                              : opened.message());
        return;
    }
    stream_ = std::move(*opened);
    const std::uint64_t length = stream_->LengthBytes();
    setBar(0, static_cast<std::int64_t>(length / PreviewStepBytes(length)));
    port_.SetStatus("");
    stream_->Play();
    display_.ShowPauseIcon(true);
    display_.SetTimerEnabled(true);
    state_ = PreviewState::Playing;
    port_.Unlock();
    port_.SetMarquee(false);
}

std::optional<Result<std::filesystem::path>> Preview::buildCache(std::size_t entry) {
    if (!buildCache_) return exporting::EnsureCacheWav(ws_, entry, port_);
    std::optional<Result<std::filesystem::path>> built;
    // The front end's events run meanwhile: a play asked for then is not started inside this one.
    building_ = true;
    buildCache_([&](workspace::UiPort& port) { built = exporting::EnsureCacheWav(ws_, entry, port); });
    building_ = false;
    return built;
}

void Preview::StringGrid1DblClick(std::optional<std::size_t> selected) {
    if (building_) return;
    barMax_ = 100;
    port_.SetProgress(barPos_, barMax_);
    if (ws_.FileKind() == workspace::kKindNone) return;
    if (!selected || *selected >= ws_.EntryCount()) return;
    start(*selected);
}

void Preview::Image1Click(std::optional<std::size_t> selected) {
    if (building_ || ws_.FileKind() == workspace::kKindNone) return;
    if (IsPaused()) {
        display_.ShowPauseIcon(true);
        setPaused(false);
        stream_->Play();
        display_.SetTimerEnabled(true);
    } else if (IsPlaying()) {
        display_.ShowPauseIcon(false);
        setPaused(true);
        stream_->Pause();
        display_.SetTimerEnabled(false);
        port_.SetStatus("Paused - " + PositionText(stream_->BytesToSeconds(stream_->PositionBytes())));
    } else {
        if (!selected || *selected >= ws_.EntryCount()) return;
        display_.ShowPauseIcon(true);
        StringGrid1DblClick(selected);
    }
}

void Preview::Timer1Timer() {
    if (!IsPlaying() || !stream_) return;
    const std::uint64_t length = stream_->LengthBytes();
    const std::uint64_t position = stream_->PositionBytes();
    if (!IsSeeking()) setBar(static_cast<std::int64_t>(position / PreviewStepBytes(length)), barMax_);
    port_.SetStatus("Playing - " + PositionText(stream_->BytesToSeconds(position)));
    if (position == length) endToIdle();
}

void Preview::ProgressBar1MouseMove(bool leftButton, std::int32_t x, std::int32_t clientWidth) {
    if (leftButton && IsPlaying() && stream_) {
        setSeeking(true);
        const auto position = SeekPosition(x, clientWidth, static_cast<std::int32_t>(barMax_));
        setBar(position, barMax_);
        stream_->SetPositionBytes(static_cast<std::uint64_t>(position) * PreviewStepBytes(stream_->LengthBytes()));
        // No timer tick follows while paused: the status shows the new position here.
        if (IsPaused()) port_.SetStatus("Paused - " + PositionText(stream_->BytesToSeconds(stream_->PositionBytes())));
    } else {
        setSeeking(false);
    }
}

}  // namespace brenzo::preview
