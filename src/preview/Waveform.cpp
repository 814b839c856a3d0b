#include "preview/Waveform.h"

#include <algorithm>

#include "codec/Wav.h"
#include "platform/Files.h"
#include "platform/Path.h"

namespace brenzo::preview {
namespace {

// Frames looked at between two looks at the cancel flag.
constexpr std::uint64_t kFramesBetweenLooks = 1 << 16;

std::int16_t sampleAt(std::span<const std::uint8_t> data, std::uint64_t index) {
    const auto lo = data[static_cast<std::size_t>(index * 2)];
    const auto hi = data[static_cast<std::size_t>(index * 2 + 1)];
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

// Fills the columns from a sample source read by index; false when cancelled.
template <class Sample>
bool fillColumns(Waveform& wave, std::size_t width, Sample sample, const std::atomic<bool>* cancelled) {
    const std::uint64_t n = wave.frames;
    wave.columns.assign(wave.channels, std::vector<WaveColumn>(width));
    if (n == 0 || width == 0) return true;
    std::uint64_t sinceLook = 0;
    for (std::size_t c = 0; c < width; ++c) {
        const std::uint64_t first = c * n / width;
        const std::uint64_t end = std::max(first + 1, (c + 1) * n / width);
        for (std::uint16_t ch = 0; ch < wave.channels; ++ch) {
            std::int16_t lo = sample(first * wave.channels + ch);
            std::int16_t hi = lo;
            for (std::uint64_t f = first + 1; f < end; ++f) {
                const std::int16_t s = sample(f * wave.channels + ch);
                lo = std::min(lo, s);
                hi = std::max(hi, s);
            }
            wave.columns[ch][c] = {lo, hi};
        }
        sinceLook += end - first;
        if (sinceLook >= kFramesBetweenLooks) {
            sinceLook = 0;
            if (cancelled && cancelled->load()) return false;
        }
    }
    return true;
}

}  // namespace

Waveform WaveformOf(std::span<const std::int16_t> interleaved, std::uint16_t channels, std::size_t width) {
    Waveform wave;
    wave.channels = channels;
    wave.frames = channels ? interleaved.size() / channels : 0;
    fillColumns(
        wave, width, [&](std::uint64_t i) { return interleaved[static_cast<std::size_t>(i)]; }, nullptr);
    return wave;
}

Result<Waveform> WaveformOfWav(std::span<const std::uint8_t> wav, std::size_t width,
                               const std::atomic<bool>* cancelled) {
    auto info = codec::ProbeConvertedWav(wav);
    if (!info) return info.error();
    if (info->wFormatTag != 1 || info->nChannels == 0) return Error{"the sound is not 16-bit PCM"};
    Waveform wave;
    wave.channels = info->nChannels;
    wave.rate = info->Rate;
    const auto data = wav.subspan(info->DataStart, info->PresentBytes);
    wave.frames = data.size() / 2 / info->nChannels;
    if (!fillColumns(
            wave, width, [&](std::uint64_t i) { return sampleAt(data, i); }, cancelled))
        return Error{"cancelled"};
    return wave;
}

WaveformJob::WaveformJob(std::filesystem::path wav, std::size_t width) {
    thread_ = std::thread([this, wav = std::move(wav), width] {
        auto bytes = platform::ReadWholeFile(wav);
        Result<Waveform> wave = bytes ? WaveformOfWav(*bytes, width, &cancelled_) : Result<Waveform>(bytes.error());
        {
            std::lock_guard lock(mutex_);
            result_ = std::move(wave);
        }
        done_.store(true);
    });
}

WaveformJob::~WaveformJob() {
    cancelled_.store(true);
    if (thread_.joinable()) thread_.join();
}

std::optional<Result<Waveform>> WaveformJob::Take() {
    if (!done_.load()) return std::nullopt;
    std::lock_guard lock(mutex_);
    return std::exchange(result_, std::nullopt);
}

}  // namespace brenzo::preview
