#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "codec/IMAADPCM.h"
#include "export/Export.h"
#include "formats/MultiFile.h"
#include "support/Builders.h"

namespace brenzo::exporting {
namespace {

using testing::BuildMulti;
using ::testing::HasSubstr;
using testing::Tone;
using testing::U32At;

std::vector<std::uint8_t> exportAll(const std::vector<std::uint8_t>& image) {
    auto m = formats::ReadMulti(image);
    EXPECT_TRUE(m) << m.message();
    MemorySink sink;
    Status s = ExportMultichannel(image, *m, sink);
    EXPECT_TRUE(s) << s.message();
    return sink.bytes();
}

// What the decoder gives for a channel from chunk 1 on: the encoder's own reconstruction.
std::vector<std::int16_t> reconstruction(const std::vector<std::int16_t>& pcm) {
    std::vector<std::int16_t> out;
    codec::TADPCMState s;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
        codec::ADPCMEncodeSample(pcm[i], s);
        out.push_back(s.valprev);
        codec::ADPCMEncodeSample(pcm[i + 1], s);
        out.push_back(s.valprev);
    }
    return out;
}

std::vector<std::vector<std::int16_t>> tracks(std::size_t channels, std::size_t samples, double rate) {
    std::vector<std::vector<std::int16_t>> t;
    for (std::size_t c = 0; c < channels; ++c)
        t.push_back(
            Tone(samples, 200.0 + 170.0 * static_cast<double>(c), rate, 9000.0 + 1000.0 * static_cast<double>(c)));
    return t;
}

void expectAdpcmRoundTrip(std::size_t channels, std::size_t samples) {
    auto input = tracks(channels, samples, 44100);
    auto built = BuildMulti(true, input, 44100);
    auto wav = exportAll(built.image);
    const std::size_t states = built.model.ChHeaders[0].States.size();
    ASSERT_EQ(wav.size(), 44 + states * 4096 * 2 * channels) << channels;
    EXPECT_EQ(U32At(wav, 40), channels * built.model.ChHeaders[0].Size * 4);
    auto frames = testing::ToSamples(std::span(wav).subspan(44));
    for (std::size_t c = 0; c < channels; ++c) {
        auto expected = reconstruction(input[c]);
        // Every stored sample from the second chunk on, the last block's partial chunk included.
        for (std::size_t i = 4096; i < expected.size(); ++i)
            ASSERT_EQ(frames[i * channels + c], expected[i])
                << channels << " channels, channel " << c << ", sample " << i;
    }
}

TEST(ExportMultichannel, AdpcmGivesBackEveryStoredSample) {
    expectAdpcmRoundTrip(1, 2 * 1007616 + 7000);  // three blocks
    expectAdpcmRoundTrip(2, 503808 + 96192);      // two blocks, a partial last chunk
    expectAdpcmRoundTrip(3, 335872 + 4096 * 3);   // data area 2048 bytes in
    expectAdpcmRoundTrip(5, 200704 + 5000);       // data area 4096 bytes in
    expectAdpcmRoundTrip(7, 143360 + 10);
}

TEST(ExportMultichannel, TwoChannelHeaderAndInterleaving) {
    auto input = tracks(2, 246 * 4096, 44100);
    auto built = BuildMulti(true, input, 44100);
    ASSERT_EQ(built.model.ChHeaders[0].Size, 246u * 2048);
    auto wav = exportAll(built.image);
    EXPECT_EQ(U32At(wav, 22) & 0xFFFF, 2u);
    EXPECT_EQ(U32At(wav, 28), 4u * 44100);
    EXPECT_EQ(U32At(wav, 32) & 0xFFFF, 4u);
    EXPECT_EQ(U32At(wav, 40), 2u * 246 * 2048 * 4);
    EXPECT_EQ(U32At(wav, 4), U32At(wav, 40) + 36);
    EXPECT_EQ(wav.size(), 44u + 246 * 4096 * 4);
    // An exact multiple of a block's share: the last block holds no chunks and adds nothing.
    EXPECT_EQ(built.model.BlocksCount, 3u);
}

TEST(ExportMultichannel, PcmCopiesSampleCountSamplesPerBlock) {
    auto input = tracks(2, 0x1EC00 + 1000, 22050);
    auto built = BuildMulti(false, input, 22050);
    ASSERT_EQ(built.model.BlocksCount, 2u);
    auto wav = exportAll(built.image);
    EXPECT_EQ(U32At(wav, 40), 2u * 2 * (0x1EC00 + 1000));
    auto frames = testing::ToSamples(std::span(wav).subspan(44));
    ASSERT_EQ(frames.size(), 2u * (0x1EC00 + 1000));
    for (std::size_t i = 0; i < input[0].size(); ++i) {
        ASSERT_EQ(frames[2 * i], input[0][i]) << i;
        ASSERT_EQ(frames[2 * i + 1], input[1][i]) << i;
    }
}

TEST(ExportMultichannel, AChannelDecodesItsStatesWhateverSizeSays) {
    auto built = BuildMulti(true, tracks(1, 12000, 32000), 32000);
    auto m = formats::ReadMulti(built.image);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->ChHeaders[0].States.size(), 3u);
    m->ChHeaders[0].Size = 5000;
    MemorySink sink;
    ASSERT_TRUE(ExportMultichannel(built.image, *m, sink));
    EXPECT_EQ(sink.bytes().size(), 44u + 12288 * 2);
    EXPECT_EQ(U32At(sink.bytes(), 40), 20000u);
}

TEST(ExportMultichannel, AShorterChannelIsSilentAfterItsEnd) {
    auto built = BuildMulti(true, tracks(2, 12000, 32000), 32000);
    auto m = formats::ReadMulti(built.image);
    ASSERT_TRUE(m);
    m->ChHeaders[1].States.resize(1);
    MemorySink sink;
    ASSERT_TRUE(ExportMultichannel(built.image, *m, sink));
    auto frames = testing::ToSamples(std::span(sink.bytes()).subspan(44));
    ASSERT_EQ(frames.size(), 2u * 12288);
    for (std::size_t i = 4096; i < 12288; ++i) ASSERT_EQ(frames[2 * i + 1], 0) << i;
}

TEST(ExportMultichannel, EntriesPastTheEndAreRefused) {
    auto built = BuildMulti(true, tracks(2, 600000, 44100), 44100);
    auto cut = built.image;
    cut.resize(built.model.HeadFullSize + 100000);
    auto m = formats::ReadMulti(cut);
    ASSERT_TRUE(m);
    MemorySink sink;
    Status s = ExportMultichannel(cut, *m, sink);
    ASSERT_FALSE(s);
    EXPECT_THAT(s.message(), HasSubstr("past the end"));

    // A block count that would loop over the same bytes forever is refused too.
    auto looping = built.image;
    testing::PutU32(looping, 8, 0xFFFFFFFFu);  // BlocksCount
    testing::PutU32(looping, 12, 0);           // BlockSize
    auto lm = formats::ReadMulti(looping);
    ASSERT_TRUE(lm);
    EXPECT_FALSE(ExportMultichannel(looping, *lm, sink));
}

// A small file that claims far more audio than it stores is refused before any output.
TEST(ExportMultichannel, OutputBeyondSixteenTimesTheFileIsRefused) {
    // 2,000 channels sharing one description of 10 states: 164 MB of frames from 64 KiB.
    auto shared = testing::SharedDescriptionMulti(2000, 64 << 10, 10);
    // One PCM channel whose 6,000 tiny blocks all point at the same 8,000 bytes: 48 MB.
    std::vector<std::uint8_t> overlapping(256 << 10, 0);
    const std::uint32_t blocks = 6000, blockSize = 40, headFull = 128;
    for (auto [pos, v] : std::vector<std::pair<std::size_t, std::uint32_t>>{
             {8, blocks}, {12, blockSize}, {20, 48}, {36, 1}, {44, headFull}, {48 + 12, 32}, {64 + 28, 1}})
        testing::PutU32(overlapping, pos, v);
    for (std::uint32_t g = 0; g < blocks; ++g) testing::PutU32(overlapping, headFull + g * blockSize + 24 + 12, 4000);
    for (const std::vector<std::uint8_t>* image : {&shared, &overlapping}) {
        auto m = formats::ReadMulti(*image);
        ASSERT_TRUE(m) << m.message();
        CountingSink sink;
        Status s = ExportMultichannel(*image, *m, sink);
        ASSERT_FALSE(s);
        EXPECT_EQ(s.message(), "its channels claim far more audio than the file holds");
        EXPECT_EQ(sink.count(), 0u);
    }
}

TEST(ExportMultichannel, RepeatsExactly) {
    auto built = BuildMulti(true, tracks(2, 30000, 22050), 22050);
    EXPECT_EQ(exportAll(built.image), exportAll(built.image));
}

}  // namespace
}  // namespace brenzo::exporting
