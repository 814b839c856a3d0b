#include "workspace/FileNames.h"

#include <gtest/gtest.h>

#include <string>

namespace brenzo::workspace {
namespace {

// Every name becomes one a file system takes, inside the export folder, on Linux and Windows.
TEST(SafeFileName, MakesEveryNameSafeAndKeepsTheRest) {
    struct Case {
        const char* rule;
        std::string name;
        std::string safe;
    };
    const Case cases[] = {
        {"ordinary names stay", "engine_idle", "engine_idle"},
        {"ordinary names stay", "caf\xC3\xA9 (loud)", "caf\xC3\xA9 (loud)"},
        {"ordinary names stay", "0x001F", "0x001F"},
        {"nothing leaves the folder", "../../etc/passwd", ".._.._etc_passwd"},
        {"nothing leaves the folder", "..", "__"},
        {"nothing leaves the folder", ".", "_"},
        {"nothing leaves the folder", "", "_"},
        {"nothing leaves the folder", "a\\b/c", "a_b_c"},
        {"nothing leaves the folder", "C:\\x", "C__x"},
        {"what Windows refuses", "what?*<>|\"x", "what______x"},
        {"what Windows refuses", "tab\there", "tab_here"},
        {"what Windows refuses", "trailing. ", "trailing__"},
        {"what Windows refuses", "CON", "_CON"},
        {"what Windows refuses", "con.wav", "_con.wav"},
        {"what Windows refuses", "Com7", "_Com7"},
        {"what Windows refuses", "lpt1 ", "lpt1_"},
        {"what Windows refuses", "CONSOLE", "CONSOLE"},
        {"bytes that are not UTF-8 (a Windows-1252 Hashes.ini)", "caf\xE9", "caf_"},
        {"bytes that are not UTF-8", std::string("\xFF\xFE") + "abc", "__abc"},
        {"bytes that are not UTF-8", "cut \xE6\x97", "cut __"},
        {"bytes that are not UTF-8", "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5", "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5"},
        {"no dot at the end once the bytes are gone", "name.\xE9", "name._"},
    };
    for (const Case& c : cases) EXPECT_EQ(SafeFileName(c.name), c.safe) << c.rule << ": " << c.name;
}

TEST(SafeFileName, CutsLongNamesOnACharacterBoundary) {
    std::string name;
    for (int i = 0; i < 150; ++i) name += "\xC3\xA9";
    std::string safe = SafeFileName(name);
    EXPECT_LE(safe.size(), 200u);
    EXPECT_EQ(safe.size() % 2, 0u);
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
