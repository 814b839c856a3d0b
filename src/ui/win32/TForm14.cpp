#include "ui/win32/TForm14.h"

#include <commctrl.h>

#include "platform/Path.h"
#include "radio/TrackDuration.h"
#include "ui/win32/FormIds.h"
#include "ui/win32/FormText.h"
#include "ui/win32/Forms.h"
#include "ui/win32/TimeMask.h"

namespace brenzo::ui::win32 {
namespace {

constexpr std::string_view kLoadCaption = "Load .dat15-file";
constexpr std::string_view kNoDuration = "  :  :  ";

void setMasked(HWND edit, const MaskedText& masked) {
    text::SetText(edit, masked.text);
    SendMessageW(edit, EM_SETSEL, masked.caret, static_cast<LPARAM>(masked.caret));
}

std::pair<std::size_t, std::size_t> selection(HWND edit) {
    DWORD from = 0, to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return {from, to};
}

std::string clipboardText(HWND owner) {
    std::string utf8;
    if (!OpenClipboard(owner)) return utf8;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            utf8 = text::Utf8(wide);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return utf8;
}

// The duration field keeps the mask's shape whatever is typed, pasted or erased; the caret,
// selection, copying and the dialog's keys stay the edit control's own.
LRESULT CALLBACK maskProc(HWND edit, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_CHAR: {
            if (w < 0x20 && w != VK_BACK) break;  // Enter, Tab, Escape, Ctrl+C/V/X/A
            const auto [from, to] = selection(edit);
            const std::string current = text::GetText(edit);
            if (w == VK_BACK) {
                setMasked(edit, EraseInTimeMask(current, from, to, true));
            } else {
                const char typed = w < 0x80 ? static_cast<char>(w) : '?';
                setMasked(edit, TypeInTimeMask(current, from, to, std::string_view(&typed, 1)));
            }
            return 0;
        }
        case WM_KEYDOWN:
            if (w == VK_DELETE) {
                const auto [from, to] = selection(edit);
                setMasked(edit, EraseInTimeMask(text::GetText(edit), from, to, false));
                return 0;
            }
            break;
        case WM_PASTE: {
            const auto [from, to] = selection(edit);
            setMasked(edit, TypeInTimeMask(text::GetText(edit), from, to, clipboardText(edit)));
            return 0;
        }
        case WM_CUT:
        case WM_CLEAR: {
            if (message == WM_CUT) DefSubclassProc(edit, WM_COPY, 0, 0);
            const auto [from, to] = selection(edit);
            if (to > from) setMasked(edit, EraseInTimeMask(text::GetText(edit), from, to, false));
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(edit, maskProc, 0);
            break;
        default:
            break;
    }
    return DefSubclassProc(edit, message, w, l);
}

// Enter on the Load button applies the duration, as everywhere else in the form: the button
// never takes the default from Apply (Space still presses it).
LRESULT CALLBACK loadButtonProc(HWND button, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
    if (message == WM_GETDLGCODE)
        return (DefSubclassProc(button, message, w, l) & ~(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) | DLGC_BUTTON;
    if (message == WM_NCDESTROY) RemoveWindowSubclass(button, loadButtonProc, 0);
    return DefSubclassProc(button, message, w, l);
}

}  // namespace

TForm14::TForm14(Dialogs& dialogs) : dialogs_(dialogs) {}

TForm14::~TForm14() {
    editor_.Close();
    if (Form && !modal_) DestroyWindow(Form);
}

void TForm14::ShowModal(HWND owner) {
    modal_ = true;
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DURATION_EDITOR), owner, proc,
                    reinterpret_cast<LPARAM>(this));
    modal_ = false;
    Form = nullptr;
}

HWND TForm14::Create(HWND owner) {
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DURATION_EDITOR), owner, proc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TForm14::proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, l);
        reinterpret_cast<TForm14*>(l)->bind(window);
        return TRUE;  // the first control, Load, takes the focus
    }
    auto* form = reinterpret_cast<TForm14*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!form) return FALSE;
    switch (message) {
        case WM_COMMAND:
            form->command(LOWORD(w), HIWORD(w));
            return TRUE;
        case WM_DESTROY:
            SetWindowLongPtrW(window, DWLP_USER, 0);
            form->Form = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void TForm14::bind(HWND window) {
    Form = window;
    Button1 = GetDlgItem(window, IDC_LOAD);
    Label1 = GetDlgItem(window, IDC_NAME_LABEL);
    Memo1 = GetDlgItem(window, IDC_NAME);
    ListBox1 = GetDlgItem(window, IDC_TRACKS);
    Label2 = GetDlgItem(window, IDC_DURATION_LABEL);
    MaskEdit1 = GetDlgItem(window, IDC_DURATION);
    Button2 = GetDlgItem(window, IDC_APPLY);
    SetWindowSubclass(MaskEdit1, maskProc, 0, 0);
    SetWindowSubclass(Button1, loadButtonProc, 0, 0);
    text::SetText(MaskEdit1, kNoDuration);
}

void TForm14::command(int id, int code) {
    switch (id) {
        case IDC_LOAD:
            if (code == BN_CLICKED) Button1Click();
            break;
        case IDC_TRACKS:
            if (code == LBN_SELCHANGE) ListBox1Click();
            break;
        case IDC_APPLY:
        case IDOK:  // Enter, whichever control has the focus but a button
            if (code == BN_CLICKED) Button2Click();
            break;
        case IDCANCEL:  // Escape and the close box
            FormClose();
            if (modal_)
                EndDialog(Form, 0);
            else
                ShowWindow(Form, SW_HIDE);
            break;
        default:
            break;
    }
}

void TForm14::Button1Click() {
    auto chosen = dialogs_.OpenFile(Form, "DAT15-file (*.dat15)|*.dat15");
    if (!chosen) return;
    LoadFile(*chosen);
}

void TForm14::resetFields() {
    SendMessageW(ListBox1, LB_RESETCONTENT, 0, 0);
    text::SetText(Memo1, "");
    text::SetText(MaskEdit1, "00:00:00");
    text::SetText(Button1, kLoadCaption);
}

void TForm14::LoadFile(const std::string& utf8Path) {
    editor_.Close();
    resetFields();
    const auto path = platform::PathFromUtf8(utf8Path);
    if (Status s = editor_.Open(path); !s) {
        // Nothing is shown and nothing is held.
        dialogs_.Error(Form, s.message());
        return;
    }
    text::SetText(Button1, "\"" + platform::FileNameUtf8(path) + "\"");
    SendMessageW(ListBox1, WM_SETREDRAW, FALSE, 0);
    for (std::size_t i = 0; i < editor_.tracks().size(); ++i)
        SendMessageW(ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text::Wide(editor_.TrackName(i)).c_str()));
    SendMessageW(ListBox1, WM_SETREDRAW, TRUE, 0);
    SendMessageW(ListBox1, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    InvalidateRect(ListBox1, nullptr, TRUE);
    if (const std::string note = editor_.DamageNote(); !note.empty()) dialogs_.Error(Form, note + ".");
}

std::optional<std::size_t> TForm14::selectedTrack() const {
    const LRESULT row = SendMessageW(ListBox1, LB_GETCURSEL, 0, 0);
    if (!editor_.isOpen() || row < 0 || static_cast<std::size_t>(row) >= editor_.tracks().size()) return std::nullopt;
    return static_cast<std::size_t>(row);
}

void TForm14::ListBox1Click() {
    const auto track = selectedTrack();
    if (!track) return;
    text::SetText(Memo1, editor_.TrackName(*track));
    auto duration = editor_.DurationText(*track);
    if (!duration) {
        dialogs_.Error(Form, duration.message());
        return;
    }
    text::SetText(MaskEdit1, *duration);
}

void TForm14::Button2Click() {
    const auto track = selectedTrack();
    if (!track) return;
    // Blanks are kept as spaces: "  :03:05".
    auto ms = radio::ParseTrackDuration(text::GetText(MaskEdit1));
    if (!ms) {
        dialogs_.Error(Form, ms.message());
        return;
    }
    if (Status s = editor_.WriteDuration(*track, *ms); !s) {
        dialogs_.Error(Form, s.message());
        return;
    }
    // What the file now holds, read back, under the track's name.
    auto written = editor_.Duration(*track);
    if (!written) {
        dialogs_.Error(Form, written.message());
        return;
    }
    text::SetText(MaskEdit1, radio::FormatTrackDuration(*written));
    text::SetText(Memo1, editor_.TrackName(*track) + "\r\n" + radio::DurationWrittenText(*written));
}

void TForm14::FormClose() {
    SendMessageW(ListBox1, LB_RESETCONTENT, 0, 0);
    editor_.Close();
    text::SetText(Memo1, "");
    text::SetText(MaskEdit1, "00:00:00");
    text::SetText(Button1, kLoadCaption);
}

void ShowDurationEditor(HWND owner, Dialogs& dialogs) {
    TForm14 form(dialogs);
    form.ShowModal(owner);
}

}  // namespace brenzo::ui::win32
