// Whole files as the commands hold them: every size reads back exactly, the program's own
// changes stay in memory, and a file that changes on the disk afterwards cannot take the
// image down with it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace brenzo::platform {
namespace {

using testing::TempDir;

std::vector<std::uint8_t> pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = 12345;
    for (auto& b : bytes) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    return bytes;
}

TEST(ReadWholeFile, EverySizeReadsBackExactlyAndChangesStayInMemory) {
    TempDir dir;
    const std::size_t sizes[] = {0, 1, 4095, 4096, 4097, (std::size_t{3} << 20) + 5};
    for (std::size_t size : sizes) {
        const auto expected = pattern(size);
        testing::WriteFile(dir / "f.bin", expected);
        FileIdentity identity;
        auto image = ReadWholeFile(dir / "f.bin", &identity);
        ASSERT_TRUE(image) << size;
        EXPECT_TRUE(*image == expected) << size;
        EXPECT_EQ(identity.size, size);
        EXPECT_TRUE(ImageIntact(*image)) << size;
        if (size == 0) continue;
        (*image)[0] ^= 0xFF;
        (*image)[size - 1] ^= 0xFF;
        image->push_back(7);  // a grown image moves into memory of its own
        EXPECT_TRUE(testing::ReadFile(dir / "f.bin") == expected) << size;
    }
}

TEST(ReadWholeFile, TheImageOutlivesTheFileBeingReplacedOrRemoved) {
    TempDir dir;
    const auto before = pattern(std::size_t{1} << 20);
    testing::WriteFile(dir / "f.bin", before);
    auto image = ReadWholeFile(dir / "f.bin");
    ASSERT_TRUE(image);
    ASSERT_TRUE(WriteFileAtomically(dir / "f.bin", pattern(100)));
    EXPECT_TRUE(*image == before);
    fs::remove(dir / "f.bin");
    EXPECT_TRUE(*image == before);
}

#ifndef _WIN32
// Another program cuts the file short while its image is held: the lost pages read as zeros
// (the program goes on), the pages before the cut keep their bytes, and the image says so.
TEST(ReadWholeFile, AFileCutShortUnderItsImageReadsZerosInsteadOfCrashing) {
    TempDir dir;
    const std::size_t size = std::size_t{3} << 20, cut = (std::size_t{1} << 20) + 100;
    const auto expected = pattern(size);
    testing::WriteFile(dir / "f.bin", expected);
    auto image = ReadWholeFile(dir / "f.bin");
    ASSERT_TRUE(image);
    auto other = ReadWholeFile(dir / "f.bin");
    ASSERT_TRUE(other);
    fs::resize_file(dir / "f.bin", cut);

    EXPECT_EQ((*image)[cut - 1], expected[cut - 1]);
    EXPECT_EQ((*image)[size / 2], 0);
    (*image)[size - 1] = 0x5A;  // a lost page takes writes again
    EXPECT_EQ((*image)[size - 1], 0x5A);
    EXPECT_FALSE(ImageIntact(*image));
    EXPECT_TRUE(ImageIntact(*other));  // untouched past the cut so far
    EXPECT_EQ((*other)[size - 2], 0);
    EXPECT_FALSE(ImageIntact(*other));
}
#endif

}  // namespace
}  // namespace brenzo::platform
