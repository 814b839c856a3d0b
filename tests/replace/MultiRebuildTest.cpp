#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "codec/IMAADPCM.h"
#include "export/Export.h"
#include "formats/Layout.h"
#include "formats/MultiFile.h"
#include "replace/MultiReplace.h"
#include "support/Builders.h"

namespace brenzo::replace {
namespace {

using testing::BuildMulti;
using ::testing::HasSubstr;
using testing::Tone;
using testing::U32At;

std::vector<std::uint8_t> interleave(const std::vector<std::vector<std::int16_t>>& channels) {
    std::vector<std::int16_t> frames;
    for (std::size_t f = 0; f < channels[0].size(); ++f)
        for (const auto& c : channels) frames.push_back(c[f]);
    return testing::ToBytes(frames);
}

TEST(RebuildMulti, TheStereoWorkedExample) {
    auto old = BuildMulti(true, {Tone(5000, 100, 22050), Tone(5000, 150, 22050)}, 22050);
    auto input = std::vector<std::vector<std::int16_t>>{Tone(600000, 440, 44100), Tone(600000, 660, 44100)};
    auto frames = interleave(input);
    auto r = RebuildMulti(old.model, frames, 2400000, 44100);
    ASSERT_TRUE(r) << r.message();
    const auto& m = r->model;
    EXPECT_EQ(m.ChHeaders[0].Size, 300000u);
    EXPECT_EQ(m.ChHeaders[1].StatesCount, 147u);
    EXPECT_EQ(m.ChHeadSizes[0].HeadSize, 497u);
    EXPECT_EQ(m.ChHeadSizes[1].HeadOffset, 497);
    EXPECT_EQ(m.HeadSize, 1074u);
    EXPECT_EQ(m.BlocksCount, 2u);
    EXPECT_EQ(m.HeadFullSize, 2048u);
    EXPECT_EQ(m.ChHeaders[0].Length, 600000u);
    EXPECT_EQ(m.ChHeaders[1].Samples, 600000u);
    EXPECT_EQ(U32At(r->Image(), 1074), 0u);
    EXPECT_EQ(U32At(r->Image(), 1078), 44100u);
    EXPECT_EQ(U32At(r->Image(), 1082), 503808u);
    EXPECT_EQ(U32At(r->Image(), 1086), 44100u);
    EXPECT_EQ(formats::FormatDuration(m.ChHeaders[0].Length, m.ChHeaders[0].Frequency), "00:00:13");
    EXPECT_EQ(r->Image().size(), 2048u + 2 * old.model.BlockSize);

    auto read = formats::ReadMulti(r->Image());
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, m);
}

TEST(RebuildMulti, KeepsTheFieldsItDoesNotOwn) {
    auto old = BuildMulti(true, {Tone(5000, 100, 22050), Tone(5000, 150, 22050)}, 22050, 256 * 2048, 0x4242);
    old.model.ChHeaders[1].iUnknown = -77;
    old.model.ChHeaders[0].wUnknown = 9;
    old.model.ChHeaders[1].OffsetStates = 1234567;
    old.model.ChHeaders[0]._unk2 = -5;
    auto frames = interleave({Tone(9000, 440, 32000), Tone(9000, 660, 32000)});
    auto r = RebuildMulti(old.model, frames, static_cast<std::uint32_t>(frames.size()), 32000);
    ASSERT_TRUE(r);
    auto read = formats::ReadMulti(r->Image());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->ChHeaders[1].iUnknown, -77);
    EXPECT_EQ(read->ChHeaders[0].wUnknown, 9);
    EXPECT_EQ(read->ChHeaders[1].OffsetStates, 1234567);
    EXPECT_EQ(read->ChHeaders[0]._unk2, -5);
    EXPECT_EQ(read->ChHeadSizes[1].HeadHash, 0x4243u);
    EXPECT_EQ(read->BlockSize, old.model.BlockSize);
}

TEST(RebuildMulti, AStreamOfExactlyOneBlockShareAddsAnEmptyBlock) {
    auto old = BuildMulti(true, {Tone(5000, 100, 22050), Tone(5000, 150, 22050)}, 22050);
    auto frames = interleave({Tone(503808, 440, 44100), Tone(503808, 660, 44100)});
    auto r = RebuildMulti(old.model, frames, static_cast<std::uint32_t>(frames.size()), 44100);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.ChHeaders[0].Size, 251904u);
    EXPECT_EQ(r->model.BlocksCount, 2u);
}

TEST(RebuildMulti, APcmPair) {
    auto old = BuildMulti(false, {Tone(500, 100, 22050), Tone(500, 150, 22050)}, 22050);
    auto input =
        std::vector<std::vector<std::int16_t>>{Tone(0x1EC00 + 777, 440, 22050), Tone(0x1EC00 + 777, 660, 22050)};
    auto frames = interleave(input);
    auto r = RebuildMulti(old.model, frames, static_cast<std::uint32_t>(frames.size()), 22050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.ChHeadSizes[0].HeadSize, 32u);
    EXPECT_EQ(r->model.ChHeadSizes[1].HeadOffset, 32);
    EXPECT_EQ(r->model.HeadSize, 144u);
    EXPECT_EQ(r->model.BlocksCount, 2u);
    EXPECT_EQ(U32At(r->Image(), 144 + 8), 0x1EC00u);
    // Exported, the file gives back exactly the frames it took, the last block's included.
    exporting::MemorySink sink;
    ASSERT_TRUE(exporting::ExportMultichannel(r->Image(), r->model, sink));
    EXPECT_TRUE(std::equal(sink.bytes().begin() + 44, sink.bytes().end(), frames.begin(), frames.end()));
    EXPECT_EQ(sink.bytes().size(), 44 + frames.size());
}

TEST(RebuildMulti, MissingFramesAreSilenceAndTheCountFollowsDataSize) {
    auto old = BuildMulti(false, {Tone(500, 100, 22050), Tone(500, 150, 22050)}, 22050);
    auto frames = interleave({Tone(1000, 440, 22050), Tone(1000, 660, 22050)});
    auto r = RebuildMulti(old.model, frames, 8000, 22050);  // 2000 frames declared, 1000 present
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.ChHeaders[0].Length, 2000u);
    exporting::MemorySink sink;
    ASSERT_TRUE(exporting::ExportMultichannel(r->Image(), r->model, sink));
    auto samples = testing::ToSamples(std::span(sink.bytes()).subspan(44));
    ASSERT_EQ(samples.size(), 4000u);
    EXPECT_EQ(samples[1999], testing::ToSamples(frames)[1999]);
    for (std::size_t i = 2000; i < 4000; ++i) ASSERT_EQ(samples[i], 0) << i;
}

TEST(RebuildMulti, FiveAdpcmChannelsExportToTheEncodersReconstruction) {
    std::vector<std::vector<std::int16_t>> input;
    for (int c = 0; c < 5; ++c) input.push_back(Tone(200704 + 5000, 100.0 + 90 * c, 32000));
    auto old = BuildMulti(
        true, {Tone(100, 1, 32000), Tone(100, 2, 32000), Tone(100, 3, 32000), Tone(100, 4, 32000), Tone(100, 5, 32000)},
        32000);
    auto frames = interleave(input);
    auto r = RebuildMulti(old.model, frames, static_cast<std::uint32_t>(frames.size()), 32000);
    ASSERT_TRUE(r);
    exporting::MemorySink sink;
    ASSERT_TRUE(exporting::ExportMultichannel(r->Image(), r->model, sink));
    auto out = testing::ToSamples(std::span(sink.bytes()).subspan(44));
    for (std::size_t c = 0; c < 5; ++c) {
        codec::TADPCMState s;
        for (std::size_t i = 0; i < input[c].size(); ++i) {
            codec::ADPCMEncodeSample(input[c][i], s);
            if (i >= 4096) {
                ASSERT_EQ(out[i * 5 + c], s.valprev) << c << ":" << i;
            }
        }
    }
}

TEST(RebuildMulti, RefusesBlocksTooSmall) {
    auto old = BuildMulti(true, {Tone(5000, 100, 22050), Tone(5000, 150, 22050)}, 22050);
    old.model.BlockSize = 100 * 2048;
    auto frames = interleave({Tone(9000, 440, 32000), Tone(9000, 660, 32000)});
    auto r = RebuildMulti(old.model, frames, static_cast<std::uint32_t>(frames.size()), 32000);
    ASSERT_FALSE(r);
    EXPECT_THAT(r.message(), HasSubstr("cannot hold a full block"));
}

}  // namespace
}  // namespace brenzo::replace
