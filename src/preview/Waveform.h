#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "common/Result.h"

namespace brenzo::preview {

// The lowest and highest sample that one pixel column of the strip stands for.
struct WaveColumn {
    std::int16_t min = 0;
    std::int16_t max = 0;
    bool operator==(const WaveColumn&) const = default;
};

// A sound drawn as columns: one row of `width` columns per channel, stacked top to bottom.
struct Waveform {
    std::uint16_t channels = 0;
    std::uint64_t frames = 0;
    std::uint32_t rate = 0;
    std::vector<std::vector<WaveColumn>> columns;
};

// The columns of interleaved 16-bit samples. Column c covers frames [c*n/w, (c+1)*n/w), and at
// least the frame at c*n/w, so that a sound shorter than the strip still fills it. A sound
// without frames gives flat columns.
Waveform WaveformOf(std::span<const std::int16_t> interleaved, std::uint16_t channels, std::size_t width);

// The columns of a 16-bit PCM WAV as the exports write it. `cancelled`, when given, is looked at
// between pieces; a cancelled computation gives an error.
Result<Waveform> WaveformOfWav(std::span<const std::uint8_t> wav, std::size_t width,
                               const std::atomic<bool>* cancelled = nullptr);

// Reads a WAV and computes its columns on a thread of its own, so that a long sound does not
// hold up the window. Dropping the job cancels it and waits for the thread.
class WaveformJob {
public:
    WaveformJob(std::filesystem::path wav, std::size_t width);
    ~WaveformJob();
    WaveformJob(const WaveformJob&) = delete;
    WaveformJob& operator=(const WaveformJob&) = delete;

    bool Done() const { return done_.load(); }
    // The result once Done(); the job keeps nothing after it is taken.
    std::optional<Result<Waveform>> Take();

private:
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::optional<Result<Waveform>> result_;
    std::thread thread_;
};

}  // namespace brenzo::preview
