#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workspace/Settings.h"

namespace brenzo::ui {

// The window's remembered things in the platform's settings store (QSettings: a file under
// the user's configuration folder, the registry on Windows). Values of the wrong type read as
// missing; the core's rules turn what was read into something usable.
class WindowSettings {
public:
    static std::vector<std::string> RecentFiles();
    static void SetRecentFiles(const std::vector<std::string>& files);
    static std::optional<workspace::WindowRect> Placement();
    static bool Maximized();
    static void SetPlacement(const workspace::WindowRect& normal, bool maximized);
};

}  // namespace brenzo::ui
