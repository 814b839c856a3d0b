#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "engine/Loudness.h"

namespace brenzo::engine {
namespace {

struct Signal {
    const char* what;
    std::uint16_t channels;
    std::uint32_t rate;
    std::vector<std::int16_t> samples;
};

// `seconds` of a sine in every channel (scaled per channel), with the second half silent when
// `gapped`, so that the gates have blocks to drop.
Signal sine(const char* what, std::uint16_t channels, std::uint32_t rate, double seconds, double dbfs, bool gapped) {
    Signal s{what, channels, rate, {}};
    const auto frames = static_cast<std::size_t>(seconds * rate);
    const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::uint16_t c = 0; c < channels; ++c) {
            const bool silent = gapped && i > frames / 2;
            const double x =
                silent ? 0.0
                       : amplitude / (1.0 + c) *
                             std::sin(2.0 * std::numbers::pi * (997.0 + 200.0 * c) * static_cast<double>(i) / rate);
            s.samples.push_back(static_cast<std::int16_t>(std::lround(x)));
        }
    return s;
}

Signal noise(const char* what, std::uint16_t channels, std::uint32_t rate, double seconds) {
    Signal s{what, channels, rate, {}};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-6000, 6000);
    for (std::size_t i = 0; i < static_cast<std::size_t>(seconds * rate) * channels; ++i)
        s.samples.push_back(static_cast<std::int16_t>(sample(random)));
    return s;
}

// The meter the Windows build uses gives libebur128's figure, and nothing where it gives nothing.
TEST(Loudness, TheBuiltInMeterAgreesWithLibebur128) {
    const std::vector<Signal> signals = {
        sine("mono 997 Hz at -20 dBFS, 48 kHz", 1, 48000, 3.0, -20.0, false),
        sine("stereo at -6 dBFS, 44.1 kHz", 2, 44100, 2.0, -6.0, false),
        sine("half silent, 22.05 kHz", 1, 22050, 4.0, -12.0, true),
        sine("5.1 with the low-frequency channel, 48 kHz", 6, 48000, 1.5, -10.0, false),
        sine("8 kHz, 0.45 s", 1, 8000, 0.45, -3.0, false),
        noise("stereo noise, 32 kHz", 2, 32000, 2.5),
        sine("silence", 1, 44100, 1.0, -200.0, false),
        sine("shorter than one block", 2, 44100, 0.3, -10.0, false),
    };
    for (const Signal& s : signals) {
        SCOPED_TRACE(s.what);
        const auto reference = IntegratedLoudness(s.samples, s.channels, s.rate);
        const auto ours = Bs1770Loudness(s.samples, s.channels, s.rate);
        ASSERT_EQ(reference.has_value(), ours.has_value());
        if (reference) {
            EXPECT_NEAR(*ours, *reference, 0.05);
        }
    }
}

}  // namespace
}  // namespace brenzo::engine
