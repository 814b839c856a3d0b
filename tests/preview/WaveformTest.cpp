#include "preview/Waveform.h"

#include <gtest/gtest.h>

#include "codec/Wav.h"
#include "support/Builders.h"
#include "support/TempDir.h"

namespace brenzo::preview {
namespace {

std::vector<std::uint8_t> wavOf(const std::vector<std::int16_t>& interleaved, std::uint16_t channels) {
    std::vector<std::uint8_t> wav;
    codec::WriteWavHeader(wav, channels, 8000, static_cast<std::uint32_t>(interleaved.size() * 2));
    const auto bytes = testing::ToBytes(interleaved);
    wav.insert(wav.end(), bytes.begin(), bytes.end());
    return wav;
}

std::vector<std::int16_t> square(std::size_t frames, std::size_t period) {
    std::vector<std::int16_t> out(frames);
    for (std::size_t i = 0; i < frames; ++i)
        out[i] = (i / (period / 2)) % 2 ? std::int16_t{-32768} : std::int16_t{32767};
    return out;
}

TEST(Waveform, ColumnsOfKnownShapes) {
    struct Case {
        const char* what;
        std::vector<std::int16_t> samples;
        std::size_t width;
        std::vector<WaveColumn> columns;
    };
    const std::vector<WaveColumn> full(4, WaveColumn{-32768, 32767});
    const Case cases[] = {
        {"silence", std::vector<std::int16_t>(1000, 0), 4, std::vector<WaveColumn>(4)},
        {"full-scale square, many periods a column", square(4000, 20), 4, full},
        {"no samples", {}, 3, std::vector<WaveColumn>(3)},
        // Shorter than the strip: each column shows the sample it falls on.
        {"three samples over six columns",
         {100, -200, 300},
         6,
         {{100, 100}, {100, 100}, {-200, -200}, {-200, -200}, {300, 300}, {300, 300}}},
        // Each column its own quarter: a ramp's ends.
        {"ramp", {0, 1, 2, 3, 4, 5, 6, 7}, 4, {{0, 1}, {2, 3}, {4, 5}, {6, 7}}},
        // 10 frames over 3 columns: frames 0-2, 3-5, 6-9.
        {"uneven split", {9, 0, 0, 0, 9, 0, 0, 0, 0, -9}, 3, {{0, 9}, {0, 9}, {-9, 0}}},
    };
    for (const Case& c : cases) {
        const Waveform wave = WaveformOf(c.samples, 1, c.width);
        ASSERT_EQ(wave.columns.size(), 1u) << c.what;
        EXPECT_EQ(wave.columns[0], c.columns) << c.what;
        EXPECT_EQ(wave.frames, c.samples.size()) << c.what;
    }
}

TEST(Waveform, ChannelsAreColumnsOfTheirOwn) {
    // Left a full-scale square, right silent: stacked, each channel keeps its shape.
    const auto left = square(800, 8);
    std::vector<std::int16_t> interleaved;
    for (auto s : left) interleaved.insert(interleaved.end(), {s, std::int16_t{0}});
    const auto wav = wavOf(interleaved, 2);
    auto wave = WaveformOfWav(wav, 5);
    ASSERT_TRUE(wave) << wave.message();
    EXPECT_EQ(wave->channels, 2u);
    EXPECT_EQ(wave->frames, 800u);
    EXPECT_EQ(wave->rate, 8000u);
    EXPECT_EQ(wave->columns[0], std::vector<WaveColumn>(5, WaveColumn{-32768, 32767}));
    EXPECT_EQ(wave->columns[1], std::vector<WaveColumn>(5));
}

TEST(Waveform, RefusesWhatIsNoPcmWavAndStopsWhenCancelled) {
    EXPECT_FALSE(WaveformOfWav(std::vector<std::uint8_t>(10, 0), 10));
    auto wav = wavOf(square(300000, 100), 1);
    std::atomic<bool> cancelled{true};
    auto wave = WaveformOfWav(wav, 100, &cancelled);
    ASSERT_FALSE(wave);
    EXPECT_EQ(wave.message(), "cancelled");
}

TEST(Waveform, AJobReadsTheFileOnItsOwnThread) {
    testing::TempDir dir;
    testing::WriteFile(dir / "s.wav", wavOf(square(100000, 50), 1));
    WaveformJob job(dir / "s.wav", 64);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!job.Done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    auto result = job.Take();
    ASSERT_TRUE(result && *result);
    EXPECT_EQ((*result)->columns[0], std::vector<WaveColumn>(64, WaveColumn{-32768, 32767}));
    EXPECT_FALSE(job.Take());

    WaveformJob missing(dir / "none.wav", 64);
    while (!missing.Done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    auto failed = missing.Take();
    ASSERT_TRUE(failed);
    EXPECT_FALSE(*failed);
}

}  // namespace
}  // namespace brenzo::preview
