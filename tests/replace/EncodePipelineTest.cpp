#include "replace/EncodePipeline.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brenzo::replace {
namespace {

std::vector<std::uint8_t> Frames(std::size_t frames, std::size_t channels, std::uint32_t seed) {
    std::vector<std::uint8_t> out;
    out.reserve(frames * channels * 2);
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t j = 0; j < channels; ++j) {
            const double tone = 11000 * std::sin(static_cast<double>(f) * (0.02 + 0.007 * static_cast<double>(j)));
            const auto v = static_cast<std::int16_t>(tone + static_cast<double>((f * 31 + j * 17 + seed) % 801) - 400);
            out.push_back(static_cast<std::uint8_t>(v & 0xFF));
            out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        }
    return out;
}

void WriteIn(EncodePipeline& pipeline, std::span<const std::uint8_t> bytes, std::size_t each) {
    for (std::size_t at = 0; at < bytes.size(); at += each)
        pipeline.Write(bytes.subspan(at, std::min(each, bytes.size() - at)));
}

TEST(EncodePipeline, EncodesWhatTheChannelEncoderGivesForTheWholeAudio) {
    struct Case {
        std::size_t channels, frames, writeBytes;
        bool restarted;  // a first pass of other audio, dropped
        const char* what;
        std::size_t made = 0;  // the channels the pipeline was made for, when not `channels`
    };
    const Case cases[] = {
        {2, 700001, 1 << 20, false, "stereo past the ring of pieces, an odd frame left out"},
        {2, 30000, 3, false, "writes that cut samples and frames"},
        {2, 300000, 4, false, "a frame a write"},
        {5, 100000, 65536, false, "more channels than cores: pairs side by side"},
        {1, 400000, 100000, true, "a second pass replaces the first"},
        {2, 1, 4, false, "one frame: nothing to code"},
        {1, 300001, 70000, false, "mono audio for three channels, encoded once", 3},
    };
    for (const auto& c : cases) {
        const auto audio = Frames(c.frames, c.channels, 0);
        EncodePipeline pipeline(c.made ? c.made : c.channels);
        if (c.restarted) {
            pipeline.Begin({44100, 44100, static_cast<std::uint16_t>(c.channels), c.frames});
            WriteIn(pipeline, Frames(c.frames / 2, c.channels, 5), c.writeBytes);
        }
        pipeline.Begin({44100, 44100, static_cast<std::uint16_t>(c.channels), c.restarted ? 0 : c.frames});
        WriteIn(pipeline, audio, c.writeBytes);
        int pumps = 0;
        auto encoded = pipeline.Finish([&] { ++pumps; });
        ASSERT_TRUE(encoded) << c.what;
        EXPECT_EQ(encoded->sampleBytes, audio.size()) << c.what;
        ASSERT_EQ(encoded->coded.size(), c.channels) << c.what;
        for (std::size_t k = 0; k < c.channels; ++k) {
            std::vector<std::vector<std::uint8_t>> coded(1), states(1);
            codec::ADPCMEncodeChannels(audio, c.channels, k, coded, states, static_cast<std::int32_t>(2 * c.frames));
            EXPECT_EQ(encoded->coded[k], coded[0]) << c.what << ", channel " << k;
            EXPECT_EQ(encoded->states[k], states[0]) << c.what << ", channel " << k;
        }
    }
}

TEST(EncodePipeline, GivesNothingForAudioItWasNotMadeFor) {
    EncodePipeline unstarted(2);
    EXPECT_FALSE(unstarted.Finish({}));

    EncodePipeline stereo(2);
    stereo.Begin({44100, 44100, 3, 1000});
    WriteIn(stereo, Frames(1000, 3, 0), 4096);
    EXPECT_FALSE(stereo.Finish({})) << "three channels for two";

    // Abandoned while the encoders run: the pipeline ends without waiting for a Finish.
    EncodePipeline dropped(2);
    dropped.Begin({44100, 44100, 2, 500000});
    WriteIn(dropped, Frames(500000, 2, 0), 1 << 16);
}

}  // namespace
}  // namespace brenzo::replace
