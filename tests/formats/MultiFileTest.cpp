#include "formats/MultiFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "common/ByteWriter.h"
#include "support/Builders.h"

namespace brenzo::formats {
namespace {

using ::testing::HasSubstr;

struct HandChannel {
    std::uint32_t hash;
    std::uint16_t compression;
    std::uint32_t states;
    std::uint32_t headSize;  // the directory's HeadSize
};

// A header, directory and descriptions written field by field.
std::vector<std::uint8_t> handMade(const std::vector<HandChannel>& channels) {
    std::vector<std::uint8_t> image;
    ByteWriter w(image);
    const auto n = static_cast<std::uint32_t>(channels.size());
    for (std::uint32_t v : {0u, 0u, 1u, 0x80000u, 0u}) w.u32(v);
    w.i64(48);
    for (std::uint32_t v : {0u, 0u, n, 0u, 2048u}) w.u32(v);
    for (const auto& c : channels) {
        w.i64(0);
        w.u32(c.hash);
        w.u32(c.headSize);
    }
    for (const auto& c : channels) {
        const std::size_t start = image.size();
        for (std::uint32_t v : {0u, 0u, c.hash, 2048u * c.states, 4096u * c.states}) w.u32(v);
        w.i32(-9);
        w.u16(32000);
        w.u16(3);
        w.u16(c.compression);
        w.u16(0);
        if (c.compression == kMultiCompressionAdpcm) {
            w.i64(5);
            w.u32(4096 * c.states);
            w.i64(6);
            w.u32(c.states);
            for (std::uint32_t k = 0; k < c.states; ++k) {
                w.i16(static_cast<std::int16_t>(k * 100));
                w.u8(static_cast<std::uint8_t>(k));
            }
            while (image.size() < start + c.headSize) w.u8(0xEE);  // a longer description
        }
    }
    image.resize(image.size() + 4096, 0);
    return image;
}

TEST(ReadMulti, SkipsALongAdpcmDescriptionToItsEnd) {
    auto image = handMade({{0xA, kMultiCompressionAdpcm, 2, 56 + 6 + 20}, {0xB, kMultiCompressionAdpcm, 3, 56 + 9}});
    auto m = ReadMulti(image);
    ASSERT_TRUE(m) << m.message();
    EXPECT_EQ(m->ChHeaders[1].StatesCount, 3u);
    EXPECT_EQ(m->ChHeaders[1].States[2], (TADPCMState{200, 2}));
    EXPECT_EQ(m->ChHeaders[1].Frequency, 32000);
    EXPECT_EQ(m->ChHeaders[0]._unk2, 6);
    EXPECT_EQ(m->ChHeaders[0].iUnknown, -9);
}

TEST(ReadMulti, AFileOfPcmChannelZeroReadsLaterAdpcmStatesAndIsPcm) {
    auto image = handMade({{0xA, 1, 0, 32}, {0xB, kMultiCompressionAdpcm, 2, 62}});
    auto m = ReadMulti(image);
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->IsAdpcm());
    EXPECT_TRUE(m->ChHeaders[0].States.empty());
    EXPECT_EQ(m->ChHeaders[1].States.size(), 2u);
}

TEST(ReadMulti, ReportsProgressPerChannel) {
    auto image = handMade({{1, 1, 0, 32}, {2, 1, 0, 32}, {3, 1, 0, 32}});
    std::vector<std::uint32_t> seen;
    ASSERT_TRUE(ReadMulti(image, [&](std::uint32_t i, std::uint32_t n) {
        EXPECT_EQ(n, 3u);
        seen.push_back(i);
    }));
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST(ReadMulti, RefusesFilesTheModelCannotHold) {
    auto none = handMade({});
    auto r = ReadMulti(none);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), "it has no channels");

    auto many = handMade({{1, 1, 0, 32}});
    testing::PutU32(many, 36, 0x40000000u);
    EXPECT_FALSE(ReadMulti(many));

    auto states = handMade({{1, kMultiCompressionAdpcm, 1, 59}});
    testing::PutU32(states, 48 + 16 + 52, 0x7FFFFFFFu);
    auto s = ReadMulti(states);
    ASSERT_FALSE(s);
    EXPECT_THAT(s.message(), HasSubstr("more states"));
}

// Many channels sharing one description: what the model holds stays proportional to the file
// (16 times it plus a constant), however many states each channel claims.
TEST(ReadMulti, ChannelsSharingOneDescriptionCostNoMoreThanTheFileHolds) {
    struct Case {
        std::uint32_t channels;
        std::size_t bytes;
        std::uint32_t states;  // 0: as many as the file holds
        bool loads;
    };
    for (const Case c : {Case{1365, 64 << 10, 0, false}, Case{5461, 256 << 10, 0, false},
                         Case{21845, 1 << 20, 0, false}, Case{21845, 1 << 20, 15, true}, Case{1, 1 << 20, 0, true}}) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels in " + std::to_string(c.bytes) + " bytes");
        const auto image = testing::SharedDescriptionMulti(c.channels, c.bytes, c.states);
        const auto started = std::chrono::steady_clock::now();
        auto m = ReadMulti(image);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
        ASSERT_EQ(bool(m), c.loads) << (m ? "" : m.message());
        if (!m) {
            EXPECT_NE(m.message().find("claims more states than the file holds"), std::string::npos);
            continue;
        }
        std::size_t held =
            m->ChHeaders.size() * sizeof(TADPCMChannel) + m->ChHeadSizes.size() * sizeof(TADPCMChannelHeader);
        for (const auto& ch : m->ChHeaders) held += ch.States.size() * sizeof(TADPCMState);
        EXPECT_LE(held, 16 * c.bytes + (1 << 20));
    }
}

TEST(ReadMulti, EveryCutAndFlipReadsWithoutFault) {
    auto built = testing::BuildMulti(true, {testing::Tone(9000, 440, 32000), testing::Tone(9000, 550, 32000)}, 32000);
    for (std::size_t n = 0; n < built.model.HeadFullSize + 64; ++n) {
        auto r = ReadMulti(std::span(built.image.data(), n));
        if (n < built.model.HeadSize) {
            EXPECT_FALSE(r) << n;
        }
    }
    for (std::size_t at = 0; at < 200; ++at) {
        auto copy = built.image;
        copy[at] ^= 0xFF;
        (void)ReadMulti(copy);
    }
}

TEST(MultiDataArea, DependsOnKindAndChannelCount) {
    TMultiADPCM m;
    m.ChHeaders.resize(3);
    m.Channels = 3;
    m.ChHeaders[0].Compression = kMultiCompressionAdpcm;
    EXPECT_EQ(MultiDataAreaOffset(m, 2048), 2048u);
    m.Channels = 5;
    EXPECT_EQ(MultiDataAreaOffset(m, 2048), 4096u);
    m.ChHeaders[0].Compression = 1;
    EXPECT_EQ(MultiDataAreaOffset(m, 2048), 2048u);
    EXPECT_EQ(MultiDataAreaOffset(m, 1000), 1048u);  // AlignTo2048(1000 + 24) - 1000
}

}  // namespace
}  // namespace brenzo::formats
