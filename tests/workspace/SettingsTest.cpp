#include "workspace/Settings.h"

#include <gtest/gtest.h>

#include "platform/Path.h"

namespace brenzo::workspace {
namespace {

using Files = std::vector<std::string>;

// Whole paths on this system from short names ("" stays empty, "~x" stays the relative "x").
Files paths(std::initializer_list<const char*> names) {
    Files out;
    for (const char* name : names) {
        const std::string n = name;
        if (n.empty() || n[0] == '~')
            out.push_back(n.empty() ? n : n.substr(1));
        else
            out.push_back(platform::PathToUtf8(std::filesystem::absolute(platform::PathFromUtf8(n))));
    }
    return out;
}

TEST(RecentFiles, NewestFirstEachOnceAtMostEight) {
    struct Case {
        const char* what;
        Files before;
        std::string opened;  // empty: the stored list cleaned
        Files after;
    };
    const Case cases[] = {
        {"nothing stored", {}, "", {}},
        {"garbage stored", paths({"", "a", "", "a", "~b", "~@Variant(", "c"}), "", paths({"a", "c"})},
        {"first file", {}, paths({"x.bin"})[0], paths({"x.bin"})},
        {"opened again moves to the top", paths({"a", "b", "c"}), paths({"c"})[0], paths({"c", "a", "b"})},
        {"the ninth drops the oldest", paths({"1", "2", "3", "4", "5", "6", "7", "8"}), paths({"9"})[0],
         paths({"9", "1", "2", "3", "4", "5", "6", "7"})},
        {"more than eight stored", paths({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}), "",
         paths({"1", "2", "3", "4", "5", "6", "7", "8"})},
    };
    for (const Case& c : cases) {
        const Files after = c.opened.empty() ? CleanRecentFiles(c.before) : RecentFilesAfterOpening(c.before, c.opened);
        EXPECT_EQ(after, c.after) << c.what;
    }
    EXPECT_EQ(RecentFilesWithout(paths({"a", "b", "a", "c"}), paths({"a"})[0]), paths({"b", "c"}));
}

TEST(RestoredPlacement, OnlyWhereTheWindowCanBeReached) {
    const WindowRect screens[] = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    struct Case {
        const char* what;
        std::optional<WindowRect> stored;
        std::optional<WindowRect> placed;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, std::nullopt},
        {"on the first screen", WindowRect{100, 80, 800, 600}, WindowRect{100, 80, 800, 600}},
        {"on the second screen", WindowRect{2000, 10, 394, 370}, WindowRect{2000, 10, 394, 370}},
        {"smaller than the original", WindowRect{100, 80, 300, 600}, std::nullopt},
        {"off every screen", WindowRect{5000, 80, 800, 600}, std::nullopt},
        {"title bar above the screens", WindowRect{100, -300, 800, 600}, std::nullopt},
        {"mostly off the right edge", WindowRect{3150, 10, 800, 600}, std::nullopt},
        {"larger than its screen", WindowRect{0, 0, 2500, 1500}, WindowRect{0, 0, 1920, 1080}},
    };
    for (const Case& c : cases) EXPECT_EQ(RestoredPlacement(c.stored, screens, 394, 370), c.placed) << c.what;
    EXPECT_EQ(RestoredPlacement(WindowRect{0, 0, 800, 600}, {}, 394, 370), std::nullopt);
}

}  // namespace
}  // namespace brenzo::workspace
