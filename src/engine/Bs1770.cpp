// The ITU-R BS.1770 meter written out (K-weighting, 400 ms blocks every 100 ms, the absolute
// gate at -70 LUFS and the relative gate 10 LU below the gated mean), for the Windows build,
// which has no libebur128. The Linux tests hold it to libebur128's figures.
#include "engine/Loudness.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace brenzo::engine {
namespace {

struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0, z2 = 0;
    double run(double x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// The two stages of the K-weighting filter, worked out for any rate from their analogue form.
Biquad shelf(double rate) {
    const double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(std::numbers::pi * f0 / rate);
    const double vh = std::pow(10.0, gain / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

Biquad highPass(double rate) {
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(std::numbers::pi * f0 / rate);
    const double a0 = 1.0 + k / q + k * k;
    return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

// Channel weights in the usual order: left, right, centre, the low-frequency channel (not
// measured), then the surrounds at +1.5 dB.
double weight(std::size_t channel) {
    if (channel == 3) return 0.0;
    return channel >= 4 ? 1.41 : 1.0;
}

double lufs(double power) { return -0.691 + 10.0 * std::log10(power); }

}  // namespace

std::optional<double> Bs1770Loudness(std::span<const std::int16_t> samples, std::uint16_t channels,
                                     std::uint32_t rate) {
    if (channels == 0 || rate == 0) return std::nullopt;
    const std::size_t frames = samples.size() / channels;
    const std::size_t step = rate / 10;  // 100 ms
    if (step == 0 || frames < 4 * step) return std::nullopt;

    // The weighted square of every frame, summed over the channels, in 100 ms pieces.
    std::vector<double> pieces(frames / step, 0.0);
    for (std::size_t c = 0; c < channels; ++c) {
        const double w = weight(c);
        if (w == 0.0) continue;
        Biquad a = shelf(rate), b = highPass(rate);
        for (std::size_t i = 0; i < pieces.size() * step; ++i) {
            const double y = b.run(a.run(samples[i * channels + c] / 32768.0));
            pieces[i / step] += w * y * y;
        }
    }
    // Blocks of four pieces (400 ms), one piece apart; their mean power.
    std::vector<double> blocks;
    for (std::size_t j = 0; j + 4 <= pieces.size(); ++j)
        blocks.push_back((pieces[j] + pieces[j + 1] + pieces[j + 2] + pieces[j + 3]) / static_cast<double>(4 * step));

    const auto gatedMean = [&](double threshold) -> std::optional<double> {
        double sum = 0;
        std::size_t n = 0;
        for (double p : blocks)
            if (p > 0 && lufs(p) > threshold) {
                sum += p;
                ++n;
            }
        if (n == 0) return std::nullopt;
        return sum / static_cast<double>(n);
    };
    const auto absolute = gatedMean(-70.0);
    if (!absolute) return std::nullopt;
    const auto relative = gatedMean(std::max(-70.0, lufs(*absolute) - 10.0));
    if (!relative) return std::nullopt;
    return lufs(*relative);
}

}  // namespace brenzo::engine
