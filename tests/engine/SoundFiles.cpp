#include "engine/SoundFiles.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <stdexcept>

#include "common/ByteReader.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/TempDir.h"

namespace brenzo::testing {

std::vector<float> Sweeps(std::size_t frames, int channels, double rate, double amplitude, double phase) {
    std::vector<float> out(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            // Rising by half its start frequency every second: no period, so one lag fits.
            const double start = 300.0 * (1.0 + 0.5 * c);
            out[i * channels + c] =
                static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * start * (t + 0.25 * t * t) + phase));
        }
    }
    return out;
}

std::vector<std::int16_t> Sweeps16(std::size_t frames, int channels, double rate, double amplitude) {
    auto f = Sweeps(frames, channels, rate, amplitude);
    std::vector<std::int16_t> out(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) out[i] = static_cast<std::int16_t>(std::lround(f[i]));
    return out;
}

namespace {

SNDFILE* openForWriting(const std::filesystem::path& path, int format, int rate, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(platform::PathToUtf8(path).c_str(), SFM_WRITE, &info);
    if (!f) throw std::runtime_error("libsndfile cannot write " + path.string() + ": " + sf_strerror(nullptr));
    return f;
}

template <class T, class WriteFn>
void writeWith(const std::filesystem::path& path, int format, int rate, int channels, std::span<const T> samples,
               WriteFn write) {
    SNDFILE* f = openForWriting(path, format, rate, channels);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / channels);
    const sf_count_t wrote = write(f, samples.data(), frames);
    sf_close(f);
    if (wrote != frames) throw std::runtime_error("libsndfile wrote too little to " + path.string());
}

}  // namespace

void WriteSound(const std::filesystem::path& path, int format, int rate, int channels, std::span<const float> samples) {
    writeWith(path, format, rate, channels, samples,
              [](SNDFILE* f, const float* p, sf_count_t n) { return sf_writef_float(f, p, n); });
}

void WriteSound(const std::filesystem::path& path, int format, int rate, int channels,
                std::span<const std::int16_t> samples) {
    writeWith(path, format, rate, channels, samples,
              [](SNDFILE* f, const std::int16_t* p, sf_count_t n) { return sf_writef_short(f, p, n); });
}

void WriteSound(const std::filesystem::path& path, int format, int rate, int channels,
                std::span<const std::int32_t> samples) {
    writeWith(path, format, rate, channels, samples,
              [](SNDFILE* f, const std::int32_t* p, sf_count_t n) { return sf_writef_int(f, p, n); });
}

std::vector<float> ReadFloats(const std::filesystem::path& path, int* channels, int* rate) {
    SF_INFO info{};
    SNDFILE* f = sf_open(platform::PathToUtf8(path).c_str(), SFM_READ, &info);
    if (!f) throw std::runtime_error("libsndfile cannot read " + path.string());
    std::vector<float> out;
    std::vector<float> piece(4096 * static_cast<std::size_t>(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(f, piece.data(), 4096);
        if (got <= 0) break;
        out.insert(out.end(), piece.begin(), piece.begin() + got * info.channels);
    }
    sf_close(f);
    if (channels) *channels = info.channels;
    if (rate) *rate = info.samplerate;
    return out;
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

CanonicalWav ReadCanonicalWav(const std::filesystem::path& path) {
    const auto bytes = ReadFile(path);
    CanonicalWav wav;
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return wav;
    auto tag = [&](std::size_t pos) { return std::string(bytes.begin() + pos, bytes.begin() + pos + 4); };
    auto u16 = [&](std::size_t pos) { return loadU16(&bytes[pos]); };
    EXPECT_EQ(tag(0), "RIFF");
    EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(tag(8), "WAVE");
    EXPECT_EQ(tag(12), "fmt ");
    EXPECT_EQ(U32At(bytes, 16), 16u);
    EXPECT_EQ(u16(20), 1);
    wav.channels = u16(22);
    wav.rate = U32At(bytes, 24);
    EXPECT_EQ(U32At(bytes, 28), wav.rate * wav.channels * 2u);
    EXPECT_EQ(u16(32), wav.channels * 2);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(tag(36), "data");
    EXPECT_EQ(U32At(bytes, 40), bytes.size() - 44);
    wav.data.assign(bytes.begin() + 44, bytes.end());
    wav.samples = ToSamples(wav.data);
    return wav;
}

double BestCorrelation(std::span<const std::int16_t> decoded, std::span<const float> source, int channels, int maxLag) {
    const auto frames = static_cast<std::ptrdiff_t>(std::min(decoded.size(), source.size()) / channels);
    auto correlation = [&](int lag, std::ptrdiff_t from, std::ptrdiff_t to, int channelCount) {
        double sxy = 0, sxx = 0, syy = 0;
        for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(from, -lag); i < to && i + lag < frames; ++i)
            for (int c = 0; c < channelCount; ++c) {
                const double x = source[i * channels + c];
                const double y = decoded[(i + lag) * channels + c] / 32768.0;
                sxy += x * y;
                sxx += x * x;
                syy += y * y;
            }
        return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : -1.0;
    };
    // The lag is found on a stretch of the first channel, then the whole signal is compared.
    const std::ptrdiff_t from = std::min<std::ptrdiff_t>(frames / 2, maxLag + 1);
    const std::ptrdiff_t to = std::min<std::ptrdiff_t>(frames, from + 4096);
    int bestLag = 0;
    double best = -2.0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        const double r = correlation(lag, from, to, 1);
        if (r > best) {
            best = r;
            bestLag = lag;
        }
    }
    return correlation(bestLag, 0, frames, channels);
}

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

void UseDummyAudioUnlessChosen() {
    if (!std::getenv("SDL_AUDIODRIVER")) SetEnv("SDL_AUDIODRIVER", "dummy");
}

std::vector<std::string> FileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(platform::FileNameUtf8(e.path()));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace brenzo::testing
