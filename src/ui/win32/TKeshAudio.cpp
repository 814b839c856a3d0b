#include "ui/win32/TKeshAudio.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>

#include "engine/Loudness.h"
#include "export/ExportCommands.h"
#include "export/ExportSelection.h"
#include "replace/ImportAll.h"
#include "replace/ReplaceCommand.h"
#include "ui/win32/Artwork.h"
#include "ui/win32/Forms.h"
#include "ui/win32/Text.h"
#include "ui/win32/WindowConstants.h"

namespace brenzo::ui::win32 {
namespace {

using namespace window;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<TKeshAudio*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return window->HandleMessage(hwnd, message, wParam, lParam);
}

// The window's dots per inch: its monitor's where Windows says (10 and later), else the system's.
int windowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && hwnd) {
        if (const UINT dpi = getDpi(hwnd)) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void registerClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        // The program's icon from the resources, where they give one.
        wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}

// The three child controls that need their own keys and mice: the list, the filter field and
// the progress bar.
LRESULT CALLBACK childProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    auto* window = reinterpret_cast<TKeshAudio*>(data);
    if (id == 1 && (message == WM_KEYDOWN || message == WM_CHAR) && window->ListKey(message, wParam)) return 0;
    if (id == 2 && message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        window->FilterKey(wParam);
        return 0;
    }
    if (id == 2 && message == WM_CHAR && wParam == 0x1B) return 0;
    if (id == 3 && (message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE || message == WM_LBUTTONUP))
        window->BarMouse(message, wParam, lParam);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, childProc, id);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

TKeshAudio::TKeshAudio(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch,
                       engine::Converter& converter, engine::Player& player, Dialogs& dialogs, WindowSettings settings)
    : scratch_(scratch),
      converter_(converter),
      dialogs_(dialogs),
      settings_(std::move(settings)),
      ws_(workspace::HashNames(std::move(hashesFile)), &scratch) {
    keepBackups_ = settings_.Flag(kKeepBackupsValue, replace::kKeepBackupsByDefault);
    matchLoudness_ = settings_.Flag(kMatchLoudnessValue, replace::kMatchLoudnessByDefault);
    recent_ = settings_.RecentFiles();

    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    registerClass();
    playIcon_ = MakePlayIcon(false);
    pauseIcon_ = MakePlayIcon(true);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_ = CreateFontIndirectW(&metrics.lfMessageFont);

    buildMenus();
    dpi_ = windowDpi(nullptr);
    const SIZE size = originalSize();
    CreateWindowExW(0, kClassName, L"Brenzo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy,
                    nullptr, MainMenu1, GetModuleHandleW(nullptr), this);
    // On a monitor of its own scale the window is made again at its original size there.
    if (const int dpi = windowDpi(hwnd_); dpi != dpi_) {
        dpi_ = dpi;
        const SIZE scaled = originalSize();
        SetWindowPos(hwnd_, nullptr, 0, 0, scaled.cx, scaled.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    createControls();
    DragAcceptFiles(hwnd_, TRUE);
    preview_ = std::make_unique<preview::Preview>(ws_, *this, *this, player);
    wave_ = std::make_unique<preview::WaveStrip>(ws_, *preview_);
    // The long commands run on the worker's thread; their calls reach this window on its own,
    // through its queue. A function the window is no longer there to run is freed unrun.
    worker_ = std::make_unique<workspace::Worker>(*this, [hwnd = hwnd_](std::function<void()> fn) {
        auto* owned = new std::function<void()>(std::move(fn));
        if (!hwnd || !PostMessageW(hwnd, kRunMessage, 0, reinterpret_cast<LPARAM>(owned))) delete owned;
    });
    // A first play exports its sound into the cache as the long commands run.
    preview_->BuildCacheWith([this](const workspace::Worker::Command& command) { runCommand(command); });

    ws_.StringGridClear(*this);
    SetCaption(workspace::kNotLoadedCaption);
    ShowPauseIcon(false);
    MenusChanged();
    rebuildRecentMenu();
    restorePlacement();
    layout();
}

TKeshAudio::~TKeshAudio() {
    worker_.reset();
    shutDown();
    if (hwnd_) DestroyWindow(hwnd_);
    if (PopupMenu1) DestroyMenu(PopupMenu1);
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    if (font_) DeleteObject(font_);
    if (playIcon_) DestroyIcon(playIcon_);
    if (pauseIcon_) DestroyIcon(pauseIcon_);
}

SIZE TKeshAudio::originalSize() const {
    // The original client area with its menu bar: the window opens at it and never gets smaller.
    RECT r{0, 0, px(kClientWidth), px(kClientHeight)};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, TRUE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

void TKeshAudio::Show(int how) {
    if (settings_.Maximized() && (how == SW_SHOWNORMAL || how == SW_SHOWDEFAULT || how == SW_SHOW))
        how = SW_SHOWMAXIMIZED;
    ShowWindow(hwnd_, how);
    UpdateWindow(hwnd_);
    SetFocus(StringGrid1);
}

void TKeshAudio::buildMenus() {
    MainMenu1 = CreateMenu();
    File1 = CreatePopupMenu();
    Recent1 = CreatePopupMenu();
    Tools1 = CreatePopupMenu();
    AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(File1), L"&File");
    AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(Tools1), L"&Edit");
    AppendMenuW(MainMenu1, MF_STRING, kHelp1, L"About...");
    AppendMenuW(Tools1, MF_STRING, kRadioLength1, L"Radio Music Duration Editor");
    fillFileMenu();

    PopupMenu1 = CreatePopupMenu();
    AppendMenuW(PopupMenu1, MF_STRING, kPlay1, L"Play");
    AppendMenuW(PopupMenu1, MF_STRING, kReplace1, L"Replace\tCtrl+R");
    AppendMenuW(PopupMenu1, MF_STRING, kExport1, L"Export");

    // The pop-up's Replace answers its key wherever the window has the focus.
    ACCEL keys[] = {
        {FCONTROL | FVIRTKEY, 'O', kLoad1},
        {FCONTROL | FVIRTKEY, 'E', kExport2},
        {FCONTROL | FSHIFT | FVIRTKEY, 'E', kExportall1},
        {FCONTROL | FVIRTKEY, 'I', kImportFolder1},
        {FCONTROL | FVIRTKEY, 'Q', kExit1},
        {FCONTROL | FVIRTKEY, 'R', kReplace1},
        {FCONTROL | FVIRTKEY, 'F', kFind1},
    };
    accelerators_ = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
}

void TKeshAudio::fillFileMenu() {
    // Built again whenever it opens or the workspace's menus change: "Export" comes and goes,
    // and whether a backup exists can change behind the window's back.
    while (GetMenuItemCount(File1) > 0) RemoveMenu(File1, 0, MF_BYPOSITION);
    const auto& m = ws_.Menus;
    auto item = [&](WORD id, const wchar_t* text, bool enabled = true, bool checked = false) {
        AppendMenuW(File1, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED) | (checked ? MF_CHECKED : MF_UNCHECKED), id,
                    text);
    };
    item(kLoad1, L"Load\tCtrl+O");
    AppendMenuW(File1, MF_POPUP | (recent_.empty() ? MF_GRAYED : MF_ENABLED), reinterpret_cast<UINT_PTR>(Recent1),
                L"Recent files");
    AppendMenuW(File1, MF_SEPARATOR, 0, nullptr);
    if (m.export2Visible) item(kExport2, L"Export\tCtrl+E");
    item(kExportall1, L"Export all\tCtrl+Shift+E");
    item(kImportFolder1, L"Import folder...\tCtrl+I", replace::ImportAvailable(ws_));
    AppendMenuW(File1, MF_SEPARATOR, 0, nullptr);
    item(kKeepBackups1, L"Keep backups", true, keepBackups_);
    item(kMatchLoudness1, L"Match loudness on replace", true, matchLoudness_);
    item(kRestoreOriginal1, L"Restore original", replace::RestoreAvailable(ws_));
    AppendMenuW(File1, MF_SEPARATOR, 0, nullptr);
    item(kExit1, L"Exit\tCtrl+Q");
}

void TKeshAudio::createControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, HWND parent, WORD id) {
        HWND h = CreateWindowExW(exStyle, cls, text, WS_CHILD | style, 0, 0, 10, 10, parent,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
        if (font_) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return h;
    };
    GroupBox1 = child(0, WC_BUTTONW, L"", WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, hwnd_, 0);
    // Hidden until Ctrl+F, so that the list looks as it always has.
    FilterEdit = child(WS_EX_CLIENTEDGE, WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, hwnd_, 0);
    SendMessageW(FilterEdit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Filter by name or hash"));
    SetWindowSubclass(FilterEdit, childProc, 2, reinterpret_cast<DWORD_PTR>(this));
    // A virtual list: the rows' texts are asked for as they are shown, so 100,000 rows cost
    // nothing until they scroll by.
    StringGrid1 = child(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                        WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, hwnd_, 0);
    ListView_SetExtendedListViewStyle(StringGrid1,
                                      LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    const wchar_t* titles[] = {L"Name", L"Duration", L"Sample Rate"};
    const int widths[] = {240, 65, 79};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(titles[i]);
        column.cx = widths[i];
        column.iSubItem = i;
        ListView_InsertColumn(StringGrid1, i, &column);
    }
    SetWindowSubclass(StringGrid1, childProc, 1, reinterpret_cast<DWORD_PTR>(this));

    // Three panels: the state text, the play/pause icon and the progress bar.
    StatusBar1 = child(0, STATUSCLASSNAMEW, L"", WS_VISIBLE, hwnd_, 0);
    ProgressBar1 = child(0, PROGRESS_CLASSW, L"", WS_VISIBLE, StatusBar1, 0);
    SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
    SetWindowSubclass(ProgressBar1, childProc, 3, reinterpret_cast<DWORD_PTR>(this));
    // Over the state text while work that can be stopped runs.
    CancelButton = child(0, WC_BUTTONW, L"Cancel", BS_PUSHBUTTON, hwnd_, kCancel);

    Strip = std::make_unique<WaveformStrip>(hwnd_);
    Strip->onSeek = [this](int x, int width) {
        const auto entry = stripEntry();
        if (!entry || IsLocked()) return;
        wave_->Seek(*entry, x, width);
        Timer1Timer();
    };
}

void TKeshAudio::layout() {
    if (!hwnd_ || !StatusBar1) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    SendMessageW(StatusBar1, WM_SIZE, 0, 0);
    RECT bar{};
    GetWindowRect(StatusBar1, &bar);
    const int barHeight = bar.bottom - bar.top;
    int parts[] = {px(180), px(204), -1};
    SendMessageW(StatusBar1, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    RECT third{};
    SendMessageW(StatusBar1, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&third));
    MoveWindow(ProgressBar1, third.left + 1, third.top + 1, third.right - third.left - 2, third.bottom - third.top - 2,
               TRUE);
    const int statusTop = client.bottom - barHeight;
    SetWindowPos(CancelButton, HWND_TOP, px(118), statusTop + 2, px(58), barHeight - 4, SWP_NOACTIVATE);

    const int width = client.right - px(4);
    const bool room = client.bottom >= px(kClientHeight + kStripRoom);
    const int height = room ? statusTop - px(WaveformStrip::kHeight + 2) : statusTop;
    MoveWindow(GroupBox1, px(2), 0, width, height, TRUE);
    if (room) MoveWindow(Strip->Handle(), px(2), height + px(1), width, px(WaveformStrip::kHeight), TRUE);
    if (room != stripShown_) {
        stripShown_ = room;
        ShowWindow(Strip->Handle(), room ? SW_SHOWNA : SW_HIDE);
    }
    if (room) PostMessageW(hwnd_, kStripMessage, 0, 0);
    // Below the group box's caption, inside its frame.
    int top = px(18);
    if (filterShown_) {
        MoveWindow(FilterEdit, px(6), top, width - px(8), px(20), TRUE);
        top += px(22);
    }
    MoveWindow(StringGrid1, px(6), top, width - px(8), std::max(0, height - top - px(4)), TRUE);
    RECT listClient{};
    GetClientRect(StringGrid1, &listClient);
    // The name takes what the two fixed columns leave.
    ListView_SetColumnWidth(StringGrid1, 1, px(65));
    ListView_SetColumnWidth(StringGrid1, 2, px(79));
    ListView_SetColumnWidth(StringGrid1, 0, std::max(px(40), static_cast<int>(listClient.right) - px(65 + 79)));
    // The group box's frame and the status bar's panels moved: nothing of the old ones stays.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// ---- commands -------------------------------------------------------------------------------

void TKeshAudio::command(WORD id) {
    if (id == kCancel) {
        requestCancel();
        return;
    }
    // While a command runs the menus are shut and their keys do nothing.
    if (IsLocked()) return;
    if (id >= kRecentFirst && id < kRecentFirst + workspace::kRecentFilesKept) {
        OpenRecent(id - kRecentFirst);
        return;
    }
    // Each command with what must hold for it to run: an item that is hidden or greyed does
    // nothing from its key either.
    using Available = bool (*)(const workspace::Workspace&);
    const struct {
        WORD id;
        void (TKeshAudio::*click)();
        Available available;
    } commands[] = {
        {kLoad1, &TKeshAudio::Load1Click, nullptr},
        {kExport2, &TKeshAudio::Export2Click, [](const workspace::Workspace& ws) { return ws.Menus.export2Visible; }},
        {kExportall1, &TKeshAudio::Exportall1Click, nullptr},
        {kImportFolder1, &TKeshAudio::ImportFolder1Click, replace::ImportAvailable},
        {kKeepBackups1, &TKeshAudio::KeepBackups1Click, nullptr},
        {kMatchLoudness1, &TKeshAudio::MatchLoudness1Click, nullptr},
        {kRestoreOriginal1, &TKeshAudio::RestoreOriginal1Click, replace::RestoreAvailable},
        {kExit1, &TKeshAudio::Exit1Click, nullptr},
        {kRadioLength1, &TKeshAudio::RadioLength1Click, nullptr},
        {kHelp1, &TKeshAudio::Help1Click, nullptr},
        {kPlay1, &TKeshAudio::Play1Click, nullptr},
        {kReplace1, &TKeshAudio::Replace1Click,
         [](const workspace::Workspace& ws) { return ws.Menus.replace1Enabled; }},
        {kExport1, &TKeshAudio::Export1Click, nullptr},
        {kFind1, &TKeshAudio::ShowFilter, nullptr},
    };
    for (const auto& c : commands) {
        if (c.id != id) continue;
        if (!c.available || c.available(ws_)) (this->*c.click)();
        return;
    }
}

void TKeshAudio::Load1Click() {
    if (auto chosen = AskOpenFile(workspace::kOpenFilter)) OpenFile(*chosen);
}

void TKeshAudio::OpenFile(const std::string& path) {
    if (IsLocked()) return;
    wave_->Opening();
    const auto file = platform::PathFromUtf8(path);
    auto outcome = workspace::OpenOutcome::Unreadable;
    runCommand([&](workspace::UiPort& port) { outcome = ws_.Open(file, port); });
    rememberRecent(path, outcome == workspace::OpenOutcome::Loaded);
}

void TKeshAudio::runCommand(const workspace::Worker::Command& command) {
    if (busy()) return;
    // The preview belongs to this thread: a command stops it here, and waits until it has.
    auto stopPreview = ws_.StopPreview;
    ws_.StopPreview = [this] {
        worker_->RunOnFront([this] {
            if (preview_) preview_->Stop();
        });
    };
    bool done = false;
    if (worker_->Start(command, [&done](const std::optional<std::string>&) { done = true; })) {
        // The window's messages run (it repaints, the marquee moves, the timers tick) until the
        // command's last call has been delivered. A quit asked for meanwhile is the program's
        // own loop's, once the command is done.
        std::optional<int> quit;
        MSG msg;
        while (!done) {
            if (!nextWhileRunning(msg)) {
                // Woken by the next message, or after a moment at the latest: under Wine a thread
                // waiting in GetMessage alone was seen to miss its timers coming due.
                MsgWaitForMultipleObjectsEx(0, nullptr, kIdleWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
                continue;
            }
            if (msg.message == WM_QUIT)
                quit = static_cast<int>(msg.wParam);
            else
                dispatchWhileRunning(msg);
        }
        if (quit) PostQuitMessage(*quit);
    } else {
        ws_.StopPreview = stopPreview;
        command(*this);  // no thread to be had: on this one, letting messages through as it goes
    }
    ws_.StopPreview = std::move(stopPreview);
    if (hwnd_) PostMessageW(hwnd_, closePending_ && !IsLocked() ? WM_CLOSE : kStripMessage, 0, 0);
}

bool TKeshAudio::nextWhileRunning(MSG& msg) {
    // A queue holding a posted message gives out no paint and no timer, and the worker's calls
    // come as posted messages one after another while a command reports its progress: asked
    // for first, the repaints and the marquee's steps are not held off by them.
    return PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT) ||
           PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE) || PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
}

void TKeshAudio::requestCancel() {
    cancelRequested_ = true;
    worker_->RequestCancel();
}

void TKeshAudio::cancellable(const workspace::Worker::Command& command) {
    cancellable_ = true;
    cancelRequested_ = false;
    runCommand(command);
    cancellable_ = false;
    cancelRequested_ = false;
    if (CancelButton) ShowWindow(CancelButton, SW_HIDE);
}

void TKeshAudio::runExport(const exporting::ExportClick& click) {
    if (click.cancellable)
        cancellable(click.command);
    else
        runCommand(click.command);
}

void TKeshAudio::Export1Click() {
    if (!IsLocked())
        runExport(exporting::ChooseExport(exporting::ExportMenu::Popup, ws_, SelectedEntries(), SelectedEntry()));
}

void TKeshAudio::Export2Click() {
    if (!IsLocked())
        runExport(exporting::ChooseExport(exporting::ExportMenu::File, ws_, SelectedEntries(), SelectedEntry()));
}

void TKeshAudio::Exportall1Click() {
    if (IsLocked()) return;
    cancellable([&](workspace::UiPort& port) { exporting::Exportall1Click(ws_, port); });
}

void TKeshAudio::Replace1Click() {
    if (IsLocked()) return;
    const auto selected = SelectedEntry();
    const auto options = replaceOptions();
    runCommand([&](workspace::UiPort& port) { replace::Replace1Click(ws_, port, converter_, selected, options); });
    if (hwnd_) fillFileMenu();
}

void TKeshAudio::ImportFolder1Click() {
    if (IsLocked()) return;
    const auto options = replaceOptions();
    cancellable([&](workspace::UiPort& port) { replace::ImportFolderClick(ws_, port, converter_, options); });
    if (hwnd_) fillFileMenu();
}

void TKeshAudio::RestoreOriginal1Click() {
    if (IsLocked()) return;
    runCommand([&](workspace::UiPort& port) { replace::RestoreOriginalClick(ws_, port); });
    if (hwnd_) fillFileMenu();
}

void TKeshAudio::KeepBackups1Click() {
    keepBackups_ = !keepBackups_;
    settings_.SetFlag(kKeepBackupsValue, keepBackups_);
    fillFileMenu();
}

void TKeshAudio::MatchLoudness1Click() {
    matchLoudness_ = !matchLoudness_;
    settings_.SetFlag(kMatchLoudnessValue, matchLoudness_);
    fillFileMenu();
}

replace::ReplaceOptions TKeshAudio::replaceOptions() const {
    return replace::WindowReplaceOptions(keepBackups_, matchLoudness_, engine::IntegratedLoudness);
}

void TKeshAudio::StringGrid1DblClick() {
    if (!IsLocked()) wave_->Play(SelectedEntry());
}
void TKeshAudio::Play1Click() { StringGrid1DblClick(); }
void TKeshAudio::Image1Click() {
    if (IsLocked()) return;
    preview_->Image1Click(SelectedEntry());
}
void TKeshAudio::RadioLength1Click() { ShowDurationEditor(hwnd_, dialogs_); }
void TKeshAudio::Help1Click() { ShowAboutForm(hwnd_); }
void TKeshAudio::Exit1Click() {
    if (hwnd_) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

// ---- the window's messages ------------------------------------------------------------------

LRESULT TKeshAudio::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            hwnd_ = hwnd;
            break;
        case WM_CREATE:
            return 0;
        case WM_SIZE:
            layout();
            return 0;
        case WM_DPICHANGED: {
            // Moved to a monitor of another scale: the sizes follow, where Windows puts it.
            dpi_ = HIWORD(wParam);
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            layout();
            return 0;
        }
        case WM_GETMINMAXINFO: {
            const SIZE size = originalSize();
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {size.cx, size.cy};
            return 0;
        }
        case WM_SETFOCUS:
            SetFocus(filterShown_ ? FilterEdit : StringGrid1);
            return 0;
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == FilterEdit && lParam) {
                if (HIWORD(wParam) == EN_CHANGE) {
                    wchar_t text[512] = {};
                    GetWindowTextW(FilterEdit, text, static_cast<int>(std::size(text)));
                    SetFilterText(Utf8(text));
                }
                return 0;
            }
            command(LOWORD(wParam));
            return 0;
        case WM_INITMENUPOPUP:
            if (reinterpret_cast<HMENU>(wParam) == File1 && !busy()) fillFileMenu();
            return 0;
        case WM_NOTIFY:
            return notify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == StringGrid1 && !IsLocked()) {
                POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                if (lParam == -1) {
                    // From the keyboard: at the current row.
                    RECT r{};
                    const int row = ListView_GetNextItem(StringGrid1, -1, LVNI_FOCUSED);
                    if (row < 0 || !ListView_GetItemRect(StringGrid1, row, &r, LVIR_LABEL))
                        GetClientRect(StringGrid1, &r);
                    at = {r.left, r.bottom};
                    ClientToScreen(StringGrid1, &at);
                } else {
                    LVHITTESTINFO hit{};
                    hit.pt = at;
                    ScreenToClient(StringGrid1, &hit.pt);
                    const int row = ListView_HitTest(StringGrid1, &hit);
                    if (row >= 0 && (hit.flags & LVHT_ONITEM)) SelectRows({static_cast<std::size_t>(row)});
                }
                showPopup(at);
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == kPreviewTimer) Timer1Timer();
            if (wParam == kWaveTimer) pollWave();
            return 0;
        case kStripMessage:
            updateStrip();
            return 0;
        case kRunMessage: {
            const std::unique_ptr<std::function<void()>> fn(reinterpret_cast<std::function<void()>*>(lParam));
            if (fn && *fn) (*fn)();
            return 0;
        }
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            if (!IsLocked() && DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
                std::wstring file(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
                DragQueryFileW(drop, 0, file.data(), static_cast<UINT>(file.size()));
                file.resize(file.size() - 1);
                DragQueryPoint(drop, &pendingDropAt_);
                pendingDrop_ = Utf8(file);
                PostMessageW(hwnd_, kDropMessage, 0, 0);
            }
            DragFinish(drop);
            return 0;
        }
        case kDropMessage:
            if (auto file = std::exchange(pendingDrop_, std::nullopt)) FileDropped(*file, pendingDropAt_);
            return 0;
        case WM_CLOSE:
            // A command that runs lets messages through; it must not go on with a released
            // workspace, so the window closes when it is done.
            if (IsLocked()) {
                closePending_ = true;
                return 0;
            }
            savePlacement();
            shutDown();
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            if (quitOnClose_) PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            // What the worker posted that has not run yet goes unrun with the window.
            MSG msg;
            // The quit that WM_DESTROY posted comes out of any filtered peek (under Wine at least):
            // it is posted again for the program's loop.
            while (PeekMessageW(&msg, hwnd_, kRunMessage, kRunMessage, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    break;
                }
                delete reinterpret_cast<std::function<void()>*>(msg.lParam);
            }
            hwnd_ = nullptr;
            StringGrid1 = StatusBar1 = ProgressBar1 = FilterEdit = CancelButton = GroupBox1 = nullptr;
            MainMenu1 = File1 = Recent1 = Tools1 = nullptr;  // destroyed with the window
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TKeshAudio::showPopup(POINT screen) {
    TrackPopupMenu(PopupMenu1, TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd_, nullptr);
}

bool TKeshAudio::ListKey(UINT message, WPARAM key) {
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    if (message == WM_CHAR) return key == L' ' && !control && !shift && !alt;  // the space was the play icon's
    if (key == VK_RETURN) {
        StringGrid1DblClick();
        return true;
    }
    if (key == VK_SPACE && !control && !shift && !alt) {
        Image1Click();
        return true;
    }
    if (key == 'C' && control && !shift && !alt) {
        CopyRows();
        return true;
    }
    return false;
}

void TKeshAudio::FilterKey(WPARAM key) {
    if (key == VK_ESCAPE) ClearFilter();
}

// ---- shut-down ------------------------------------------------------------------------------

void TKeshAudio::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    SetTimerEnabled(false);
    if (hwnd_) KillTimer(hwnd_, kWaveTimer);
    if (wave_) wave_->Forget();
    if (preview_) preview_->Stop();
    ws_.ClearMemory();
    scratch_.Remove();
}

}  // namespace brenzo::ui::win32
