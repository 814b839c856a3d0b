#include "platform/Path.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace brenzo::platform {
namespace {

TEST(Utf16FromUtf8, ConvertsEveryLengthOfSequence) {
    EXPECT_EQ(Utf16FromUtf8("a"), u"a");
    EXPECT_EQ(Utf16FromUtf8("\xC3\xA4"), u"\u00E4");
    EXPECT_EQ(Utf16FromUtf8("\xE6\x97\xA5"), u"\u65E5");
    EXPECT_EQ(Utf16FromUtf8("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");  // a surrogate pair
    EXPECT_EQ(Utf16FromUtf8(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}

// A name from a "Hashes.ini" in a legacy code page, or a cut-off argument, must give a name,
// never an exception out of the path conversion.
TEST(Utf16FromUtf8, ReplacesEachByteThatIsNotUtf8) {
    EXPECT_EQ(Utf16FromUtf8("caf\xE9"), u"caf\uFFFD");                          // Windows-1252
    EXPECT_EQ(Utf16FromUtf8("\xC3"), u"\uFFFD");                                // cut off
    EXPECT_EQ(Utf16FromUtf8("\xE6\x97"), u"\uFFFD\uFFFD");                      // cut off, two bytes
    EXPECT_EQ(Utf16FromUtf8("\x80x"), u"\uFFFDx");                              // stray continuation
    EXPECT_EQ(Utf16FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");                      // overlong "/"
    EXPECT_EQ(Utf16FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");            // a surrogate
    EXPECT_EQ(Utf16FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
    EXPECT_EQ(Utf16FromUtf8("\xFF\xFE"), u"\uFFFD\uFFFD");
}

TEST(Utf8FromUtf16, ConvertsPairsAndReplacesLoneSurrogates) {
    EXPECT_EQ(Utf8FromUtf16(u"b\u00E4nk \u65E5"), "b\xC3\xA4nk \xE6\x97\xA5");
    EXPECT_EQ(Utf8FromUtf16(u"\U0001F3B5"), "\xF0\x9F\x8E\xB5");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00};
    EXPECT_EQ(Utf8FromUtf16(std::u16string_view(lone, 4)),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(PathFromUtf8, NonAsciiNamesRoundTripThroughThePath) {
    const std::string name = "m\xC3\xBAsica \xE6\x97\xA5 \xF0\x9F\x8E\xB5.bin";
    EXPECT_EQ(PathToUtf8(PathFromUtf8(name)), name);
    EXPECT_EQ(FileNameUtf8(PathFromUtf8("dir/" + name)), name);
}

TEST(PathFromUtf8, ANameThatIsNotUtf8FailsToOpenWithAMessage) {
    testing::TempDir dir;
    const auto path = dir.path() / PathFromUtf8("caf\xE9.bin");
    auto read = ReadWholeFile(path);
    ASSERT_FALSE(read);
    EXPECT_TRUE(read.isFileSystemError());
    EXPECT_EQ(read.message().rfind("cannot read caf", 0), 0u) << read.message();
}

}  // namespace
}  // namespace brenzo::platform
