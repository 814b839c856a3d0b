#include "radio/DurationEditor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "radio/Dat15Builder.h"
#include "support/Builders.h"
#include "support/TempDir.h"

namespace brenzo::radio {
namespace {

using testing::BuildDat15;
using ::testing::HasSubstr;
using testing::MixedEntries;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(DurationEditor, ListsShowsAndWritesTheTracksOfTheFileItHolds) {
    TempDir dir;
    const auto path = dir / "radio.dat15";
    const auto built = BuildDat15(MixedEntries());
    WriteFile(path, built.image);

    DurationEditor editor;
    ASSERT_TRUE(editor.Open(path));
    EXPECT_TRUE(editor.isOpen());
    EXPECT_EQ(editor.DamageNote(), "");
    // Only radio tracks, names as UTF-8, each with its stored duration.
    struct Row {
        const char* name;
        const char* duration;
    };
    const Row rows[] = {
        {"Radio R\xC3\xA9tro", "00:03:05"}, {"Night \xE2\x80\x93 Show", "01:02:03"}, {"Last Call", "00:00:42"}};
    ASSERT_EQ(editor.tracks().size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(editor.TrackName(i), rows[i].name);
        EXPECT_EQ(*editor.DurationText(i), rows[i].duration);
    }
    // Held: a second editor is refused until this one closes.
    DurationEditor second;
    EXPECT_THAT(second.Open(path).message(), HasSubstr("in use by another program"));
    EXPECT_FALSE(second.isOpen());

    ASSERT_TRUE(editor.WriteDuration(1, 250000));
    EXPECT_EQ(*editor.DurationText(1), "00:04:10");
    EXPECT_FALSE(editor.WriteDuration(3, 1000));
    EXPECT_FALSE(editor.DurationText(3));
    editor.Close();
    EXPECT_TRUE(editor.tracks().empty());
    EXPECT_FALSE(editor.WriteDuration(0, 1000));

    auto expected = built.image;
    testing::PutU32(expected, static_cast<std::size_t>(built.positions[2]) + 26, 250000);  // track 1 is entry 2
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_TRUE(second.Open(path));
}

TEST(DurationEditor, AFileThatCannotBeOpenedLeavesNothingHeld) {
    TempDir dir;
    DurationEditor editor;
    EXPECT_THAT(editor.Open(dir / "missing.dat15").message(), HasSubstr("missing.dat15"));
    EXPECT_FALSE(editor.isOpen());
    EXPECT_TRUE(editor.tracks().empty());
}

}  // namespace
}  // namespace brenzo::radio
