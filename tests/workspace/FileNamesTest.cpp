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

TEST(SafeFileName, BytesThatAreNotUtf8BecomeUnderscores) {
    EXPECT_EQ(SafeFileName("caf\xE9"), "caf_");  // a Windows-1252 "Hashes.ini"
    EXPECT_EQ(SafeFileName("\xFF\xFE"
                           "abc"),
              "__abc");
    EXPECT_EQ(SafeFileName("cut \xE6\x97"), "cut __");
    EXPECT_EQ(SafeFileName("\xC3\xA9t\xC3\xA9 \xE6\x97\xA5"), "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5");
    // What is left over must not end in a dot once the bytes are gone.
    EXPECT_EQ(SafeFileName("name.\xE9"), "name._");
}

TEST(FileNameKey, NamesThatDifferOnlyInCaseCollideAsOnWindows) {
    EXPECT_EQ(FileNameKey("boom.wav"), FileNameKey("BOOM.wav"));
    EXPECT_EQ(FileNameKey("\xC3\xA9"
                          "cho.wav"),
              FileNameKey("\xC3\x89"
                          "CHO.wav"));                            // é, É
    EXPECT_EQ(FileNameKey("\xC3\xBF"), FileNameKey("\xC5\xB8"));  // ÿ, Ÿ
    EXPECT_EQ(FileNameKey("\xC5\x82\xC3\xB3"
                          "d\xC5\xBA"),
              FileNameKey("\xC5\x81\xC3\x93"
                          "D\xC5\xB9"));                                          // łódź
    EXPECT_EQ(FileNameKey("\xC4\x8D"), FileNameKey("\xC4\x8C"));                  // č, Č
    EXPECT_EQ(FileNameKey("\xCF\x83\xCF\x82"), FileNameKey("\xCE\xA3\xCE\xA3"));  // σς, ΣΣ
    EXPECT_EQ(FileNameKey("\xCE\xAC"), FileNameKey("\xCE\x86"));                  // ά, Ά
    EXPECT_EQ(FileNameKey("\xD0\xB6\xD1\x91"), FileNameKey("\xD0\x96\xD0\x81"));  // жё, ЖЁ
}

TEST(FileNameKey, DifferentLettersStayApart) {
    EXPECT_NE(FileNameKey("a"), FileNameKey("b"));
    EXPECT_NE(FileNameKey("\xC3\xA9"), FileNameKey("e"));         // é is not e
    EXPECT_NE(FileNameKey("\xC3\xB7"), FileNameKey("\xC3\x97"));  // ÷ is not ×
    EXPECT_NE(FileNameKey("\xC4\xB8"), FileNameKey("\xC4\xB7"));  // ĸ has no capital
    EXPECT_NE(FileNameKey("\xC3\x9F"), FileNameKey("SS"));        // ß keeps its own name
}

}  // namespace
}  // namespace brenzo::workspace
