// The main window as the commands' UI port, and the preview's timer, bar and display.
#include "ui/win32/TKeshAudio.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>

#include "ui/win32/Text.h"
#include "ui/win32/WindowConstants.h"

namespace brenzo::ui::win32 {

using namespace window;

// ---- the preview's timer and bar -----------------------------------------------------------

void TKeshAudio::Timer1Timer() {
    preview_->Timer1Timer();
    // The strip and its sound are the workspace's, which a running command may be changing.
    if (Busy()) return;
    Strip->SetPosition(wave_->Position(stripEntry()));
}

void TKeshAudio::ProgressBar1MouseMove(bool leftButton, int x) {
    RECT r{};
    GetClientRect(ProgressBar1, &r);
    preview_->ProgressBar1MouseMove(leftButton, x, r.right - r.left);
}

void TKeshAudio::BarMouse(UINT message, WPARAM keys, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam);
    if (message == WM_LBUTTONDOWN) {
        // The bar keeps the mouse while the button is held, so a drag past its ends still seeks.
        SetCapture(ProgressBar1);
        seeking_ = true;
        ProgressBar1MouseMove(true, x);
    } else if (message == WM_MOUSEMOVE) {
        ProgressBar1MouseMove(seeking_ && (keys & MK_LBUTTON) != 0, x);
    } else if (message == WM_LBUTTONUP) {
        seeking_ = false;
        if (GetCapture() == ProgressBar1) ReleaseCapture();
        ProgressBar1MouseMove(false, x);
    }
}

// ---- the UI port ----------------------------------------------------------------------------

void TKeshAudio::SetStatus(std::string_view text) {
    SendMessageW(StatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

std::string TKeshAudio::StatusText() const {
    const auto length = LOWORD(SendMessageW(StatusBar1, SB_GETTEXTLENGTHW, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(StatusBar1, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return Utf8(text);
}

namespace {
int clampToInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX)); }
}  // namespace

void TKeshAudio::SetProgress(std::int64_t position, std::int64_t maximum) {
    barPosition_ = position;
    barMaximum_ = maximum;
    if (marquee_) return;
    SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, clampToInt(maximum));
    SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(clampToInt(position)), 0);
}

void TKeshAudio::SetMarquee(bool on) {
    marquee_ = on;
    const LONG_PTR style = GetWindowLongPtrW(ProgressBar1, GWL_STYLE);
    if (on) {
        SetWindowLongPtrW(ProgressBar1, GWL_STYLE, style | PBS_MARQUEE);
        SendMessageW(ProgressBar1, PBM_SETMARQUEE, TRUE, 30);
    } else {
        SendMessageW(ProgressBar1, PBM_SETMARQUEE, FALSE, 0);
        SetWindowLongPtrW(ProgressBar1, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
        SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, clampToInt(barMaximum_));
        SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(clampToInt(barPosition_)), 0);
        // The bar does not repaint on a change of style alone: the last marquee block would stay.
        InvalidateRect(ProgressBar1, nullptr, TRUE);
    }
}

int TKeshAudio::ProgressPosition() const { return static_cast<int>(SendMessageW(ProgressBar1, PBM_GETPOS, 0, 0)); }
int TKeshAudio::ProgressMaximum() const { return static_cast<int>(SendMessageW(ProgressBar1, PBM_GETRANGE, FALSE, 0)); }

void TKeshAudio::setMenuEnabled(HMENU menu, UINT item, bool enabled, bool byPosition) {
    EnableMenuItem(menu, item, (byPosition ? MF_BYPOSITION : MF_BYCOMMAND) | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TKeshAudio::ShowLocked(bool locked, bool cancellable) {
    if (cancellable)
        SetWindowPos(CancelButton, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    else if (!locked)
        ShowWindow(CancelButton, SW_HIDE);
    const bool on = !locked;
    EnableWindow(FilterEdit, on);
    EnableWindow(StringGrid1, on);
    for (UINT i = 0; i < 3; ++i) setMenuEnabled(MainMenu1, i, on, true);
    DrawMenuBar(hwnd_);
    DragAcceptFiles(hwnd_, on);
}

void TKeshAudio::ShowError(std::string_view message) { dialogs_.Error(hwnd_, message); }

void TKeshAudio::SetCaption(std::string_view caption) {
    fileCaption_ = std::string(caption);
    showCaption();
}

void TKeshAudio::MenusChanged() {
    const auto& m = ws_.Menus;
    ModifyMenuW(PopupMenu1, kExport1, MF_BYCOMMAND | MF_STRING, kExport1, NoMnemonic(m.export1Caption).c_str());
    ModifyMenuW(PopupMenu1, kReplace1, MF_BYCOMMAND | MF_STRING, kReplace1,
                (NoMnemonic(m.replace1Caption) + L"\tCtrl+R").c_str());
    setMenuEnabled(PopupMenu1, kReplace1, m.replace1Enabled);
    UpdateFileMenu();
}

std::optional<std::string> TKeshAudio::ChooseOpenFile(std::string_view filter) {
    return dialogs_.OpenFile(hwnd_, filter);
}

std::optional<std::string> TKeshAudio::AskSaveFile(std::string_view filter, std::string_view presetName) {
    return dialogs_.SaveFile(hwnd_, filter, presetName);
}

std::optional<std::string> TKeshAudio::AskFolder(std::string_view caption) { return dialogs_.Folder(hwnd_, caption); }

bool TKeshAudio::Ask(std::string_view title, std::string_view text, std::string_view yes, std::string_view no) {
    return dialogs_.Ask(hwnd_, title, text, yes, no);
}

void TKeshAudio::PumpEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // For the program's own loop, once the command is done.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatchWhileRunning(msg);
    }
}

void TKeshAudio::dispatchWhileRunning(const MSG& msg) {
    // Esc stops the work that can be stopped, wherever the focus is.
    if (Cancellable() && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        RequestCancel();
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void TKeshAudio::ShowPauseIcon(bool pause) {
    pauseIconShown_ = pause;
    SendMessageW(StatusBar1, SB_SETICON, 1, reinterpret_cast<LPARAM>(pause ? pauseIcon_ : playIcon_));
}

void TKeshAudio::SetTimerEnabled(bool enabled) {
    if (!hwnd_ || enabled == timerOn_) return;
    timerOn_ = enabled;
    if (enabled)
        SetTimer(hwnd_, kPreviewTimer, kPreviewTimerMs, nullptr);
    else
        KillTimer(hwnd_, kPreviewTimer);
}

// ---- the waveform strip ---------------------------------------------------------------------

std::optional<std::size_t> TKeshAudio::stripEntry() const {
    const int current = ListView_GetNextItem(StringGrid1, -1, LVNI_FOCUSED);
    return wave_->EntryFor(current < 0 ? std::nullopt : view_.EntryAt(static_cast<std::size_t>(current)));
}

void TKeshAudio::updateStrip() {
    if (!stripShown_ || IsLocked() || IsShutDown()) return;
    const auto change = wave_->Follow(stripEntry(), Strip->Width(), Strip->Wave().has_value());
    if (change == preview::WaveStrip::Change::None) return;
    Strip->SetWave(std::nullopt);
    Strip->SetPosition(std::nullopt);
    if (change == preview::WaveStrip::Change::Computing) SetTimer(hwnd_, kWaveTimer, kWaveTimerMs, nullptr);
}

void TKeshAudio::pollWave() {
    auto taken = wave_->Take();
    if (!taken.done) return;
    if (taken.wave) Strip->SetWave(std::move(*taken.wave));
    KillTimer(hwnd_, kWaveTimer);
}

std::string TKeshAudio::MenuText(WORD id) const {
    for (HMENU menu : {MainMenu1, PopupMenu1}) {
        wchar_t text[512] = {};
        if (GetMenuStringW(menu, id, text, static_cast<int>(std::size(text)), MF_BYCOMMAND) > 0) {
            std::wstring shown(text);
            return Utf8(shown.substr(0, shown.find(L'\t')));
        }
    }
    return {};
}

bool TKeshAudio::MenuEnabled(WORD id) const {
    for (HMENU menu : {MainMenu1, PopupMenu1}) {
        const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
        if (state != static_cast<UINT>(-1)) return (state & (MF_GRAYED | MF_DISABLED)) == 0;
    }
    return false;
}

}  // namespace brenzo::ui::win32
