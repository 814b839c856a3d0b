#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "codec/IMAADPCM.h"
#include "engine/Engine.h"

namespace brenzo::replace {

// The channels of a multichannel replace encoded to IMA ADPCM while the conversion still runs:
// the converter hands its samples over as it writes them, and encoders on threads of their own
// take them piece by piece, so that the converted file is never read back. Each encoder takes
// one channel, or two side by side when there are more channels than cores. Mono audio is
// encoded once, as its one channel, for the caller to copy to every channel; audio of any other
// channel count than the one the pipeline was made for is left alone.
class EncodePipeline final : public engine::SampleSink {
public:
    explicit EncodePipeline(std::size_t channels);
    ~EncodePipeline() override;
    EncodePipeline(const EncodePipeline&) = delete;
    EncodePipeline& operator=(const EncodePipeline&) = delete;

    void Begin(const engine::ConvertedFormat& format) override;
    void Write(std::span<const std::uint8_t> samples) override;

    // Every channel's coded bytes and stored states, as ADPCMEncodeChannels gives them for all
    // the samples of the last pass (one channel for mono audio), and how many bytes of samples
    // that pass gave.
    struct Encoded {
        std::vector<std::vector<std::uint8_t>> coded, states;
        std::uint64_t sampleBytes = 0;
    };
    // Waits for the encoders, calling pump() meanwhile. Nothing when the audio had another
    // channel count, no pass began, or an encoder failed.
    std::optional<Encoded> Finish(const std::function<void()>& pump);

private:
    void stop(bool abandon);
    void publish();
    void work(std::size_t w);

    const std::size_t channels_;
    bool active_ = false;
    std::uint64_t sampleBytes_ = 0;
    std::vector<std::unique_ptr<codec::ChannelEncoder>> encoders_;
    std::vector<std::thread> threads_;

    // A ring of pieces reused from pass to pass: piece p is ring_[p % ring_.size()], filled by
    // the converter's thread while no encoder reads it.
    std::vector<std::vector<std::uint8_t>> ring_;
    std::vector<std::size_t> used_;
    std::size_t pieceBytes_ = 0, fill_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t published_ = 0;
    std::vector<std::uint64_t> taken_;  // per encoder, the pieces it has finished
    bool ended_ = false, abandoned_ = false, failed_ = false;
};

}  // namespace brenzo::replace
