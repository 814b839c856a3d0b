#pragma once

#include <windows.h>

#include <vector>

#include "common/Version.h"
#include "ui/win32/Dialogs.h"

namespace brenzo::ui::win32 {

// "About...": the program's name and version, and the libraries it is built on (modal).
void ShowAboutForm(HWND owner);

// "Radio Music Duration Editor" (modal): lists the radio tracks of a ".dat15" file and writes a
// track's duration into it in place; the file stays open and locked while the window shows it.
void ShowDurationEditor(HWND owner, Dialogs& dialogs);

// Every library the Windows build links, with its version: what the About window credits and
// `brenzo --version` prints.
std::vector<Library> LinkedLibraries();

}  // namespace brenzo::ui::win32
