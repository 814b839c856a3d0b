#include "engine/Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace brenzo::engine {

struct Resampler::State : Shape {
    explicit State(const Shape& shape) : Shape(shape) {}
    ::soxr* soxr = nullptr;
    ~State() {
        if (soxr) soxr_delete(soxr);
    }
    Status run(const float* in, std::size_t frames, std::vector<float>& out);
};

Status Resampler::Start(const Shape& shape) {
    state_ = std::make_unique<State>(shape);
    State& st = *state_;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_io_spec_t ioNoDither = io;
    ioNoDither.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    st.soxr = soxr_create(shape.inputRate, shape.outputRate, shape.channels, &error, &ioNoDither, &quality, &runtime);
    if (!st.soxr || error)
        return Error{std::string("libsoxr cannot resample from ") + std::to_string(shape.inputRate) + " Hz to " +
                     std::to_string(shape.outputRate) + " Hz: " + soxr_strerror(error)};
    return {};
}

Resampler::Resampler() = default;
Resampler::~Resampler() = default;

Status Resampler::State::run(const float* in, std::size_t frames, std::vector<float>& out) {
    const double ratio = static_cast<double>(outputRate) / inputRate;
    // Room for this piece's share plus what the filter releases when flushed.
    const std::size_t room =
        static_cast<std::size_t>(std::ceil(static_cast<double>(std::max<std::size_t>(frames, 1024)) * ratio)) + 256;
    std::size_t consumed = 0;
    for (;;) {
        const std::size_t start = out.size();
        out.resize(start + room * channels);
        std::size_t idone = 0;
        std::size_t odone = 0;
        soxr_error_t error = soxr_process(soxr, in ? in + consumed * channels : nullptr, in ? frames - consumed : 0,
                                          &idone, out.data() + start, room, &odone);
        out.resize(start + odone * channels);
        if (error) return Error{std::string("libsoxr failed: ") + error};
        consumed += idone;
        if (in ? (consumed == frames && odone < room) : odone == 0) return {};
    }
}

Status Resampler::Feed(std::span<const float> in, std::vector<float>& out) {
    return state_->run(in.data(), in.size() / state_->channels, out);
}

Status Resampler::Flush(std::vector<float>& out) { return state_->run(nullptr, 0, out); }

}  // namespace brenzo::engine
