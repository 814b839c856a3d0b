// The main window's list (filter, sort, selection, copy, the rows' texts), its files (recent,
// dropped) and its remembered place: bindings of the core's view and rules.
#include "ui/win32/TKeshAudio.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/Path.h"
#include "ui/win32/Text.h"
#include "workspace/Drop.h"

namespace brenzo::ui::win32 {
namespace {

// Copies a text into a buffer the list gave, cut to fit, always ended.
void copyInto(const std::wstring& text, wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return;
    const auto n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(capacity - 1));
    text.copy(buffer, n);
    buffer[n] = L'\0';
}

}  // namespace

// ---- the list -------------------------------------------------------------------------------

LRESULT TKeshAudio::notify(const NMHDR& header) {
    // The status bar's second panel is the play/pause icon.
    if (header.hwndFrom == StatusBar1 && header.code == NM_CLICK) {
        if (reinterpret_cast<const NMMOUSE&>(header).dwItemSpec == 1) Image1Click();
        return 0;
    }
    if (header.hwndFrom != StringGrid1) return 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            auto& item = const_cast<LVITEMW&>(reinterpret_cast<const NMLVDISPINFOW&>(header).item);
            if (!(item.mask & LVIF_TEXT)) return 0;
            // From the view alone: a command on the worker may be changing the workspace.
            const auto r = item.iItem < 0 ? std::nullopt : view_.RowTexts(static_cast<std::size_t>(item.iItem));
            if (!r)
                cellText_.clear();
            else
                cellText_ = Wide(item.iSubItem == 0 ? r->name : item.iSubItem == 1 ? r->duration : r->rate);
            copyInto(cellText_, item.pszText, item.cchTextMax);
            return 0;
        }
        case LVN_GETINFOTIPW: {
            auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
            const auto entry = tip.iItem < 0 ? std::nullopt : view_.EntryAt(static_cast<std::size_t>(tip.iItem));
            // The list offers the cell's own text first; the row's whole story replaces it.
            if (entry) copyInto(Wide(view_.ToolTip(static_cast<std::size_t>(tip.iItem))), tip.pszText, tip.cchTextMax);
            return 0;
        }
        case LVN_ODFINDITEMW: {
            // Typing a name's first letters goes to the next row whose name starts with them.
            const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
            if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
            const std::string typed = Utf8(find.lvfi.psz);
            auto lower = [](unsigned char c) {
                return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c);
            };
            const std::size_t rows = view_.RowCount();
            const std::size_t start = find.iStart > 0 ? static_cast<std::size_t>(find.iStart) : 0;
            for (std::size_t i = 0; i < rows; ++i) {
                const std::size_t row = (start + i) % rows;
                const auto texts = view_.RowTexts(row);
                const std::string name = texts ? texts->name : std::string();
                if (name.size() >= typed.size() &&
                    std::equal(typed.begin(), typed.end(), name.begin(), [&](char a, char b) {
                        return lower(static_cast<unsigned char>(a)) == lower(static_cast<unsigned char>(b));
                    }))
                    return static_cast<LRESULT>(row);
            }
            return -1;
        }
        case NM_DBLCLK:
            StringGrid1DblClick();
            return 0;
        case LVN_ITEMCHANGED: {
            // The strip follows the current row.
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (change.iItem < 0 || ((change.uNewState ^ change.uOldState) & LVIS_FOCUSED)) updateStrip();
            return 0;
        }
        case LVN_COLUMNCLICK:
            HeaderClicked(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
            return 0;
        default:
            return 0;
    }
}

int TKeshAudio::ListRowCount() const { return ListView_GetItemCount(StringGrid1); }

std::string TKeshAudio::CellText(int row, int column) const {
    wchar_t text[1024] = {};
    ListView_GetItemText(StringGrid1, row, column, text, static_cast<int>(std::size(text)));
    return Utf8(text);
}

std::optional<std::size_t> TKeshAudio::SelectedEntry() const {
    const int current = ListView_GetNextItem(StringGrid1, -1, LVNI_FOCUSED);
    if (current < 0 || !(ListView_GetItemState(StringGrid1, current, LVIS_SELECTED) & LVIS_SELECTED))
        return std::nullopt;
    const auto entry = view_.EntryAt(static_cast<std::size_t>(current));
    if (!entry || *entry >= ws_.EntryCount()) return std::nullopt;
    return entry;
}

std::vector<std::size_t> TKeshAudio::SelectedEntries() const {
    std::vector<std::size_t> rows;
    for (int row = ListView_GetNextItem(StringGrid1, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(StringGrid1, row, LVNI_SELECTED))
        rows.push_back(static_cast<std::size_t>(row));
    return view_.EntriesOf(rows);
}

void TKeshAudio::SelectRows(const std::vector<std::size_t>& rows) {
    ListView_SetItemState(StringGrid1, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(rows[i]);
        const UINT state = i == 0 ? LVIS_SELECTED | LVIS_FOCUSED : LVIS_SELECTED;
        ListView_SetItemState(StringGrid1, row, state, state);
    }
    if (!rows.empty()) ListView_EnsureVisible(StringGrid1, static_cast<int>(rows.front()), FALSE);
}

void TKeshAudio::refreshList(const std::function<void()>& changeView) {
    // The selection is read through the view as it was, and put back through the view as it is.
    const std::vector<std::size_t> selected = SelectedEntries();
    const auto current = SelectedEntry();
    changeView();
    // An empty file still shows one empty row under the header, as the list always has.
    const std::size_t rows = view_.EntryCount() == 0 ? 1 : view_.RowCount();
    ListView_SetItemCountEx(StringGrid1, static_cast<int>(rows), 0);
    ListView_SetItemState(StringGrid1, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (std::size_t entry : selected)
        if (auto row = view_.RowOf(entry))
            ListView_SetItemState(StringGrid1, static_cast<int>(*row), LVIS_SELECTED, LVIS_SELECTED);
    if (current)
        if (auto row = view_.RowOf(*current))
            ListView_SetItemState(StringGrid1, static_cast<int>(*row), LVIS_FOCUSED, LVIS_FOCUSED);
    InvalidateRect(StringGrid1, nullptr, TRUE);
    showCaption();
}

void TKeshAudio::RowsReset() {
    wave_->Forget();
    Strip->SetWave(std::nullopt);
    // Another file (or none): nothing of the last one stays selected.
    ListView_SetItemState(StringGrid1, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    refreshList([this] { view_.Refresh(ws_); });
    if (auto entry = ws_.EntryAfterLoad())
        if (auto row = view_.RowOf(*entry)) SelectRows({*row});
}

void TKeshAudio::RowChanged(std::size_t entry) {
    // A new duration or rate may move the row in a sorted list; the strip shows the new sound.
    wave_->RowChanged(entry);
    refreshList([this] { view_.Refresh(ws_); });
}

void TKeshAudio::showCaption() {
    const std::string caption = view_.EntryCount() ? view_.Caption(fileCaption_) : fileCaption_;
    SetWindowTextW(GroupBox1, NoMnemonic(caption).c_str());
}

std::string TKeshAudio::CaptionText() const {
    wchar_t text[1024] = {};
    GetWindowTextW(GroupBox1, text, static_cast<int>(std::size(text)));
    std::wstring shown;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c == L'&' && c[1] == L'&') ++c;
        shown += *c;
    }
    return Utf8(shown);
}

void TKeshAudio::ShowFilter() {
    if (IsLocked()) return;
    filterShown_ = true;
    ShowWindow(FilterEdit, SW_SHOW);
    layout();
    SetFocus(FilterEdit);
    SendMessageW(FilterEdit, EM_SETSEL, 0, -1);
}

void TKeshAudio::ClearFilter() {
    SetWindowTextW(FilterEdit, L"");
    SetFilterText("");
    filterShown_ = false;
    ShowWindow(FilterEdit, SW_HIDE);
    layout();
    SetFocus(StringGrid1);
}

bool TKeshAudio::FilterShown() const { return filterShown_; }

void TKeshAudio::SetFilterText(const std::string& text) {
    if (text == view_.Filter()) return;
    refreshList([&] { view_.SetFilter(text); });
}

void TKeshAudio::HeaderClicked(int column) {
    if (IsLocked()) return;
    refreshList([&] { view_.ClickHeader(column); });
    showSortArrow();
}

void TKeshAudio::showSortArrow() {
    HWND header = ListView_GetHeader(StringGrid1);
    const int sorted = view_.SortedBy() == workspace::SortColumn::Name       ? 0
                       : view_.SortedBy() == workspace::SortColumn::Duration ? 1
                       : view_.SortedBy() == workspace::SortColumn::Rate     ? 2
                                                                             : -1;
    for (int i = 0; i < 3; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, i, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == sorted) item.fmt |= view_.Descending() ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, i, &item);
    }
}

std::string TKeshAudio::CopyRows() {
    std::vector<std::size_t> rows;
    for (int row = ListView_GetNextItem(StringGrid1, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(StringGrid1, row, LVNI_SELECTED))
        rows.push_back(static_cast<std::size_t>(row));
    const std::string text = view_.CopyText(rows);
    if (text.empty() || !OpenClipboard(hwnd_)) return text;
    // Lines end in CR LF on the Windows clipboard.
    std::wstring wide;
    for (wchar_t c : Wide(text)) {
        if (c == L'\n') wide += L'\r';
        wide += c;
    }
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t))) {
        if (auto* target = static_cast<wchar_t*>(GlobalLock(memory))) {
            wide.copy(target, wide.size());
            target[wide.size()] = L'\0';
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
    return text;
}

// ---- files ----------------------------------------------------------------------------------

void TKeshAudio::FileDropped(const std::string& path, POINT at) {
    if (IsLocked()) return;
    LVHITTESTINFO hit{};
    hit.pt = at;
    MapWindowPoints(hwnd_, StringGrid1, &hit.pt, 1);
    const int row = ListView_HitTest(StringGrid1, &hit);
    const auto entry =
        row >= 0 && (hit.flags & LVHT_ONITEM) ? view_.EntryAt(static_cast<std::size_t>(row)) : std::nullopt;
    const std::string fileName = platform::FileNameUtf8(platform::PathFromUtf8(path));
    if (workspace::DecideDrop(fileName, entry.has_value()) == workspace::DropAction::Open) {
        OpenFile(path);
        return;
    }
    if (!dialogs_.Confirm(hwnd_, workspace::ReplaceQuestion(ws_, *entry, fileName))) return;
    SelectRows({static_cast<std::size_t>(row)});
    ReplaceWithFile(entry, path);
}

void TKeshAudio::OpenRecent(std::size_t index) {
    const auto files = settings_.RecentFiles();
    if (index >= files.size()) return;
    OpenFile(files[index]);
}

void TKeshAudio::RememberRecent(const std::string& file, bool opened) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(platform::PathFromUtf8(file), error);
    const std::string whole = error ? file : platform::PathToUtf8(absolute.lexically_normal());
    auto files = settings_.RecentFiles();
    files = opened ? workspace::RecentFilesAfterOpening(std::move(files), whole)
                   : workspace::RecentFilesWithout(std::move(files), whole);
    settings_.SetRecentFiles(files);
    rebuildRecentMenu();
}

void TKeshAudio::rebuildRecentMenu() {
    recent_ = settings_.RecentFiles();
    while (GetMenuItemCount(Recent1) > 0) DeleteMenu(Recent1, 0, MF_BYPOSITION);
    for (std::size_t i = 0; i < recent_.size(); ++i) {
        const std::wstring text = L"&" + std::to_wstring(i + 1) + L" " + NoMnemonic(recent_[i]);
        AppendMenuW(Recent1, MF_STRING, kRecentFirst + i, text.c_str());
    }
    fillFileMenu();
}

// ---- the window's place ---------------------------------------------------------------------

namespace {

BOOL CALLBACK addScreen(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcWork;
        reinterpret_cast<std::vector<workspace::WindowRect>*>(data)->push_back(
            {r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    return TRUE;
}

}  // namespace

void TKeshAudio::restorePlacement() {
    std::vector<workspace::WindowRect> screens;
    EnumDisplayMonitors(nullptr, nullptr, addScreen, reinterpret_cast<LPARAM>(&screens));
    const SIZE original = originalSize();
    if (auto placed = workspace::RestoredPlacement(settings_.Placement(), screens, original.cx, original.cy))
        SetWindowPos(hwnd_, nullptr, placed->x, placed->y, placed->width, placed->height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TKeshAudio::savePlacement() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hwnd_, &placement)) return;
    // The place it has when neither maximised nor minimised, in screen coordinates: the normal
    // place counts from the work area, which a task bar on the left or at the top moves.
    RECT r = placement.rcNormalPosition;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor))
        OffsetRect(&r, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    settings_.SetPlacement({r.left, r.top, r.right - r.left, r.bottom - r.top}, IsZoomed(hwnd_) != FALSE);
}

}  // namespace brenzo::ui::win32
