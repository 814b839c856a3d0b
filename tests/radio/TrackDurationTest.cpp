#include "radio/TrackDuration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brenzo::radio {
namespace {

using ::testing::HasSubstr;

TEST(FormatTrackDuration, ShowsWholeSecondsAndDropsTheMilliseconds) {
    EXPECT_EQ(FormatTrackDuration(3 * 60000 + 5 * 1000), "00:03:05");
    EXPECT_EQ(FormatTrackDuration(3 * 60000 + 5 * 1000 + 999), "00:03:05");
    EXPECT_EQ(FormatTrackDuration(0), "00:00:00");
    EXPECT_EQ(FormatTrackDuration(999), "00:00:00");
    EXPECT_EQ(FormatTrackDuration(23 * 3600000 + 59 * 60000 + 59999), "23:59:59");
}

TEST(FormatTrackDuration, TakesHoursModulo24) {
    EXPECT_EQ(FormatTrackDuration(25 * 3600000 + 60000 + 1000), "01:01:01");
    EXPECT_EQ(FormatTrackDuration(24 * 3600000), "00:00:00");
    // 4294967 s = 1193 h 2 min 47 s.
    EXPECT_EQ(FormatTrackDuration(0xFFFFFFFFu), "17:02:47");
}

TEST(ParseTrackDuration, TakesEachFieldAsGiven) {
    EXPECT_EQ(*ParseTrackDuration("00:03:05"), 185000u);
    EXPECT_EQ(*ParseTrackDuration("01:00:00"), 3600000u);
    EXPECT_EQ(*ParseTrackDuration("00:99:99"), 99u * 60000 + 99u * 1000);
    EXPECT_EQ(*ParseTrackDuration("99:99:99"), 99u * 3600000 + 99u * 60000 + 99u * 1000);
}

TEST(ParseTrackDuration, BlanksCountAsZeros) {
    EXPECT_EQ(*ParseTrackDuration("  :03:05"), 185000u);
    EXPECT_EQ(*ParseTrackDuration(" 1: 2:3 "), 3600000u + 2 * 60000 + 30 * 1000);
    EXPECT_EQ(*ParseTrackDuration("  :  :  "), 0u);
}

TEST(ParseTrackDuration, RefusesTextThatIsNotThreeTwoDigitFields) {
    for (const char* text : {"", "3:05", "00:03:5", "0:03:05 ", "00:03:05:00", "00-03-05", "00:03.05", "aa:bb:cc",
                             "+1:03:05", "-1:03:05", "0x:03:05", "00:03:05\n", "\xEF\xBC\x90\xEF\xBC\x90:03:05"}) {
        auto r = ParseTrackDuration(text);
        ASSERT_FALSE(r) << text;
        EXPECT_FALSE(r.isFileSystemError());
        EXPECT_THAT(r.message(), HasSubstr("hh:nn:ss"));
    }
    // An embedded NUL is a character like any other, not an end of the text.
    EXPECT_FALSE(ParseTrackDuration(std::string_view("00:0\0:05", 8)));
}

TEST(ParseTrackDuration, ReadsBackEveryShownDurationOfADay) {
    for (std::uint32_t s = 0; s < 24 * 3600; s += 7) {
        EXPECT_EQ(*ParseTrackDuration(FormatTrackDuration(s * 1000 + 500)), s * 1000) << s;
    }
}

}  // namespace
}  // namespace brenzo::radio
