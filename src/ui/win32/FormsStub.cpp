// Stand-ins for the duration editor, the About window and the library list until their own
// files are linked in their place.
#include "engine/Engine.h"
#include "ui/win32/Forms.h"

namespace brenzo::ui::win32 {

void ShowAboutForm(HWND owner) {
    MessageBoxW(owner, L"Brenzo", L"About", MB_OK | MB_ICONINFORMATION);
}

void ShowDurationEditor(HWND, Dialogs&) {}

std::vector<Library> LinkedLibraries() { return engine::LinkedLibraries(); }

}  // namespace brenzo::ui::win32
