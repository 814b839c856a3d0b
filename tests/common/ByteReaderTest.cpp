#include "common/ByteReader.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "common/ByteWriter.h"

namespace brenzo {
namespace {

TEST(ByteReader, ReadsLittleEndianAndZerosPastTheEnd) {
    const std::uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    ByteReader r(data);
    EXPECT_EQ(r.u32(), 0x04030201u);
    EXPECT_FALSE(r.ranShort());
    EXPECT_EQ(r.u32(), 0x05u);  // three bytes missing read as zero
    EXPECT_TRUE(r.ranShort());
    EXPECT_EQ(r.u8(), 0);
}

TEST(ByteReader, HugePositionsNeitherWrapNorRead) {
    const std::uint8_t data[] = {1, 2, 3, 4};
    ByteReader r(data);
    r.seek(SIZE_MAX - 1);
    EXPECT_EQ(r.u64(), 0u);
    EXPECT_TRUE(r.ranShort());
    EXPECT_EQ(r.remaining(), 0u);
    r.seek(2);
    EXPECT_TRUE(r.view(3).empty());
    EXPECT_EQ(r.view(2).size(), 2u);
    std::uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(r.bytes(out), 2u);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[2], 0);
}

// Fixed bytes worked out by hand: the low byte first, a negative 16-bit value as its two's complement.
TEST(LittleEndian, StoresAndLoadsTheBytesInFileOrder) {
    struct Case {
        std::uint32_t value;
        std::array<std::uint8_t, 4> bytes;
    };
    for (const Case& c : {Case{0x04030201u, {1, 2, 3, 4}}, Case{0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}},
                          Case{0x80000000u, {0, 0, 0, 0x80}}, Case{0x000000FFu, {0xFF, 0, 0, 0}}}) {
        std::array<std::uint8_t, 4> stored{};
        storeU32(stored.data(), c.value);
        EXPECT_EQ(stored, c.bytes) << std::hex << c.value;
        EXPECT_EQ(loadU32(c.bytes.data()), c.value);
        EXPECT_EQ(loadU16(c.bytes.data()), c.value & 0xFFFF);
        std::vector<std::uint8_t> appended;
        ByteWriter w(appended);
        w.u32(c.value);
        EXPECT_EQ(appended, std::vector<std::uint8_t>(c.bytes.begin(), c.bytes.end()));
    }
    std::array<std::uint8_t, 2> minusTwo{};
    storeI16(minusTwo.data(), -2);
    EXPECT_EQ(minusTwo, (std::array<std::uint8_t, 2>{0xFE, 0xFF}));
    EXPECT_EQ(loadI16(minusTwo.data()), -2);
}

TEST(FitsIn, ComparesBySubtraction) {
    EXPECT_TRUE(fitsIn(10, 0, 10));
    EXPECT_TRUE(fitsIn(10, 10, 0));
    EXPECT_FALSE(fitsIn(10, 11, 0));
    EXPECT_FALSE(fitsIn(10, 4, 7));
    EXPECT_FALSE(fitsIn(10, UINT64_MAX, 2));
    EXPECT_FALSE(fitsIn(10, 2, UINT64_MAX));
}

}  // namespace
}  // namespace brenzo
