// brenzo-bench-view N TEXT: times the list's filter over N named sounds in this process and
// prints the median of several runs in seconds: filtering by TEXT, then clearing the filter.
// With "sort" as a third argument it times a sort by name instead.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "workspace/ListView.h"

namespace {

// Names as modders give them: a group, a word and a number, in mixed case.
std::vector<brenzo::workspace::ListItem> itemsOf(std::size_t n) {
    static const char* const groups[] = {"SFX", "Vehicle", "voice", "Amb", "ui", "Weapon", "music", "Foley"};
    static const char* const words[] = {"engine_idle", "Horn", "door_open", "Step_Gravel", "shot", "Click", "wind"};
    std::vector<brenzo::workspace::ListItem> items(n);
    for (std::size_t i = 0; i < n; ++i) {
        items[i].name = std::string(groups[i % 8]) + "_" + words[(i / 8) % 7] + "_" + std::to_string(i);
        items[i].hash = static_cast<std::uint32_t>(i * 2654435761u + 12345u);
        items[i].samples = static_cast<std::uint32_t>(1000 + i % 50000);
        items[i].rate = i % 3 ? 22050 : 44100;
    }
    return items;
}

template <class F>
double median(F f, int runs = 9) {
    std::vector<double> t;
    for (int r = 0; r < runs; ++r) {
        auto a = std::chrono::steady_clock::now();
        f();
        t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: brenzo-bench-view N TEXT [sort]\n");
        return 1;
    }
    const auto n = static_cast<std::size_t>(std::atol(argv[1]));
    const std::string text = argv[2];
    brenzo::workspace::ListView view;
    view.SetItems(itemsOf(n));
    double seconds = 0;
    std::size_t shown = 0;
    if (argc > 3 && std::string(argv[3]) == "sort") {
        seconds = median([&] {
            view.SortBy(brenzo::workspace::SortColumn::Name, false);
            view.SortBy(brenzo::workspace::SortColumn::None, false);
        });
    } else {
        seconds = median([&] {
            view.SetFilter(text);
            shown = view.RowCount();
            view.SetFilter("");
        });
    }
    std::printf("%.6f\n", seconds);
    std::fprintf(stderr, "%zu of %zu rows shown\n", shown, n);
    return 0;
}
