#include "workspace/ListView.h"

#include <gtest/gtest.h>

#include "support/Builders.h"
#include "support/RecordingPort.h"
#include "support/TempDir.h"

namespace brenzo::workspace {
namespace {

// Names, hashes, durations and rates chosen so that each sort has ties and a rate of 0.
std::vector<ListItem> items() {
    return {
        {"engine_idle", 0x8FA807D5, 44100, 22050, 4000},  // 2 s
        {"Horn", 2, 8000, 8000, 100},                     // 1 s
        {"0x0003", 3, 22050, 22050, 1234567},             // 1 s, tie with Horn
        {"door_OPEN", 0x10, 0, 0, 0},                     // rate 0: no duration
        {"horn", 5, 24000, 8000, 5},                      // 3 s; "Horn" ignoring case
    };
}

ListView viewOf(std::vector<ListItem> list = items()) {
    ListView view;
    view.SetItems(std::move(list));
    return view;
}

std::vector<std::size_t> shown(const ListView& view) {
    std::vector<std::size_t> out;
    for (std::size_t r = 0; r < view.RowCount(); ++r) out.push_back(*view.EntryAt(r));
    return out;
}

TEST(ListView, FiltersByNameOrHashIgnoringCase) {
    struct Case {
        const char* filter;
        std::vector<std::size_t> entries;
    };
    const Case cases[] = {
        {"", {0, 1, 2, 3, 4}}, {"ENGINE", {0}}, {"horn", {1, 4}},
        {"e_I", {0}},          {"open", {3}},   {"0x8fa8", {0}},  // the hash as the list shows unnamed sounds
        {"2410153941", {0}},                                      // the same hash as "Hashes.ini" keys it
        {"0x0000001", {3}},                                       // 0x00000010, though named
        {"idle0x", {}},                                           // never across two fields
        {"zzz", {}},
    };
    auto view = viewOf();
    for (const Case& c : cases) {
        view.SetFilter(c.filter);
        EXPECT_EQ(shown(view), c.entries) << "filter \"" << c.filter << "\"";
        EXPECT_EQ(view.Filtered(), *c.filter != '\0');
    }
}

TEST(ListView, RowTextsFollowTheShownOrderFromTheItemsAlone) {
    struct Case {
        std::size_t row;
        std::optional<ListRow> texts;
    };
    auto view = viewOf();
    view.SortBy(SortColumn::Duration, true);  // horn, engine_idle, Horn, 0x0003, door_OPEN
    const Case cases[] = {
        {0, ListRow{"horn", "00:00:03", "8000 Hz"}},
        {1, ListRow{"engine_idle", "00:00:02", "22050 Hz"}},
        {4, ListRow{"door_OPEN", "00:00:00", "0 Hz"}},
        {5, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto texts = view.RowTexts(c.row);
        ASSERT_EQ(texts.has_value(), c.texts.has_value()) << c.row;
        if (!texts) continue;
        EXPECT_EQ(texts->name, c.texts->name) << c.row;
        EXPECT_EQ(texts->duration, c.texts->duration) << c.row;
        EXPECT_EQ(texts->rate, c.texts->rate) << c.row;
    }
}

TEST(ListView, HeaderClicksSortAscendingDescendingThenFileOrder) {
    struct Case {
        std::vector<int> clicks;
        std::vector<std::size_t> entries;
    };
    const Case cases[] = {
        {{}, {0, 1, 2, 3, 4}},
        {{0}, {2, 3, 0, 1, 4}},        // "0x0003" < "door_open" < "engine_idle" < "Horn" =
                                       // "horn", in file order
        {{0, 0}, {1, 4, 0, 3, 2}},     // reversed keys, ties still in file order
        {{0, 0, 0}, {0, 1, 2, 3, 4}},  // the third click restores the file's order
        {{1}, {3, 1, 2, 0, 4}},        // 0 s, 1 s = 1 s, 2 s, 3 s
        {{1, 1}, {4, 0, 1, 2, 3}},
        {{2}, {3, 1, 4, 0, 2}},
        {{2, 2}, {0, 2, 1, 4, 3}},
        {{0, 0, 2}, {3, 1, 4, 0, 2}},  // another column starts ascending
        {{7}, {0, 1, 2, 3, 4}},        // no such column
    };
    for (const Case& c : cases) {
        auto view = viewOf();
        for (int column : c.clicks) view.ClickHeader(column);
        EXPECT_EQ(shown(view), c.entries) << "after " << c.clicks.size() << " clicks";
    }
}

TEST(ListView, RowsMapToEntriesThroughFilterSortAndNewItems) {
    auto view = viewOf();
    view.ClickHeader(1);
    view.ClickHeader(1);  // 4, 0, 1, 2, 3
    view.SetFilter("r");  // Horn, door_OPEN, horn
    ASSERT_EQ(shown(view), (std::vector<std::size_t>{4, 1, 3}));

    const std::vector<std::size_t> rows{2, 0, 9, 0};
    EXPECT_EQ(view.EntriesOf(rows), (std::vector<std::size_t>{4, 3}));  // row order, once, past the end skipped
    EXPECT_EQ(view.RowOf(3), 2u);
    EXPECT_EQ(view.RowOf(0), std::nullopt);  // filtered out
    EXPECT_EQ(view.RowOf(99), std::nullopt);
    EXPECT_EQ(view.EntryAt(3), std::nullopt);

    // A replace changes a duration: the view re-sorts the new items and keeps its filter.
    auto changed = items();
    changed[1].samples = 80000;  // Horn: 10 s
    view.SetItems(std::move(changed));
    EXPECT_EQ(shown(view), (std::vector<std::size_t>{1, 4, 3}));
    view.SetItems({});
    EXPECT_EQ(view.RowCount(), 0u);
    EXPECT_EQ(view.EntryAt(0), std::nullopt);
}

TEST(ListView, CaptionCountsTheShownRowsWhileFiltered) {
    struct Case {
        const char* fileCaption;
        std::size_t entries;
        const char* filter;
        std::size_t matching;
        const char* caption;
    };
    const Case cases[] = {
        {"Sound Bank ADPCM (2000 sounds) - b.bin", 2000, "", 2000, "Sound Bank ADPCM (2000 sounds) - b.bin"},
        {"Sound Bank ADPCM (2000 sounds) - b.bin", 2000, "match", 12, "Sound Bank ADPCM (12 of 2,000 sounds) - b.bin"},
        {"Sound Bank ADPCM with animations (4 sounds) - a (9 sounds).bin", 4, "match", 0,
         "Sound Bank ADPCM with animations (0 of 4 sounds) - a (9 sounds).bin"},
        {"Multichannel ADPCM (5 channels) - m.bin", 5, "match", 5, "Multichannel ADPCM (5 of 5 channels) - m.bin"},
        {"Sound Bank PCM (12345 sounds) - p.bin", 12345, "match", 1000,
         "Sound Bank PCM (1,000 of 12,345 sounds) - p.bin"},
    };
    for (const Case& c : cases) {
        std::vector<ListItem> list(c.entries);
        for (std::size_t i = 0; i < c.entries; ++i) list[i].name = i < c.matching ? "match" : "other";
        auto view = viewOf(std::move(list));
        view.SetFilter(c.filter);
        EXPECT_EQ(view.Caption(c.fileCaption), c.caption);
    }
}

TEST(ListView, CopyAndToolTipTexts) {
    auto list = items();
    list[1].name = "Horn\twith\ttabs";
    auto view = viewOf(std::move(list));
    view.ClickHeader(2);  // 3, 1, 4, 0, 2
    const std::vector<std::size_t> rows{3, 1, 4};
    EXPECT_EQ(view.CopyText(rows),
              "1\tHorn with tabs\t2\t00:00:01\t8000 Hz\n"
              "0\tengine_idle\t2410153941\t00:00:02\t22050 Hz\n"
              "2\t0x0003\t3\t00:00:01\t22050 Hz\n");
    EXPECT_EQ(view.ToolTip(4), "0x0003\nHash: 0x00000003 (3)\nSize: 1,234,567 bytes");
    EXPECT_EQ(view.ToolTip(5), "");
}

TEST(ListView, GroupsThousands) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},          {999, "999"},        {1000, "1,000"},
        {12345, "12,345"}, {100000, "100,000"}, {4294967295u, "4,294,967,295"}};
    for (auto [value, text] : cases) EXPECT_EQ(GroupThousands(value), text);
}

TEST(ListView, ItemsOfAnOpenedBank) {
    testing::TempDir dir;
    testing::WriteText(dir / "Hashes.ini", "[Hashes]\n7=door\n");
    std::vector<testing::TestSound> sounds(2);
    sounds[0].hash = 7;
    sounds[0].rate = 8000;
    sounds[0].pcm = testing::Tone(16000, 300, 8000);
    sounds[1].hash = 9;
    sounds[1].rate = 11025;
    sounds[1].compression = 1;
    sounds[1].pcm = testing::Tone(300, 300, 11025);
    auto built = testing::BuildBank(formats::BankKind::Plain, sounds);
    testing::WriteFile(dir / "b.bin", built.image);
    Workspace ws{HashNames(dir / "Hashes.ini"), nullptr};
    testing::RecordingPort port;
    ASSERT_EQ(ws.Open(dir / "b.bin", port), OpenOutcome::Loaded);
    const auto list = ListItems(ws);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "door");
    EXPECT_EQ(list[0].hash, 7u);
    EXPECT_EQ(list[0].rate, 8000u);
    EXPECT_EQ(list[0].samples, built.model.BanksInfo[0].Size2);
    EXPECT_EQ(list[0].size, built.model.BanksInfo[0].Size);
    EXPECT_EQ(list[1].name, "0x0009");
    EXPECT_EQ(list[1].size, built.model.BanksInfo[1].Size);
}

}  // namespace
}  // namespace brenzo::workspace
