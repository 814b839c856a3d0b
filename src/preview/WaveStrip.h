#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "preview/Preview.h"
#include "preview/Waveform.h"
#include "workspace/Workspace.h"

namespace brenzo::preview {

// The waveform strip under the list, as each window shows it: the sound it shows, the columns
// computed for that sound on a thread of their own, the sound the preview was started on, and
// where the preview's position falls on the strip. A window draws what this decides.
class WaveStrip {
public:
    WaveStrip(const workspace::Workspace& ws, Preview& preview) : ws_(ws), preview_(preview) {}

    // The entry the strip shows while `current` is the list's current entry. A multichannel
    // file plays whole: the strip shows all its channels from any row.
    std::optional<std::size_t> EntryFor(std::optional<std::size_t> current) const;

    // What the window does to follow the strip at `entry`, `width` pixels wide: nothing (it shows
    // that sound, or its columns are on the way), or clear it; Computing once the columns of a
    // sound are under way (Take them while they are). `showsWave`: the strip shows columns.
    enum class Change { None, Cleared, Computing };
    Change Follow(std::optional<std::size_t> entry, int width, bool showsWave);

    // The computed columns, once there: `done` ends the polling; `wave` is what to show.
    struct Taken {
        bool done = true;
        std::optional<Waveform> wave;
    };
    Taken Take();

    // Another file, or none: the next Follow starts again.
    void Forget();
    // A row's sound was replaced: the strip is computed again where it showed that sound (any
    // row of a multichannel file, whose channels it shows together).
    void RowChanged(std::size_t entry);

    // The list's "Play": the preview starts `selected`, and the strip follows the sound it plays.
    void Play(std::optional<std::size_t> selected);
    // A file is being opened: nothing that plays is of it.
    void Opening() { playing_.reset(); }
    // A press or drag at x of the strip showing `entry`: seeks there, starting that sound first
    // where another one (or none) plays.
    void Seek(std::size_t entry, int x, int width);
    // The preview's position on the strip (0 to 1) while the sound the strip shows (`shown`)
    // plays or is paused.
    std::optional<double> Position(std::optional<std::size_t> shown) const;

private:
    const workspace::Workspace& ws_;
    Preview& preview_;
    std::optional<std::size_t> playing_;
    std::unique_ptr<WaveformJob> job_;
    std::optional<std::size_t> entry_;
    int width_ = 0;
};

}  // namespace brenzo::preview
