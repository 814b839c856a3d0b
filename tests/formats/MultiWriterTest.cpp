#include "formats/MultiWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "formats/MultiFile.h"
#include "support/Builders.h"

namespace brenzo::formats {
namespace {

using ::testing::HasSubstr;
using testing::U32At;

struct BlockEntry {
    std::uint32_t start, count, zero, samples;
    bool operator==(const BlockEntry&) const = default;
};

std::vector<BlockEntry> entriesAt(std::span<const std::uint8_t> out, std::size_t b, std::uint32_t n) {
    std::vector<BlockEntry> e;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::size_t p = b + 24 + 16 * i;
        e.push_back({U32At(out, p), U32At(out, p + 4), U32At(out, p + 8), U32At(out, p + 12)});
    }
    return e;
}

std::pair<std::uint32_t, std::uint32_t> rangeAt(std::span<const std::uint8_t> out, std::size_t b, std::uint32_t n,
                                                std::size_t pair) {
    std::size_t p = b + 16 * n + 24 + 8 * pair;
    return {U32At(out, p), U32At(out, p + 4)};
}

bool allZero(std::span<const std::uint8_t> out, std::size_t from, std::size_t to) {
    return std::all_of(out.begin() + static_cast<std::ptrdiff_t>(from), out.begin() + static_cast<std::ptrdiff_t>(to),
                       [](std::uint8_t b) { return b == 0; });
}

std::vector<std::uint8_t> stream(std::size_t bytes, std::uint8_t seed) {
    std::vector<std::uint8_t> s(bytes);
    for (std::size_t i = 0; i < bytes; ++i) s[i] = static_cast<std::uint8_t>((i * 31 + seed) % 251 + 1);
    return s;
}

struct Written {
    Bytes out;
    BlockShape shape;
};

Written writeBlocks(bool adpcm, std::uint32_t n, std::uint32_t blockSize,
                    std::vector<std::vector<std::uint8_t>> streams) {
    auto shape = ShapeFor(adpcm, n);
    EXPECT_TRUE(shape);
    const std::uint32_t blocks = static_cast<std::uint32_t>(streams[0].size() / shape->channelBlockBytes + 1);
    std::vector<std::span<const std::uint8_t>> spans(streams.begin(), streams.end());
    Written w{{}, *shape};
    Status s = WriteMultiBlocks(w.out, *shape, blockSize, blocks, spans);
    EXPECT_TRUE(s) << s.message();
    EXPECT_EQ(w.out.size(), std::size_t{blocks} * blockSize);
    return w;
}

TEST(BlockShape, QuantitiesPerKindAndChannelCount) {
    struct Row {
        bool adpcm;
        std::uint32_t n, chunks, head, data;
    };
    for (Row r : {Row{true, 1, 246, 2048, 246}, Row{true, 2, 123, 2048, 248}, Row{true, 3, 82, 2048, 246},
                  Row{true, 5, 49, 4096, 246}, Row{true, 7, 35, 4096, 246}, Row{false, 2, 123, 2048, 246}}) {
        auto s = ShapeFor(r.adpcm, r.n);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->channelBlockChunks, r.chunks);
        EXPECT_EQ(s->channelBlockBytes, r.chunks * 2048) << r.n;
        EXPECT_EQ(s->headRegion, r.head) << r.n;
        EXPECT_EQ(s->dataChunks, r.data) << r.n;
    }
    for (std::uint32_t n : {0u, 4u, 6u, 8u}) EXPECT_FALSE(ShapeFor(true, n)) << n;
    for (std::uint32_t n : {1u, 3u, 5u}) EXPECT_FALSE(ShapeFor(false, n)) << n;
}

TEST(MultiBlockWriter, TwoAdpcmChannelsOverTwoBlocks) {
    const std::uint32_t blockSize = 250 * 2048;
    auto a = stream(300000, 1), b = stream(300000, 2);
    Written w = writeBlocks(true, 2, blockSize, {a, b});
    const auto& out = w.out;

    // Block 0: the head, the entries, 124 range pairs per channel, a zero chunk behind each channel.
    EXPECT_EQ(U32At(out, 0), 24u);
    EXPECT_EQ(U32At(out, 8), 56u);
    EXPECT_EQ(U32At(out, 16), 56u);
    EXPECT_EQ(entriesAt(out, 0, 2), (std::vector<BlockEntry>{{0, 123, 0, 503808}, {124, 123, 0, 503808}}));
    for (std::size_t ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(rangeAt(out, 0, 2, ch * 124), std::make_pair(0u, 4095u));
        EXPECT_EQ(rangeAt(out, 0, 2, ch * 124 + 123), std::make_pair(503808u, 503808u + 4095));
    }
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + 251904, out.begin() + 2048));
    EXPECT_TRUE(allZero(out, 2048 + 123 * 2048, 2048 + 124 * 2048));
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + 251904, out.begin() + 2048 + 124 * 2048));
    EXPECT_TRUE(allZero(out, 2048 + 247 * 2048, blockSize));

    // Block 1, the last: every byte of the 48096-byte tails stored, the last chunk zero-padded.
    const std::size_t b1 = blockSize;
    EXPECT_EQ(entriesAt(out, b1, 2), (std::vector<BlockEntry>{{0, 24, 0, 48096}, {24, 24, 0, 48096}}));
    EXPECT_EQ(rangeAt(out, b1, 2, 0), std::make_pair(503808u, 503808u + 4095));
    EXPECT_EQ(rangeAt(out, b1, 2, 24), std::make_pair(503808u, 503808u + 4095));
    EXPECT_EQ(rangeAt(out, b1, 2, 47), std::make_pair(503808u + 23 * 4096, 503808u + 23 * 4096 + 4095));
    EXPECT_TRUE(std::equal(a.begin() + 251904, a.end(), out.begin() + b1 + 2048));
    EXPECT_TRUE(allZero(out, b1 + 2048 + 48096, b1 + 2048 + 24 * 2048));
    EXPECT_TRUE(std::equal(b.begin() + 251904, b.end(), out.begin() + b1 + 2048 + 24 * 2048));
    EXPECT_TRUE(allZero(out, b1 + 2048 + 24 * 2048 + 48096, 2 * blockSize));
}

TEST(MultiBlockWriter, RangesRunOnFromBlockToBlock) {
    // One ADPCM channel, three blocks.
    Written one = writeBlocks(true, 1, 256 * 2048, {stream(2 * 503808 + 5000, 3)});
    EXPECT_EQ(rangeAt(one.out, 0, 1, 0).first, 0u);
    EXPECT_EQ(rangeAt(one.out, 256 * 2048, 1, 0).first, 0xF6000u);
    EXPECT_EQ(rangeAt(one.out, 2 * 256 * 2048, 1, 0).first, 2 * 0xF6000u - 4096);

    // Two PCM channels, three blocks.
    const std::size_t share = 251904;
    Written pcm = writeBlocks(false, 2, 256 * 2048, {stream(2 * share + 100, 4), stream(2 * share + 100, 5)});
    EXPECT_EQ(rangeAt(pcm.out, 0, 2, 0), std::make_pair(0u, 1023u));
    EXPECT_EQ(rangeAt(pcm.out, 256 * 2048, 2, 0), std::make_pair(0x1EC00u, 0x1EC00u + 1023));
    EXPECT_EQ(rangeAt(pcm.out, 2 * 256 * 2048, 2, 0), std::make_pair(2 * 0x1EC00u - 1024, 2 * 0x1EC00u - 1));
    EXPECT_EQ(entriesAt(pcm.out, 2 * 256 * 2048, 2)[0].samples, 50u);  // a PCM tail counts samples
}

TEST(MultiBlockWriter, FiveChannelLastBlockKeepsItsRangesAndHeadRegion) {
    std::vector<std::vector<std::uint8_t>> s;
    for (std::uint8_t c = 0; c < 5; ++c) s.push_back(stream(100352 + 3000, c));
    Written w = writeBlocks(true, 5, 256 * 2048, s);
    const std::size_t last = 256 * 2048;
    // Block 0 ends channel 4's ranges at 49 pairs; the last block starts right there.
    EXPECT_EQ(rangeAt(w.out, last, 5, 0).first, 49u * 4096);
    auto e = entriesAt(w.out, last, 5);
    EXPECT_EQ(e[0], (BlockEntry{0, 2, 0, 6000}));
    EXPECT_EQ(e[4], (BlockEntry{8, 2, 0, 6000}));
    // The data area is 4096 bytes in, as in full blocks.
    EXPECT_TRUE(allZero(w.out, last + 24 + 80 + 8 * 10, last + 4096));
    EXPECT_TRUE(std::equal(s[0].begin() + 100352, s[0].end(), w.out.begin() + last + 4096));
    EXPECT_TRUE(std::equal(s[3].begin() + 100352, s[3].end(), w.out.begin() + last + 4096 + 6 * 2048));
    // Block 0 of five channels: the gap after channel 0 moves the others.
    EXPECT_EQ(entriesAt(w.out, 0, 5)[1].start, 50u);
    EXPECT_EQ(entriesAt(w.out, 0, 5)[4].start, 197u);
}

TEST(MultiBlockWriter, SevenChannelsUseAFourKibibyteHead) {
    std::vector<std::vector<std::uint8_t>> s;
    for (std::uint8_t c = 0; c < 7; ++c) s.push_back(stream(71680 + 10, c));
    Written w = writeBlocks(true, 7, 256 * 2048, s);
    auto e = entriesAt(w.out, 0, 7);
    EXPECT_EQ(e[1].start, 36u);
    EXPECT_EQ(e[6].start, 211u);
    EXPECT_TRUE(std::equal(s[0].begin(), s[0].begin() + 71680, w.out.begin() + 4096));
    // The last block: one partial chunk per channel, still 4096 bytes in, TailSamples not doubled.
    const std::size_t last = 256 * 2048;
    EXPECT_EQ(entriesAt(w.out, last, 7)[6], (BlockEntry{6, 1, 0, 10}));
    EXPECT_TRUE(std::equal(s[6].begin() + 71680, s[6].end(), w.out.begin() + last + 4096 + 6 * 2048));
}

TEST(MultiBlockWriter, ASingleBlockIsWrittenAsTheLastWithoutShift) {
    Written w = writeBlocks(true, 2, 256 * 2048, {stream(5000, 1), stream(5000, 2)});
    ASSERT_EQ(w.out.size(), 256u * 2048);
    EXPECT_EQ(entriesAt(w.out, 0, 2), (std::vector<BlockEntry>{{0, 3, 0, 5000}, {3, 3, 0, 5000}}));
    EXPECT_EQ(rangeAt(w.out, 0, 2, 0), std::make_pair(0u, 4095u));
    EXPECT_EQ(rangeAt(w.out, 0, 2, 3), std::make_pair(0u, 4095u));
}

TEST(MultiBlockWriter, AnExactMultipleLeavesAnEmptyLastBlock) {
    Written w = writeBlocks(true, 2, 256 * 2048, {stream(251904, 1), stream(251904, 2)});
    ASSERT_EQ(w.out.size(), 2u * 256 * 2048);
    const std::size_t last = 256 * 2048;
    EXPECT_EQ(entriesAt(w.out, last, 2), (std::vector<BlockEntry>{{0, 0, 0, 0}, {0, 0, 0, 0}}));
    EXPECT_TRUE(allZero(w.out, last + 24 + 32, 2 * last));
}

TEST(MultiBlockWriter, RefusesBlocksTooSmallForAFullBlock) {
    auto shape = ShapeFor(true, 2);
    ASSERT_TRUE(shape);
    auto s = stream(100, 1);
    std::vector<std::span<const std::uint8_t>> spans = {s, s};
    Bytes out;
    Status st = WriteMultiBlocks(out, *shape, 2048 + 247 * 2048, 1, spans);
    ASSERT_FALSE(st);
    EXPECT_THAT(st.message(), HasSubstr("cannot hold a full block"));
    EXPECT_TRUE(out.empty());
}

TEST(MultiWriter, HeaderDirectoryDescriptionsAndBlockIndex) {
    auto built =
        testing::BuildMulti(true, {testing::Tone(600000, 440, 44100), testing::Tone(600000, 660, 44100)}, 44100);
    const auto& m = built.model;
    EXPECT_EQ(m.ChHeaders[0].StatesCount, 147u);
    EXPECT_EQ(m.ChHeadSizes[1].HeadSize, 497u);
    EXPECT_EQ(m.ChHeadSizes[1].HeadOffset, 497);
    EXPECT_EQ(m.HeadSize, 1074u);
    EXPECT_EQ(m.BlocksCount, 2u);
    EXPECT_EQ(m.HeadFullSize, 2048u);
    const auto& img = built.image;
    EXPECT_EQ(U32At(img, 0), 1074u);
    EXPECT_EQ(U32At(img, 20), 48u);
    EXPECT_EQ(U32At(img, 28), 1074u);
    EXPECT_EQ(U32At(img, 36), 2u);
    EXPECT_EQ(U32At(img, 44), 2048u);
    EXPECT_EQ(U32At(img, 48 + 32 + 8), m.ChHeadSizes[0].HeadHash);  // HeadHashCopy
    EXPECT_EQ(U32At(img, 1074), 0u);
    EXPECT_EQ(U32At(img, 1078), 44100u);
    EXPECT_EQ(U32At(img, 1082), 503808u);
    EXPECT_EQ(U32At(img, 1086), 44100u);

    auto read = ReadMulti(img);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, m);
}

TEST(MultiWriter, PcmPairHasThirtyTwoByteDescriptions) {
    auto built = testing::BuildMulti(false, {testing::Tone(1000, 440, 22050), testing::Tone(1000, 550, 22050)}, 22050);
    EXPECT_EQ(built.model.ChHeadSizes[0].HeadSize, 32u);
    EXPECT_EQ(built.model.ChHeadSizes[1].HeadOffset, 32);
    EXPECT_EQ(built.model.HeadSize, 144u);
    EXPECT_EQ(built.model.BlocksCount, 1u);
    EXPECT_EQ(U32At(built.image, 144), 0u);
    EXPECT_EQ(U32At(built.image, 148), 22050u);
    EXPECT_EQ(U32At(built.image, 152), 0u);  // padding after the one index entry
}

}  // namespace
}  // namespace brenzo::formats
