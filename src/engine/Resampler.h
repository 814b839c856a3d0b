#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/Result.h"

namespace brenzo::engine {

// A streaming resampler over interleaved float samples: libsoxr (high quality, no dither, one
// thread) on Linux, Media Foundation's resampler at its highest quality on Windows. The same
// input always gives the same output.
class Resampler {
public:
    static Result<std::unique_ptr<Resampler>> Create(std::uint32_t inputRate, std::uint32_t outputRate,
                                                     std::uint16_t channels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Resamples a piece of input (whole frames) and appends what comes out to `out`.
    Status Process(std::span<const float> in, std::vector<float>& out);
    // Appends what the filter still holds once the input has ended.
    Status Flush(std::vector<float>& out);

    // The output length of a whole input of `inputFrames` frames.
    static std::uint64_t OutputFrames(std::uint64_t inputFrames, std::uint32_t inputRate, std::uint32_t outputRate);

private:
    // The rates and channel count a resampler converts between; each library's state keeps them.
    struct Shape {
        std::uint32_t inputRate = 0;
        std::uint32_t outputRate = 0;
        std::uint16_t channels = 0;
    };
    // The library's own state, made by Start in its half (libsoxr, Media Foundation).
    struct State;
    Resampler();
    Status Start(const Shape& shape);
    Status Feed(std::span<const float> in, std::vector<float>& out);
    std::unique_ptr<State> state_;
};

}  // namespace brenzo::engine
