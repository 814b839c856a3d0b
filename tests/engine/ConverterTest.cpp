#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "common/ByteWriter.h"
#include "engine/Decoder.h"
#include "engine/Engine.h"
#include "engine/SoundFiles.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/TempDir.h"

namespace brenzo::engine {
namespace {

using testing::CanonicalWav;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadCanonicalWav;
using testing::TempDir;
using testing::WriteSound;

namespace fs = std::filesystem;

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
constexpr int kVorbis = SF_FORMAT_OGG | SF_FORMAT_VORBIS;

// The editor's rule: rates the container cannot hold become 48000 Hz, others stay.
std::uint32_t EditorRates(std::uint32_t rate) { return rate >= 65536 ? 48000 : rate; }

Result<ConvertedFormat> Convert(const fs::path& source, const fs::path& target,
                                const RatePolicy& policy = EditorRates) {
    return MakeConverter()->Convert(source, target, policy, [] {});
}

// ---- PCM WAV in: exact results ----------------------------------------------------------------

TEST(EngineConverterPcm, SixteenBitWavComesOutBitIdentical) {
    TempDir dir;
    for (int channels : {1, 2}) {
        auto samples = testing::Sweeps16(44100, channels, 44100, 30000);
        // The extremes and their neighbours must survive the float path untouched.
        samples[0] = -32768;
        samples[1] = 32767;
        samples[2] = -1;
        samples[3] = 1;
        WriteSound(dir / "in.wav", kWav16, 44100, channels, std::span<const std::int16_t>(samples));
        auto converted = Convert(dir / "in.wav", dir / "out.wav");
        ASSERT_TRUE(converted) << converted.message();
        EXPECT_EQ(converted->channels, channels);
        EXPECT_EQ(converted->rate, 44100u);
        EXPECT_EQ(converted->sourceRate, 44100u);
        EXPECT_EQ(converted->frames, 44100u);
        CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
        EXPECT_EQ(wav.channels, channels);
        EXPECT_EQ(wav.samples, samples);
    }
}

TEST(EngineConverterPcm, EightBitWavBecomesSixteenBitsOfTheSameSound) {
    TempDir dir;
    // Multiples of 256 are exactly what 8-bit samples can hold.
    std::vector<std::int16_t> samples;
    for (int v = -128; v < 128; ++v) samples.push_back(static_cast<std::int16_t>(v * 256));
    WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1, std::span<const std::int16_t>(samples));
    ASSERT_TRUE(Convert(dir / "in.wav", dir / "out.wav"));
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples, samples);
}

TEST(EngineConverterPcm, TwentyFourBitWavRoundsToTheNearestSixteenBitValue) {
    TempDir dir;
    // 24-bit values, given as the top three bytes of 32-bit words.
    const std::vector<std::int32_t> in24 = {0, 127, 128, 129, -127, -128, -129, 8388607, -8388608, 256 * 1000 + 200};
    const std::vector<std::int16_t> expected = {0, 0, 1, 1, 0, -1, -1, 32767, -32768, 1001};
    std::vector<std::int32_t> words;
    for (auto v : in24) words.push_back(v * 256);
    WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 1, std::span<const std::int32_t>(words));
    ASSERT_TRUE(Convert(dir / "in.wav", dir / "out.wav"));
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples, expected);
}

TEST(EngineConverterPcm, FloatWavPeaksClipInsteadOfWrapping) {
    TempDir dir;
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> in = {0.5f,   -0.5f, 1.0f, -1.0f,         1.5f, -1.5f,          40.0f,
                                   -40.0f, inf,   -inf, std::nanf(""), 0.0f, 1.0f / 32768.0f};
    const std::vector<std::int16_t> expected = {16384,  -16384, 32767,  -32768, 32767, -32768, 32767,
                                                -32768, 32767,  -32768, 0,      0,     1};
    WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, std::span<const float>(in));
    ASSERT_TRUE(Convert(dir / "in.wav", dir / "out.wav"));
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples, expected);
}

TEST(EngineConverterPcm, FlacComesOutLossless) {
    TempDir dir;
    auto samples = testing::Sweeps16(10000, 2, 44100, 25000);
    WriteSound(dir / "in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, std::span<const std::int16_t>(samples));
    ASSERT_TRUE(Convert(dir / "in.flac", dir / "out.wav"));
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples, samples);
}

TEST(EngineConverterPcm, ManyChannelsAreKeptNotMixed) {
    TempDir dir;
    auto samples = testing::Sweeps16(3000, 6, 48000, 20000);
    WriteSound(dir / "in.wav", kWav16, 48000, 6, std::span<const std::int16_t>(samples));
    auto converted = Convert(dir / "in.wav", dir / "out.wav");
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_EQ(converted->channels, 6);
    CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
    EXPECT_EQ(wav.channels, 6);
    EXPECT_EQ(wav.samples, samples);
}

TEST(EngineConverterPcm, AnEmptySoundGivesAnEmptyDataChunk) {
    TempDir dir;
    WriteSound(dir / "in.wav", kWav16, 44100, 2, std::span<const std::int16_t>());
    auto converted = Convert(dir / "in.wav", dir / "out.wav");
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_EQ(converted->frames, 0u);
    EXPECT_TRUE(ReadCanonicalWav(dir / "out.wav").data.empty());
}

// ---- rates ------------------------------------------------------------------------------------

TEST(EngineConverterRates, RatesThePolicyKeepsAreNotResampled) {
    TempDir dir;
    for (int rate : {22050, 44100, 65535}) {
        auto samples = testing::Sweeps16(static_cast<std::size_t>(rate / 4), 2, rate, 20000);
        WriteSound(dir / "in.wav", kWav16, rate, 2, std::span<const std::int16_t>(samples));
        auto converted = Convert(dir / "in.wav", dir / "out.wav");
        ASSERT_TRUE(converted) << converted.message();
        EXPECT_EQ(converted->rate, static_cast<std::uint32_t>(rate));
        CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
        EXPECT_EQ(wav.rate, static_cast<std::uint32_t>(rate));
        // Not a resampler's approximation: the very samples.
        EXPECT_EQ(wav.samples, samples) << rate;
    }
}

TEST(EngineConverterRates, RatesAboveTheLimitAreResampledKeepingTheSound) {
    TempDir dir;
    const std::size_t frames = 96000;
    auto source = testing::Sweeps(frames, 2, 96000, 0.8);
    WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 2, std::span<const float>(source));
    auto converted = Convert(dir / "in.wav", dir / "out.wav");
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_EQ(converted->sourceRate, 96000u);
    EXPECT_EQ(converted->rate, 48000u);
    EXPECT_EQ(converted->channels, 2);
    CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
    EXPECT_EQ(wav.rate, 48000u);
    EXPECT_EQ(wav.samples.size(), converted->frames * 2);
    EXPECT_NEAR(static_cast<double>(converted->frames), frames / 2.0, 2.0);
    // The same tones, now at 48 kHz.
    auto expected = testing::Sweeps(converted->frames, 2, 48000, 0.8);
    EXPECT_GT(testing::BestCorrelation(wav.samples, expected, 2, 64), 0.999);
}

TEST(EngineConverterRates, ResampledLoudSoundClipsInsteadOfWrapping) {
    TempDir dir;
    // A full-scale square wave rings above full scale once filtered.
    std::vector<float> square(96000);
    for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 200) % 2 ? 1.0f : -1.0f;
    WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1, std::span<const float>(square));
    ASSERT_TRUE(Convert(dir / "in.wav", dir / "out.wav"));
    CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
    // Away from the edges every sample has the square's sign (a wrap would flip the ringing
    // peaks), and the ringing does go above full scale: the clipping is really exercised.
    std::size_t clipped = 0;
    for (std::size_t i = 0; i < wav.samples.size(); ++i) {
        const std::size_t phase = i % 100;  // 100 output samples per half period
        if (phase < 10 || phase > 90) continue;
        const int sign = (i / 100) % 2 ? 1 : -1;
        EXPECT_GT(wav.samples[i] * sign, 20000) << i;
        clipped += wav.samples[i] == 32767 || wav.samples[i] == -32768;
    }
    EXPECT_GT(clipped, 0u);
}

TEST(EngineConverterRates, ConvertingTwiceGivesTheSameBytes) {
    TempDir dir;
    auto source = testing::Sweeps(50000, 2, 96000, 0.7);
    WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 2, std::span<const float>(source));
    auto mp3 = testing::Sweeps(50000, 2, 44100, 0.7);
    WriteSound(dir / "in.mp3", kMp3, 44100, 2, std::span<const float>(mp3));
    for (const char* name : {"in.wav", "in.mp3"}) {
        ASSERT_TRUE(Convert(dir / name, dir / "a.wav"));
        ASSERT_TRUE(Convert(dir / name, dir / "b.wav"));
        EXPECT_EQ(testing::ReadFile(dir / "a.wav"), testing::ReadFile(dir / "b.wav")) << name;
    }
}

TEST(EngineConverterRates, ThePolicySeesTheSourceRate) {
    TempDir dir;
    auto samples = testing::Sweeps16(1000, 1, 32000, 1000);
    WriteSound(dir / "in.wav", kWav16, 32000, 1, std::span<const std::int16_t>(samples));
    std::uint32_t seen = 0;
    auto converted = Convert(dir / "in.wav", dir / "out.wav", [&](std::uint32_t rate) {
        seen = rate;
        return 16000u;
    });
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_EQ(seen, 32000u);
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").rate, 16000u);
    EXPECT_NEAR(static_cast<double>(converted->frames), 500.0, 1.0);
}

// ---- lossy formats ----------------------------------------------------------------------------

// Each lossy format decodes to its source's channels and rate, within its frame size of the
// source's length, and close to its samples.
TEST(EngineConverterLossy, DecodesCloseToItsSource) {
    struct Case {
        const char* name;
        int format;
        std::uint32_t rate;
        double lengthTolerance;  // one coded frame
    };
    const Case cases[] = {
        {"in.mp3", kMp3, 44100, 1152.0},
        {"in.ogg", kVorbis, 22050, 1024.0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(channels) + " channels");
            const std::size_t frames = c.rate * 2;
            auto source = testing::Sweeps(frames, channels, static_cast<int>(c.rate), 0.6);
            WriteSound(dir / c.name, c.format, static_cast<int>(c.rate), channels, std::span<const float>(source));
            auto converted = Convert(dir / c.name, dir / "out.wav");
            ASSERT_TRUE(converted) << converted.message();
            EXPECT_EQ(converted->channels, channels);
            EXPECT_EQ(converted->rate, c.rate);
            EXPECT_NEAR(static_cast<double>(converted->frames), static_cast<double>(frames), c.lengthTolerance);
            CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
            EXPECT_EQ(wav.samples.size(), converted->frames * static_cast<std::size_t>(channels));
            EXPECT_GT(testing::BestCorrelation(wav.samples, source, channels, 2000), 0.99);
        }
    }
}

// A lossy file made from the samples: by libsndfile's writer for MP3; by sox for Ogg Vorbis,
// since libsndfile gives every Ogg stream it writes the same serial number, and chained parts
// need their own.
void WriteLossy(const fs::path& path, int format, int rate, int channels, const std::vector<float>& samples) {
    if (format == kMp3) return WriteSound(path, kMp3, rate, channels, std::span<const float>(samples));
    const fs::path wav = fs::path(path).replace_extension(".in.wav");
    WriteSound(wav, kWav16, rate, channels, std::span<const float>(samples));
    ASSERT_TRUE(
        testing::Run("sox \"" + platform::PathToUtf8(wav) + "\" -t ogg \"" + platform::PathToUtf8(path) + "\""));
}

// "cat a b > joined".
void Join(const fs::path& a, const fs::path& b, const fs::path& joined) {
    auto bytes = testing::ReadFile(a);
    const auto more = testing::ReadFile(b);
    bytes.insert(bytes.end(), more.begin(), more.end());
    testing::WriteFile(joined, bytes);
}

// Every part of a joined MP3 (each with its own LAME header) and of a chained Ogg Vorbis file
// is decoded, one part after the other.
TEST(EngineConverterLossy, JoinedMp3AndChainedOggDecodeEveryPart) {
    TempDir dir;
    struct Case {
        const char* name;
        int format;
        double tolerance;  // frames: the encoders' delay and padding, once per part
    };
    for (const Case& c : {Case{"joined.mp3", kMp3, 3 * 1152.0}, Case{"chained.ogg", kVorbis, 2 * 1024.0}}) {
        auto first = testing::Sweeps(44100, 2, 44100, 0.5);
        auto second = testing::Sweeps(2 * 44100, 2, 44100, 0.5, 1.0);
        WriteLossy(dir / "a", c.format, 44100, 2, first);
        WriteLossy(dir / "b", c.format, 44100, 2, second);
        Join(dir / "a", dir / "b", dir / c.name);
        auto converted = Convert(dir / c.name, dir / "out.wav");
        ASSERT_TRUE(converted) << converted.message();
        EXPECT_NEAR(static_cast<double>(converted->frames), 3.0 * 44100, c.tolerance) << c.name;
        // The second part is there as itself, not as silence.
        CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
        ASSERT_GT(wav.samples.size(), 2u * 44100 * 2);
        std::vector<std::int16_t> tail(wav.samples.begin() + 2 * 44100, wav.samples.end());
        EXPECT_GT(testing::BestCorrelation(tail, second, 2, 3000), 0.98) << c.name;
    }
}

TEST(EngineConverterLossy, ChainedOggPartsOfDifferentFormatsAreRefused) {
    TempDir dir;
    WriteLossy(dir / "a.ogg", kVorbis, 44100, 2, testing::Sweeps(22050, 2, 44100, 0.5));
    WriteLossy(dir / "b.ogg", kVorbis, 22050, 1, testing::Sweeps(22050, 1, 22050, 0.5));
    Join(dir / "a.ogg", dir / "b.ogg", dir / "mixed.ogg");
    auto converted = Convert(dir / "mixed.ogg", dir / "out.wav");
    ASSERT_FALSE(converted);
    EXPECT_EQ(converted.message(),
              "cannot decode mixed.ogg: its chained parts differ in sample rate or channel count "
              "(44100 Hz, 2 channels, then 22050 Hz, 1 channel)");
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

// Lossy decoders overshoot full scale on loud input; a wrap would put full-scale spikes of the
// wrong sign into the sound, so no sample may stand far from the source.
void ExpectNoWrap(const std::vector<std::int16_t>& decoded, const std::vector<float>& source, int channels) {
    // Align on the first channel, as the correlation does.
    ASSERT_GT(testing::BestCorrelation(decoded, source, channels, 0), 0.95);
    const std::size_t n = std::min(decoded.size(), source.size());
    std::size_t far = 0;
    for (std::size_t i = 0; i < n; ++i) far += std::abs(decoded[i] / 32768.0 - source[i]) > 0.5;
    EXPECT_EQ(far, 0u);
    EXPECT_NE(std::find(decoded.begin(), decoded.end(), 32767), decoded.end());
}

TEST(EngineConverterLossy, LoudMp3AndOggClipInsteadOfWrapping) {
    TempDir dir;
    auto source = testing::Sweeps(44100, 2, 44100, 0.999);
    WriteSound(dir / "loud.mp3", kMp3, 44100, 2, std::span<const float>(source));
    WriteSound(dir / "loud.ogg", kVorbis, 44100, 2, std::span<const float>(source));
    for (const char* name : {"loud.mp3", "loud.ogg"}) {
        ASSERT_TRUE(Convert(dir / name, dir / "out.wav"));
        // The decoders overshoot 1.0 on this input (checked here, so the test keeps its point).
        auto reference = testing::ReadFloats(dir / name);
        EXPECT_GT(*std::max_element(reference.begin(), reference.end()), 1.0f) << name;
        ExpectNoWrap(ReadCanonicalWav(dir / "out.wav").samples, reference, 2);
    }
}

TEST(EngineConverterLossy, Mp3MatchesLibsndfilesOwnDecoding) {
    TempDir dir;
    auto source = testing::Sweeps(30000, 2, 44100, 0.5);
    WriteSound(dir / "in.mp3", kMp3, 44100, 2, std::span<const float>(source));
    ASSERT_TRUE(Convert(dir / "in.mp3", dir / "out.wav"));
    auto reference = testing::ReadFloats(dir / "in.mp3");
    std::vector<std::int16_t> expected(reference.size());
    ToPcm16(reference, expected);
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples, expected);
}

TEST(EngineConverterLossy, VbrMp3WithoutLengthHeaderIsDecodedToTheEnd) {
    TempDir dir;
    // Without a Xing header the length can only be guessed from the first frame's bit rate;
    // for this file the guess is about a sixth of the truth, and libsndfile stops reading there.
    const fs::path mp3 = dir / "vbr.mp3";
    ASSERT_TRUE(
        testing::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=5:sample_rate=44100 "
                     "-ac 2 -q:a 5 -write_xing 0 \"" +
                     platform::PathToUtf8(mp3) + "\""));
    auto converted = Convert(mp3, dir / "out.wav");
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_NEAR(static_cast<double>(converted->frames), 5.0 * 44100, 2 * 1152.0);
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples.size(), converted->frames * 2);
}

TEST(EngineConverterLossy, CutOffOggConvertsWhatItHoldsWithATrueHeader) {
    TempDir dir;
    // Long enough that half the file holds sound, not only the stream's headers.
    auto source = testing::Sweeps(44100 * 20, 2, 44100, 0.5);
    WriteSound(dir / "whole.ogg", kVorbis, 44100, 2, std::span<const float>(source));
    auto bytes = testing::ReadFile(dir / "whole.ogg");
    bytes.resize(bytes.size() / 2);
    testing::WriteFile(dir / "cut.ogg", bytes);
    auto converted = Convert(dir / "cut.ogg", dir / "out.wav");
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_GT(converted->frames, 44100u * 5);
    EXPECT_LT(converted->frames, 44100u * 15);
    // ReadCanonicalWav checks that the header's sizes match the data really there.
    CanonicalWav wav = ReadCanonicalWav(dir / "out.wav");
    EXPECT_EQ(wav.samples.size(), converted->frames * 2);
    EXPECT_GT(testing::BestCorrelation(wav.samples, source, 2, 100), 0.99);
}

// ---- The samples handed on while converting ------------------------------------------------

// Keeps what a conversion's last pass handed on.
struct KeptSamples : SampleSink {
    int passes = 0;
    ConvertedFormat format;
    std::vector<std::uint8_t> bytes;
    void Begin(const ConvertedFormat& f) override {
        ++passes;
        format = f;
        bytes.clear();
    }
    void Write(std::span<const std::uint8_t> samples) override {
        bytes.insert(bytes.end(), samples.begin(), samples.end());
    }
};

TEST(EngineConverterSink, TheSinkReceivesTheConvertedFilesSamples) {
    TempDir dir;
    WriteSound(dir / "stereo.wav", kWav16, 44100, 2,
               std::span<const std::int16_t>(testing::Sweeps16(300000, 2, 44100, 30000)));
    auto high = testing::Sweeps(96000, 3, 96000, 0.8);
    WriteSound(dir / "high.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 3, std::span<const float>(high));
    // Cut in half: a lossy stream whose length is found while decoding.
    auto sweep = testing::Sweeps(44100 * 20, 2, 44100, 0.5);
    WriteSound(dir / "whole.ogg", kVorbis, 44100, 2, std::span<const float>(sweep));
    auto ogg = testing::ReadFile(dir / "whole.ogg");
    ogg.resize(ogg.size() / 2);
    testing::WriteFile(dir / "cut.ogg", ogg);
    for (const char* file : {"stereo.wav", "high.wav", "cut.ogg"}) {
        KeptSamples sink;
        auto converter = MakeConverter();
        converter->SendSamplesTo(&sink);
        auto converted = converter->Convert(dir / file, dir / "out.wav", EditorRates, [] {});
        ASSERT_TRUE(converted) << converted.message();
        EXPECT_GE(sink.passes, 1) << file;
        EXPECT_EQ(sink.format.channels, converted->channels) << file;
        EXPECT_EQ(sink.format.rate, converted->rate) << file;
        EXPECT_EQ(sink.bytes, ReadCanonicalWav(dir / "out.wav").data) << file;
    }
}

// The first cut of the file that libsndfile still opens but that gives no sound.
std::optional<std::vector<std::uint8_t>> HeadersOnly(const std::vector<std::uint8_t>& whole, const fs::path& scratch) {
    for (std::size_t size = 256; size < whole.size(); size += 256) {
        testing::WriteFile(scratch, std::span(whole.data(), size));
        SF_INFO info{};
        SNDFILE* f = sf_open(platform::PathToUtf8(scratch).c_str(), SFM_READ, &info);
        if (!f) continue;
        float sample[2];
        const sf_count_t got = sf_readf_float(f, sample, 1);
        sf_close(f);
        if (got == 0)
            return std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    }
    return std::nullopt;
}

TEST(EngineConverterLossy, StreamCutBeforeAnySoundIsRefused) {
    TempDir dir;
    auto source = testing::Sweeps(44100, 2, 44100, 0.5);
    WriteSound(dir / "whole.ogg", kVorbis, 44100, 2, std::span<const float>(source));
    auto cut = HeadersOnly(testing::ReadFile(dir / "whole.ogg"), dir / "headers.ogg");
    ASSERT_TRUE(cut);
    testing::WriteFile(dir / "headers.ogg", *cut);
    fs::remove(dir / "whole.ogg");
    const auto before = testing::FileNames(dir.path());
    auto converted = Convert(dir / "headers.ogg", dir / "out.wav");
    ASSERT_FALSE(converted);
    EXPECT_EQ(converted.message(), "cannot decode headers.ogg: no sound in it can be decoded");
    EXPECT_EQ(testing::FileNames(dir.path()), before);
}

// ---- recognition by content, names ------------------------------------------------------------

TEST(EngineConverterFiles, ContentDecidesNotTheExtension) {
    TempDir dir;
    auto samples = testing::Sweeps16(5000, 2, 44100, 12000);
    WriteSound(dir / "song.mp3", kWav16, 44100, 2, std::span<const std::int16_t>(samples));
    ASSERT_TRUE(Convert(dir / "song.mp3", dir / "out.wav"));
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples, samples);

    auto source = testing::Sweeps(44100, 1, 44100, 0.5);
    WriteSound(dir / "clip.mp3", kMp3, 44100, 1, std::span<const float>(source));
    fs::rename(dir / "clip.mp3", dir / "clip.wav");
    auto converted = Convert(dir / "clip.wav", dir / "out.wav");
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_GT(testing::BestCorrelation(ReadCanonicalWav(dir / "out.wav").samples, source, 1, 2000), 0.99);
}

TEST(EngineConverterFiles, NonAsciiNamesWorkBothWays) {
    TempDir dir;
    const fs::path source = dir.path() / platform::PathFromUtf8("Звук ñ 音.wav");
    const fs::path target = dir.path() / platform::PathFromUtf8("конверт é.wav");
    auto samples = testing::Sweeps16(2000, 1, 22050, 9000);
    WriteSound(source, kWav16, 22050, 1, std::span<const std::int16_t>(samples));
    auto converted = Convert(source, target);
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_EQ(ReadCanonicalWav(target).samples, samples);

    const fs::path mp3 = dir.path() / platform::PathFromUtf8("ßong ♪.mp3");
    auto tone = testing::Sweeps(20000, 2, 44100, 0.5);
    WriteSound(mp3, kMp3, 44100, 2, std::span<const float>(tone));
    converted = Convert(mp3, target);
    ASSERT_TRUE(converted) << converted.message();
    EXPECT_EQ(converted->channels, 2);
}

TEST(EngineConverterFiles, PumpRunsWhileConverting) {
    TempDir dir;
    auto samples = testing::Sweeps16(44100 * 5, 2, 44100, 9000);
    WriteSound(dir / "in.wav", kWav16, 44100, 2, std::span<const std::int16_t>(samples));
    int pumps = 0;
    ASSERT_TRUE(MakeConverter()->Convert(dir / "in.wav", dir / "out.wav", EditorRates, [&] { ++pumps; }));
    EXPECT_GE(pumps, 3);  // one per 64K frames at least
}

// ---- refusals ---------------------------------------------------------------------------------

void ExpectRefusedLeavingNothing(const TempDir& dir, const fs::path& source, const std::string& messageStart) {
    const auto before = testing::FileNames(dir.path());
    auto converted = Convert(source, dir / "out.wav");
    ASSERT_FALSE(converted);
    EXPECT_EQ(converted.message().rfind(messageStart, 0), 0u) << converted.message();
    EXPECT_FALSE(converted.isFileSystemError());
    EXPECT_EQ(testing::FileNames(dir.path()), before);  // no target, no partial file
}

TEST(EngineConverterRefusals, UnrecognisedContentIsRefusedWithTheLibrarysReason) {
    TempDir dir;
    std::vector<std::uint8_t> garbage(5000);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 7919 % 251);
    testing::WriteFile(dir / "noise.mp3", garbage);
    testing::WriteFile(dir / "empty.wav", {});
    testing::WriteText(dir / "notes.ogg", "these are not sounds\n");
    for (const std::string name : {"noise.mp3", "empty.wav", "notes.ogg"}) {
        const std::string start = "cannot decode " + name + ": ";
        ExpectRefusedLeavingNothing(dir, dir / name, start);
        const std::string reason = Convert(dir / name, dir / "out.wav").message().substr(start.size());
        EXPECT_FALSE(reason.empty()) << name;
        // libsndfile blames a missing file for MPEG-looking junk; the file is there.
        EXPECT_THAT(reason, Not(HasSubstr("does not exist")));
    }
}

// A canonical WAV header around a few samples, with chosen channel count and rate.
std::vector<std::uint8_t> HandMadeWav(std::uint16_t channels, std::uint32_t rate) {
    std::vector<std::uint8_t> w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0,
                                   0,   0,   1,   0,   0, 0, 0, 0, 0,   0,   0,   0,   0,   0,   0,   0,   16, 0,
                                   'd', 'a', 't', 'a', 8, 0, 0, 0, 1,   0,   2,   0,   3,   0,   4,   0};
    testing::PutU32(w, 4, static_cast<std::uint32_t>(w.size() - 8));
    storeU16(&w[22], channels);
    testing::PutU32(w, 24, rate);
    testing::PutU32(w, 28, rate * channels * 2);
    w[32] = static_cast<std::uint8_t>(channels * 2);
    return w;
}

TEST(EngineConverterRefusals, NoChannelsOrNoRateIsRefusedSayingSo) {
    TempDir dir;
    const std::string badRate = "its header declares no usable sample rate (0 Hz, or 2147483648 Hz or more)";
    struct Case {
        std::uint16_t channels;
        std::uint32_t rate;
        std::string reason;
    };
    for (const Case& c : {Case{0, 44100, "Channel count is zero"}, Case{1, 0, badRate}, Case{1, 0x80000000u, badRate},
                          Case{1, 0xFFFFFFFFu, badRate}}) {
        testing::WriteFile(dir / "in.wav", HandMadeWav(c.channels, c.rate));
        ExpectRefusedLeavingNothing(dir, dir / "in.wav", "cannot decode in.wav: ");
        EXPECT_EQ(Convert(dir / "in.wav", dir / "out.wav").message(), "cannot decode in.wav: " + c.reason) << c.rate;
    }
    // The hand-made header itself is sound: with a channel and a rate it converts.
    testing::WriteFile(dir / "fine.wav", HandMadeWav(1, 8000));
    ASSERT_TRUE(Convert(dir / "fine.wav", dir / "out.wav"));
    EXPECT_EQ(ReadCanonicalWav(dir / "out.wav").samples, (std::vector<std::int16_t>{1, 2, 3, 4}));
}

TEST(EngineConverterRefusals, OutputBeyondWhatAWavHoldsIsRefusedBeforeAnyWork) {
    TempDir dir;
    auto samples = testing::Sweeps16(80000, 1, 8000, 9000);
    WriteSound(dir / "in.wav", kWav16, 8000, 1, std::span<const std::int16_t>(samples));
    const auto before = testing::FileNames(dir.path());
    // Ten seconds at a billion frames a second: 20 GB of samples.
    auto converted = Convert(dir / "in.wav", dir / "out.wav", [](std::uint32_t) { return 1000000000u; });
    ASSERT_FALSE(converted);
    EXPECT_EQ(converted.message(),
              "cannot decode in.wav: the converted sound would be larger than a WAV file can hold (4 GiB)");
    EXPECT_EQ(testing::FileNames(dir.path()), before);
}

// A caller's smaller limit (a container's 2 GiB) refuses a source whose length passes it,
// declared or found while decoding, with the caller's reason; up to the limit it converts.
TEST(EngineConverterRefusals, ACallersLimitRefusesALongSourceEarly) {
    struct Case {
        const char* what;
        int format;
        std::uint64_t limit;
        bool converts;
    };
    for (const Case c :
         {Case{"declared, one byte short", kWav16, 2 * 80000 - 1, false},
          Case{"declared, exactly", kWav16, 2 * 80000, true}, Case{"found while decoding", kMp3, 2 * 40000, false}}) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        auto samples = testing::Sweeps16(80000, 1, 8000, 9000);
        WriteSound(dir / "in.snd", c.format, 8000, 1, std::span<const std::int16_t>(samples));
        const auto before = testing::FileNames(dir.path());
        auto converter = MakeConverter();
        converter->LimitDataBytes(c.limit, "too long for the test");
        auto converted = converter->Convert(dir / "in.snd", dir / "out.wav", EditorRates, [] {});
        ASSERT_EQ(bool(converted), c.converts) << (converted ? "" : converted.message());
        if (!converted) {
            EXPECT_EQ(converted.message(), "cannot decode in.snd: too long for the test");
            EXPECT_EQ(testing::FileNames(dir.path()), before);
        }
    }
}

TEST(EngineConverterRefusals, APolicyGivingNoRateIsRefused) {
    TempDir dir;
    auto samples = testing::Sweeps16(100, 1, 8000, 9000);
    WriteSound(dir / "in.wav", kWav16, 8000, 1, std::span<const std::int16_t>(samples));
    auto converted = Convert(dir / "in.wav", dir / "out.wav", [](std::uint32_t) { return 0u; });
    ASSERT_FALSE(converted);
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

TEST(EngineConverterRefusals, ARefusalLeavesAnExistingTargetAsItWas) {
    TempDir dir;
    testing::WriteText(dir / "out.wav", "the previous conversion");
    testing::WriteText(dir / "bad.wav", "RIFF but nothing more");
    ASSERT_FALSE(Convert(dir / "bad.wav", dir / "out.wav"));
    auto kept = testing::ReadFile(dir / "out.wav");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the previous conversion");
}

TEST(EngineConverterRefusals, MissingSourceIsAFileSystemFailure) {
    TempDir dir;
    auto converted = Convert(dir / "gone.mp3", dir / "out.wav");
    ASSERT_FALSE(converted);
    EXPECT_EQ(converted.message(), "cannot read gone.mp3: no such file");
    EXPECT_TRUE(converted.isFileSystemError());
    fs::create_directory(dir / "folder.wav");
    converted = Convert(dir / "folder.wav", dir / "out.wav");
    ASSERT_FALSE(converted);
    EXPECT_TRUE(converted.isFileSystemError());
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

TEST(EngineConverterRefusals, UnwritableTargetIsAFileSystemFailure) {
    TempDir dir;
    auto samples = testing::Sweeps16(100, 1, 8000, 9000);
    WriteSound(dir / "in.wav", kWav16, 8000, 1, std::span<const std::int16_t>(samples));
    auto converted = Convert(dir / "in.wav", dir / "no folder" / "out.wav");
    ASSERT_FALSE(converted);
    EXPECT_TRUE(converted.isFileSystemError());
    EXPECT_EQ(converted.message().rfind("cannot write out.wav", 0), 0u) << converted.message();
}

}  // namespace
}  // namespace brenzo::engine
