#include "engine/Loudness.h"

#include <cmath>
#include <ebur128.h>
#include <memory>

namespace brenzo::engine {

std::optional<double> IntegratedLoudness(std::span<const std::int16_t> samples, std::uint16_t channels,
                                         std::uint32_t rate) {
    if (channels == 0 || rate == 0) return std::nullopt;
    std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> state(ebur128_init(channels, rate, EBUR128_MODE_I),
                                                                   [](ebur128_state* s) { ebur128_destroy(&s); });
    if (!state) return std::nullopt;
    const std::size_t frames = samples.size() / channels;
    if (ebur128_add_frames_short(state.get(), samples.data(), frames) != EBUR128_SUCCESS) return std::nullopt;
    double lufs = 0;
    if (ebur128_loudness_global(state.get(), &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs)) return std::nullopt;
    return lufs;
}

}  // namespace brenzo::engine
