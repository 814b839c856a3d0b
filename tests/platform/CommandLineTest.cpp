#include <gtest/gtest.h>

#include "platform/Files.h"

namespace brenzo::platform {
namespace {

using Args = std::vector<std::string>;

// The examples the C runtime's documentation gives, behind a program name.
TEST(SplitWindowsCommandLine, SplitsAsTheCRuntimeDoes) {
    EXPECT_EQ(SplitWindowsCommandLine(u"prog \"abc\" d e"), (Args{"prog", "abc", "d", "e"}));
    EXPECT_EQ(SplitWindowsCommandLine(u"prog a\\\\b d\"e f\"g h"), (Args{"prog", "a\\\\b", "de fg", "h"}));
    EXPECT_EQ(SplitWindowsCommandLine(u"prog a\\\\\\\"b c d"), (Args{"prog", "a\\\"b", "c", "d"}));
    EXPECT_EQ(SplitWindowsCommandLine(u"prog a\\\\\\\\\"b c\" d e"), (Args{"prog", "a\\\\b c", "d", "e"}));
    EXPECT_EQ(SplitWindowsCommandLine(u"prog a\"b\"\" c d"), (Args{"prog", "ab\" c d"}));
}

TEST(SplitWindowsCommandLine, KeepsPathsEmptyArgumentsAndEveryCharacter) {
    // The program's name takes its backslashes as they are, even before its closing quote.
    EXPECT_EQ(SplitWindowsCommandLine(u"\"C:\\Program Files\\b\\\" --hashes x"),
              (Args{"C:\\Program Files\\b\\", "--hashes", "x"}));
    // A folder with a trailing backslash, quoted: the doubled backslash before the quote.
    EXPECT_EQ(SplitWindowsCommandLine(u"b.exe export-all \"C:\\sounds\\\\\""),
              (Args{"b.exe", "export-all", "C:\\sounds\\"}));
    EXPECT_EQ(SplitWindowsCommandLine(u"b.exe \"\" x"), (Args{"b.exe", "", "x"}));
    EXPECT_EQ(SplitWindowsCommandLine(u"b.exe\ta \t b  "), (Args{"b.exe", "a", "b"}));
    EXPECT_EQ(SplitWindowsCommandLine(u"b.exe \"m\u00FAsica \u65E5\\b\u00E4nk.bin\" /mods/x.bin"),
              (Args{"b.exe", "m\xC3\xBAsica \xE6\x97\xA5\\b\xC3\xA4nk.bin", "/mods/x.bin"}));
    EXPECT_EQ(SplitWindowsCommandLine(u""), (Args{""}));
}

}  // namespace
}  // namespace brenzo::platform
