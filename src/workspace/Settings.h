#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brenzo::workspace {

// What the window remembers between runs, and the rules that make a stored value usable. The
// store itself belongs to the front end; whatever it held (nothing, or garbage) gives a usable
// value here, never an error.

inline constexpr std::size_t kRecentFilesKept = 8;

// A recent files list as stored: entries that are not whole paths and repeats dropped (the first
// kept), at most 8.
std::vector<std::string> CleanRecentFiles(std::vector<std::string> stored);
// The list after a file was opened: the file first, once, at most 8 in all.
std::vector<std::string> RecentFilesAfterOpening(std::vector<std::string> list, const std::string& opened);
// The list without a file (it could not be opened any more).
std::vector<std::string> RecentFilesWithout(std::vector<std::string> list, const std::string& gone);

struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowRect&) const = default;
};

// Where the window opens: the stored place when it is at least the original size and a good
// part of its top edge (where it is dragged from) lies on one of the screens; otherwise nothing,
// and the window opens at its original size where the system puts it.
std::optional<WindowRect> RestoredPlacement(std::optional<WindowRect> stored, std::span<const WindowRect> screens,
                                            int minimumWidth, int minimumHeight);

}  // namespace brenzo::workspace
