#include "ui/win32/TAboutForm.h"

#include "common/Version.h"
#include "engine/Engine.h"
#include "ui/win32/FormIds.h"
#include "ui/win32/FormText.h"
#include "ui/win32/Forms.h"

namespace brenzo::ui::win32 {
namespace {

// The sizes below are the Qt form's pixels at 96 dpi, scaled by the dialog's own font (Tahoma
// 8 pt, 11 pixels there), which the system scales with the monitor's DPI.
int scaled(HWND dialog, int pixels) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    const int height = font.lfHeight < 0 ? -font.lfHeight : (font.lfHeight > 0 ? font.lfHeight : 11);
    return MulDiv(pixels, height, 11);
}

HFONT nameFont(HWND dialog) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    font.lfHeight = -scaled(dialog, 19);
    font.lfWidth = 0;
    font.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&font);
}

RECT rectIn(HWND dialog, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The libraries' sentence wraps; the label and the window grow to hold all of it, and the
// picture stays centred beside the texts.
void fitLibraries(HWND dialog) {
    HWND libraries = GetDlgItem(dialog, IDC_ABOUT_LIBRARIES);
    RECT label = rectIn(dialog, libraries);
    const std::wstring wide = text::Wide(text::GetText(libraries));
    HDC dc = GetDC(libraries);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(libraries, WM_GETFONT, 0, 0)));
    RECT need{0, 0, label.right - label.left, 0};
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(libraries, dc);
    const int grow = (need.bottom - need.top) - (label.bottom - label.top);
    SetWindowPos(libraries, nullptr, 0, 0, label.right - label.left, need.bottom - need.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT window{};
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + grow,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    HWND picture = GetDlgItem(dialog, IDC_ABOUT_PICTURE);
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT place = rectIn(dialog, picture);
    const int side = scaled(dialog, 64);
    SetWindowPos(picture, nullptr, place.right - side, (client.bottom - side) / 2, side, side,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM w, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            HFONT big = nameFont(dialog);
            SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(big));
            SendDlgItemMessageW(dialog, IDC_ABOUT_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(big), FALSE);
            text::SetText(GetDlgItem(dialog, IDC_ABOUT_VERSION), "v" + std::string(kVersion));
            text::SetText(GetDlgItem(dialog, IDC_ABOUT_LIBRARIES),
                          "Program uses " + LibrariesSentence(LinkedLibraries()));
            const int side = scaled(dialog, 64);
            if (HANDLE icon =
                    LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BRENZO), IMAGE_ICON, side, side, 0))
                SendDlgItemMessageW(dialog, IDC_ABOUT_PICTURE, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            fitLibraries(dialog);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(w) == IDCANCEL || LOWORD(w) == IDOK) {
                // A window of CreateAboutForm is not modal; EndDialog only hides it.
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY: {
            if (auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, IDC_ABOUT_PICTURE, STM_GETICON, 0, 0)))
                DestroyIcon(icon);
            DeleteObject(reinterpret_cast<HFONT>(GetWindowLongPtrW(dialog, DWLP_USER)));
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutForm(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, aboutProc, 0);
}

HWND CreateAboutForm(HWND owner) {
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, aboutProc, 0);
}

std::vector<Library> LinkedLibraries() {
    // No toolkit of its own: the window is Windows' own controls.
    std::vector<Library> libraries = engine::LinkedLibraries();
    for (auto& l : engine::PlayerLibraries()) libraries.push_back(std::move(l));
    return libraries;
}

}  // namespace brenzo::ui::win32
