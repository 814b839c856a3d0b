#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/Result.h"

struct soxr;

namespace brenzo::engine {

// A streaming libsoxr resampler over interleaved float samples: high quality, no dither and
// one thread, so the same input always gives the same output.
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
    Resampler() = default;
    Status run(const float* in, std::size_t frames, std::vector<float>& out);
    ::soxr* soxr_ = nullptr;
    std::uint32_t inputRate_ = 0;
    std::uint32_t outputRate_ = 0;
    std::uint16_t channels_ = 0;
};

}  // namespace brenzo::engine
