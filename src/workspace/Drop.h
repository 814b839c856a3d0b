#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "workspace/Workspace.h"

namespace brenzo::workspace {

// What a file dropped on the window does: an audio file dropped on a row of a loaded list is
// offered as that sound's replacement; anything else is opened as a container, as "Load" would.
enum class DropAction { Open, AskReplace };

// `fileName` is the dropped file's name; `onRow` whether it was dropped on a row of the list.
DropAction DecideDrop(std::string_view fileName, bool onRow);

// The question asked before a dropped file replaces a sound: "Replace NAME with FILE?".
std::string ReplaceQuestion(std::string_view soundName, std::string_view fileName);
// The same question for a drop on the row of `entry`: a multichannel file is replaced whole,
// so the question names the file.
std::string ReplaceQuestion(const Workspace& ws, std::size_t entry, std::string_view fileName);

}  // namespace brenzo::workspace
