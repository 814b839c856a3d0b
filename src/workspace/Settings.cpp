#include "workspace/Settings.h"

#include <algorithm>

#include "platform/Path.h"

namespace brenzo::workspace {

std::vector<std::string> CleanRecentFiles(std::vector<std::string> stored) {
    std::vector<std::string> list;
    for (auto& file : stored) {
        if (list.size() == kRecentFilesKept) break;
        // What is stored is always a whole path; anything else did not come from us.
        if (file.empty() || !platform::PathFromUtf8(file).is_absolute() ||
            std::find(list.begin(), list.end(), file) != list.end())
            continue;
        list.push_back(std::move(file));
    }
    return list;
}

std::vector<std::string> RecentFilesAfterOpening(std::vector<std::string> list, const std::string& opened) {
    list.insert(list.begin(), opened);
    return CleanRecentFiles(std::move(list));
}

std::vector<std::string> RecentFilesWithout(std::vector<std::string> list, const std::string& gone) {
    list.erase(std::remove(list.begin(), list.end(), gone), list.end());
    return CleanRecentFiles(std::move(list));
}

std::optional<WindowRect> RestoredPlacement(std::optional<WindowRect> stored, std::span<const WindowRect> screens,
                                            int minimumWidth, int minimumHeight) {
    if (!stored || stored->width < minimumWidth || stored->height < minimumHeight) return std::nullopt;
    // The top edge, 100 pixels of it at least (or all of a narrower window), must be reachable.
    const int needed = std::min(100, stored->width);
    for (const WindowRect& screen : screens) {
        if (screen.width <= 0 || screen.height <= 0) continue;
        const bool topInside = stored->y >= screen.y && stored->y < screen.y + screen.height;
        const long left = std::max<long>(stored->x, screen.x);
        const long right = std::min<long>(long{stored->x} + stored->width, long{screen.x} + screen.width);
        if (topInside && right - left >= needed) {
            WindowRect placed = *stored;
            // Never larger than the screen it opens on.
            placed.width = std::min(placed.width, screen.width);
            placed.height = std::min(placed.height, screen.height);
            return placed;
        }
    }
    return std::nullopt;
}

}  // namespace brenzo::workspace
