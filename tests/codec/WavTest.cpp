#include "codec/Wav.h"

#include <gtest/gtest.h>

#include "common/ByteReader.h"
#include "support/Builders.h"

namespace brenzo::codec {
namespace {

using testing::U32At;

std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) { return loadU16(&b[at]); }

TEST(WriteWavHeader, MonoHeaderFields) {
    std::vector<std::uint8_t> h;
    WriteWavHeader(h, 1, 22050, 8192);
    ASSERT_EQ(h.size(), kWavHeaderSize);
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RIFF");
    EXPECT_EQ(U32At(h, 4), 8228u);
    EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32At(h, 16), 16u);
    EXPECT_EQ(u16(h, 20), 1);
    EXPECT_EQ(u16(h, 22), 1);
    EXPECT_EQ(U32At(h, 24), 22050u);
    EXPECT_EQ(U32At(h, 28), 44100u);
    EXPECT_EQ(u16(h, 32), 2);
    EXPECT_EQ(u16(h, 34), 16);
    EXPECT_EQ(std::string(h.begin() + 36, h.begin() + 40), "data");
    EXPECT_EQ(U32At(h, 40), 8192u);
}

TEST(WriteWavHeader, SixChannelsAt48k) {
    std::vector<std::uint8_t> h;
    WriteWavHeader(h, 6, 48000, 0);
    EXPECT_EQ(u16(h, 22), 6);
    EXPECT_EQ(u16(h, 32), 12);
    EXPECT_EQ(U32At(h, 28), 12u * 48000u);
    EXPECT_EQ(U32At(h, 4), 36u);
}

TEST(ProbeConvertedWav, ReadsTheFieldsAtTheirPositions) {
    std::vector<std::uint8_t> h;
    WriteWavHeader(h, 2, 44100, 8);
    h.insert(h.end(), 8, 0x11);
    auto info = ProbeConvertedWav(h);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->FmtSize, 16u);
    EXPECT_EQ(info->wFormatTag, 1);
    EXPECT_EQ(info->nChannels, 2);
    EXPECT_EQ(info->Rate, 44100);
    EXPECT_EQ(info->DataSize, 8u);
    EXPECT_EQ(info->DataStart, 44u);
    EXPECT_EQ(info->PresentBytes, 8u);
}

TEST(ProbeConvertedWav, AnEighteenByteFmtChunkMovesTheDataChunk) {
    std::vector<std::uint8_t> h;
    WriteWavHeader(h, 1, 8000, 4);
    testing::PutU32(h, 16, 18);
    h.insert(h.begin() + 36, {0, 0});  // the two extra fmt bytes
    h.insert(h.end(), {1, 2, 3, 4});
    auto info = ProbeConvertedWav(h);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->DataSize, 4u);
    EXPECT_EQ(info->DataStart, 46u);
}

TEST(ProbeConvertedWav, RefusesCutHeadersAndHostileFmtSizes) {
    std::vector<std::uint8_t> h;
    WriteWavHeader(h, 1, 8000, 100);
    for (std::size_t n = 0; n < 44; ++n) {
        auto cut = std::vector<std::uint8_t>(h.begin(), h.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(ProbeConvertedWav(cut)) << n;
    }
    auto hostile = h;
    testing::PutU32(hostile, 16, 0xFFFFFFF0u);
    EXPECT_FALSE(ProbeConvertedWav(hostile));
    // Data declared but missing: only what is there counts as present.
    auto info = ProbeConvertedWav(h);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->DataSize, 100u);
    EXPECT_EQ(info->PresentBytes, 0u);
}

}  // namespace
}  // namespace brenzo::codec
