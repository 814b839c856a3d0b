#include "workspace/HashNames.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/TempDir.h"

namespace brenzo::workspace {
namespace {

HashTable parse(const std::string& text) {
    return HashTable::Parse(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string find(const HashTable& t, std::uint32_t hash) {
    auto s = t.Find(hash);
    return s ? std::string(*s) : "<none>";
}

TEST(HashTable, FollowsTheWindowsProfileRules) {
    auto t = parse(
        "; a comment line\r\n"
        "[other]\r\n31=not this section\r\n"
        "  [ hAsHeS ]  \r\n"
        "31 =  engine idle  \r\n"
        "31=second value loses\r\n"
        "32=\"quoted\"\r\n"
        "33='single'\r\n"
        "34=\"unbalanced\r\n"
        "35=\"\r\n"
        "036=leading zero never matches\r\n"
        "4294967295=max\r\n"
        "4294967296=too big\r\n"
        "no equals sign\r\n"
        "37=a=b\r\n"
        "[Hashes]\r\n38=a second section is not searched\r\n");
    EXPECT_EQ(find(t, 31), "engine idle");
    EXPECT_EQ(find(t, 32), "quoted");
    EXPECT_EQ(find(t, 33), "single");
    EXPECT_EQ(find(t, 34), "\"unbalanced");
    EXPECT_EQ(find(t, 35), "\"");
    EXPECT_EQ(find(t, 36), "<none>");
    EXPECT_EQ(find(t, 4294967295u), "max");
    EXPECT_EQ(find(t, 0), "<none>");
    EXPECT_EQ(find(t, 37), "a=b");
    EXPECT_EQ(find(t, 38), "<none>");
}

TEST(HashTable, CutsValuesAt2047Characters) {
    std::string longValue;
    for (int i = 0; i < 3000; ++i) longValue += i % 2 ? "a" : "\xC3\xA9";  // 'é' takes two bytes
    auto t = parse("[Hashes]\n1=" + longValue + "\n");
    auto v = t.Find(1);
    ASSERT_TRUE(v);
    std::size_t characters = 0;
    for (unsigned char c : *v) characters += (c & 0xC0) != 0x80;
    EXPECT_EQ(characters, 2047u);
}

std::string utf16le(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) out += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return out;
}

TEST(HashTable, DecodesEveryEncodingOfTheNamesFileToOneUtf8) {
    struct Case {
        const char* what;
        std::string file;
        std::string name;  // of hash 5
    };
    const Case cases[] = {
        {"UTF-16 with its mark", utf16le(u"[Hashes]\r\n5=f\u00E9"), "f\xC3\xA9"},
        {"a lone surrogate in UTF-16",
         utf16le(u"[Hashes]\r\n5=a\xD800"
                 u"b"),
         "a\xEF\xBF\xBD"
         "b"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[Hashes]\n5=f\xC3\xA9\n", "f\xC3\xA9"},
        {"UTF-8 without a mark", "[Hashes]\n5=f\xC3\xA9\n", "f\xC3\xA9"},
        {"Windows-1252 (not UTF-8)", "[Hashes]\n5=f\xE9\x80\n", "f\xC3\xA9\xE2\x82\xAC"},
        {"an overlong UTF-8 form is Windows-1252", "[Hashes]\n5=\xC0\xAF\n", "\xC3\x80\xC2\xAF"},
    };
    for (const auto& c : cases) EXPECT_EQ(find(parse(c.file), 5), c.name) << c.what;
}

TEST(DefaultHashName, AtLeastFourUpperCaseDigits) {
    EXPECT_EQ(DefaultHashName(0x1F), "0x001F");
    EXPECT_EQ(DefaultHashName(0), "0x0000");
    EXPECT_EQ(DefaultHashName(0xABCDE), "0xABCDE");
    EXPECT_EQ(DefaultHashName(0xDEADBEEF), "0xDEADBEEF");
}

TEST(HashNames, AnEditShowsOnTheNextRefreshAndAMissingFileGivesDefaults) {
    testing::TempDir dir;
    HashNames names(dir / "Hashes.ini");
    names.Refresh();
    EXPECT_EQ(names.NameForHash(31), "0x001F");
    testing::WriteText(dir / "Hashes.ini", "[Hashes]\n31=first\n");
    names.Refresh();
    EXPECT_EQ(names.NameForHash(31), "first");
    // The same size: the change is seen through the file's time.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    testing::WriteText(dir / "Hashes.ini", "[Hashes]\n31=other\n");
    names.Refresh();
    EXPECT_EQ(names.NameForHash(31), "other");
    std::filesystem::remove(dir / "Hashes.ini");
    names.Refresh();
    EXPECT_EQ(names.NameForHash(31), "0x001F");
}

// Windows reads file times to the second, and an editor can save twice within one.
TEST(HashNames, AnEditOfTheSameSizeAndTimeShowsOnTheNextRefresh) {
    testing::TempDir dir;
    HashNames names(dir / "Hashes.ini");
    testing::WriteText(dir / "Hashes.ini", "[Hashes]\n31=first\n");
    const auto time = std::filesystem::last_write_time(dir / "Hashes.ini");
    names.Refresh();
    EXPECT_EQ(names.NameForHash(31), "first");
    testing::WriteText(dir / "Hashes.ini", "[Hashes]\n31=other\n");
    std::filesystem::last_write_time(dir / "Hashes.ini", time);
    names.Refresh();
    EXPECT_EQ(names.NameForHash(31), "other");
}

}  // namespace
}  // namespace brenzo::workspace
