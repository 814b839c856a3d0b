#include "radio/Windows1252.h"

#include <gtest/gtest.h>

namespace brenzo::radio {
namespace {

// Decodes UTF-8 strictly; `ok` turns false on malformed text.
std::u32string decode(const std::string& s, bool& ok) {
    std::u32string out;
    ok = true;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : -1;
        if (extra < 0 || s.size() - i <= static_cast<std::size_t>(extra)) {
            ok = false;
            return {};
        }
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : (b & 0x0F);
        for (int k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80) {
                ok = false;
                return {};
            }
            c = c << 6 | (t & 0x3F);
        }
        const char32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0;
        if (c < least) ok = false;  // an overlong form
        out += c;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

TEST(Windows1252ToUtf8, KeepsAsciiAsItIs) {
    EXPECT_EQ(Windows1252ToUtf8("Radio 1 - Rock"), "Radio 1 - Rock");
    EXPECT_EQ(Windows1252ToUtf8(""), "");
    EXPECT_EQ(Windows1252ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Windows1252ToUtf8, ConvertsLatinLettersAndTheWindowsOnlyRange) {
    EXPECT_EQ(Windows1252ToUtf8("Caf\xE9"), "Caf\xC3\xA9");                // é
    EXPECT_EQ(Windows1252ToUtf8("\xA0"), "\xC2\xA0");                      // no-break space
    EXPECT_EQ(Windows1252ToUtf8("\xFF"), "\xC3\xBF");                      // ÿ
    EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC");                  // €
    EXPECT_EQ(Windows1252ToUtf8("\x92"), "\xE2\x80\x99");                  // ’
    EXPECT_EQ(Windows1252ToUtf8("\x96\x97"), "\xE2\x80\x93\xE2\x80\x94");  // – —
    EXPECT_EQ(Windows1252ToUtf8("\x83"), "\xC6\x92");                      // ƒ
    EXPECT_EQ(Windows1252ToUtf8("\x9F"), "\xC5\xB8");                      // Ÿ
}

TEST(Windows1252ToUtf8, UndefinedBytesBecomeTheReplacementCharacterNotC1Controls) {
    for (char b : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'})
        EXPECT_EQ(Windows1252ToUtf8(std::string(1, b)), "\xEF\xBF\xBD") << static_cast<int>(b & 0xFF);
}

TEST(Windows1252ToUtf8, EveryByteGivesOneValidCharacter) {
    for (int b = 0; b < 256; ++b) {
        bool ok = false;
        const auto chars = decode(Windows1252ToUtf8(std::string(1, static_cast<char>(b))), ok);
        ASSERT_TRUE(ok) << b;
        ASSERT_EQ(chars.size(), 1u) << b;
        EXPECT_FALSE(chars[0] >= 0x80 && chars[0] < 0xA0) << "C1 control for byte " << b;
        if (b < 0x80 || b >= 0xA0) {
            EXPECT_EQ(chars[0], static_cast<char32_t>(b)) << b;
        }
    }
}

}  // namespace
}  // namespace brenzo::radio
