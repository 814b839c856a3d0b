#include "preview/WaveStrip.h"

#include "export/ExportCommands.h"

namespace brenzo::preview {

std::optional<std::size_t> WaveStrip::EntryFor(std::optional<std::size_t> current) const {
    const std::size_t count = ws_.EntryCount();
    if (ws_.WholeFile() && count > 0) return 0;
    if (!current || *current >= count) return std::nullopt;
    return current;
}

WaveStrip::Change WaveStrip::Follow(std::optional<std::size_t> entry, int width, bool showsWave) {
    if (entry == entry_ && width == width_ && (job_ || showsWave)) return Change::None;
    job_.reset();
    entry_ = entry;
    width_ = width;
    if (!entry || width <= 0) return Change::Cleared;
    // The cached WAV the preview and the exports use.
    workspace::SilentPort quiet;
    auto wav = exporting::EnsureCacheWav(ws_, *entry, quiet);
    if (!wav) return Change::Cleared;
    job_ = std::make_unique<WaveformJob>(*wav, static_cast<std::size_t>(width));
    return Change::Computing;
}

WaveStrip::Taken WaveStrip::Take() {
    if (!job_) return {};
    auto result = job_->Take();
    if (!result) return {false, std::nullopt};
    job_.reset();
    if (!*result) return {};
    return {true, std::move(**result)};
}

void WaveStrip::Forget() {
    job_.reset();
    entry_.reset();
}

void WaveStrip::RowChanged(std::size_t entry) {
    if (entry_ && (*entry_ == entry || ws_.WholeFile())) Forget();
}

void WaveStrip::Play(std::optional<std::size_t> selected) {
    playing_ = selected;
    preview_.StringGrid1DblClick(selected);
}

void WaveStrip::Seek(std::size_t entry, int x, int width) {
    if (!preview_.IsPlaying() || playing_ != entry) Play(entry);
    preview_.ProgressBar1MouseMove(true, x, width);
    preview_.ProgressBar1MouseMove(false, x, width);
}

std::optional<double> WaveStrip::Position(std::optional<std::size_t> shown) const {
    const bool plays = preview_.IsPlaying() && playing_ && shown && (ws_.WholeFile() || *playing_ == *shown);
    if (!plays || preview_.BarMaximum() <= 0) return std::nullopt;
    return static_cast<double>(preview_.BarPosition()) / static_cast<double>(preview_.BarMaximum());
}

}  // namespace brenzo::preview
