#include "engine/Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace brenzo::engine {

Result<std::unique_ptr<Resampler>> Resampler::Create(std::uint32_t inputRate, std::uint32_t outputRate,
                                                     std::uint16_t channels) {
    std::unique_ptr<Resampler> r(new Resampler);
    r->inputRate_ = inputRate;
    r->outputRate_ = outputRate;
    r->channels_ = channels;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_io_spec_t ioNoDither = io;
    ioNoDither.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    r->soxr_ = soxr_create(inputRate, outputRate, channels, &error, &ioNoDither, &quality, &runtime);
    if (!r->soxr_ || error)
        return Error{std::string("libsoxr cannot resample from ") + std::to_string(inputRate) + " Hz to " +
                     std::to_string(outputRate) + " Hz: " + soxr_strerror(error)};
    return r;
}

Resampler::~Resampler() {
    if (soxr_) soxr_delete(soxr_);
}

Status Resampler::run(const float* in, std::size_t frames, std::vector<float>& out) {
    const double ratio = static_cast<double>(outputRate_) / inputRate_;
    // Room for this piece's share plus what the filter releases when flushed.
    const std::size_t room = static_cast<std::size_t>(std::ceil(static_cast<double>(std::max<std::size_t>(frames, 1024)) * ratio)) + 256;
    std::size_t consumed = 0;
    for (;;) {
        const std::size_t start = out.size();
        out.resize(start + room * channels_);
        std::size_t idone = 0;
        std::size_t odone = 0;
        soxr_error_t error = soxr_process(soxr_, in ? in + consumed * channels_ : nullptr, in ? frames - consumed : 0,
                                          &idone, out.data() + start, room, &odone);
        out.resize(start + odone * channels_);
        if (error) return Error{std::string("libsoxr failed: ") + error};
        consumed += idone;
        if (in ? (consumed == frames && odone < room) : odone == 0) return {};
    }
}

Status Resampler::Process(std::span<const float> in, std::vector<float>& out) {
    if (in.empty()) return {};
    return run(in.data(), in.size() / channels_, out);
}

Status Resampler::Flush(std::vector<float>& out) { return run(nullptr, 0, out); }

std::uint64_t Resampler::OutputFrames(std::uint64_t inputFrames, std::uint32_t inputRate, std::uint32_t outputRate) {
    if (inputRate == outputRate) return inputFrames;
    const long double frames = static_cast<long double>(inputFrames) * outputRate / inputRate;
    // Saturates rather than overflows; such a length is refused anyway.
    if (frames >= 9.0e18L) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(std::llround(frames));
}

}  // namespace brenzo::engine
