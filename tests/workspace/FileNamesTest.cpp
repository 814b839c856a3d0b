#include "workspace/FileNames.h"

#include <gtest/gtest.h>

namespace brenzo::workspace {
namespace {

TEST(SafeFileName, KeepsOrdinaryNamesAsTheyAre) {
    EXPECT_EQ(SafeFileName("engine_idle"), "engine_idle");
    EXPECT_EQ(SafeFileName("caf\xC3\xA9 (loud)"), "caf\xC3\xA9 (loud)");
    EXPECT_EQ(SafeFileName("0x001F"), "0x001F");
}

TEST(SafeFileName, NothingLeavesTheFolder) {
    EXPECT_EQ(SafeFileName("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(SafeFileName(".."), "__");
    EXPECT_EQ(SafeFileName("."), "_");
    EXPECT_EQ(SafeFileName(""), "_");
    EXPECT_EQ(SafeFileName("a\\b/c"), "a_b_c");
    EXPECT_EQ(SafeFileName("C:\\x"), "C__x");
}

TEST(SafeFileName, NamesWindowsRefusesAreMadeSafe) {
    EXPECT_EQ(SafeFileName("what?*<>|\"x"), "what______x");
    EXPECT_EQ(SafeFileName("tab\there"), "tab_here");
    EXPECT_EQ(SafeFileName("trailing. "), "trailing__");
    EXPECT_EQ(SafeFileName("CON"), "_CON");
    EXPECT_EQ(SafeFileName("con.wav"), "_con.wav");
    EXPECT_EQ(SafeFileName("Com7"), "_Com7");
    EXPECT_EQ(SafeFileName("lpt1 "), "lpt1_");
    EXPECT_EQ(SafeFileName("CONSOLE"), "CONSOLE");
}

TEST(SafeFileName, CutsLongNamesOnACharacterBoundary) {
    std::string name;
    for (int i = 0; i < 150; ++i) name += "\xC3\xA9";
    std::string safe = SafeFileName(name);
    EXPECT_LE(safe.size(), 200u);
    EXPECT_EQ(safe.size() % 2, 0u);
}

}  // namespace
}  // namespace brenzo::workspace
