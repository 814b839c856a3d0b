#include "ui/win32/Dialogs.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shobjidl.h>

#include <algorithm>
#include <vector>

#include "ui/win32/Text.h"

namespace brenzo::ui::win32 {
namespace {

// Long enough for any path Windows can open.
constexpr DWORD kPathChars = 32768;

std::wstring folderOf(const std::wstring& file) {
    const auto slash = file.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
}

// The task dialog exists from common controls 6 on; it is looked up so that the program still
// starts where an older version is loaded.
using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogIndirectFn taskDialog() {
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    if (!controls) return nullptr;
    return reinterpret_cast<TaskDialogIndirectFn>(
        reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")));
}

}  // namespace

std::wstring ToDialogFilter(std::string_view filter) {
    std::wstring out;
    std::size_t parts = 0;
    std::size_t start = 0;
    for (;;) {
        const auto bar = filter.find('|', start);
        out += Wide(filter.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        out += L'\0';
        ++parts;
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    // A description without its patterns is dropped rather than shown with none.
    if (parts % 2 == 1) {
        out.pop_back();
        const auto previous = out.find_last_of(L'\0');
        out.erase(previous == std::wstring::npos ? 0 : previous + 1);
    }
    out += L'\0';
    return out;
}

namespace {

// The common file dialog `show` (open or save), starting at `preset` in the folder last chosen,
// which the chosen file's folder then becomes.
std::optional<std::string> fileDialog(HWND owner, std::string_view filter, std::string_view preset, DWORD flags,
                                      BOOL(WINAPI* show)(LPOPENFILENAMEW), std::wstring& lastFolder) {
    const std::wstring filters = ToDialogFilter(filter);
    std::vector<wchar_t> file(kPathChars, L'\0');
    const std::wstring presetName = Wide(preset);
    presetName.copy(file.data(), std::min<std::size_t>(presetName.size(), kPathChars - 1));
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrInitialDir = lastFolder.empty() ? nullptr : lastFolder.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | flags;
    if (!show(&ofn)) return std::nullopt;
    std::wstring chosen(file.data());
    lastFolder = folderOf(chosen);
    return Utf8(chosen);
}

}  // namespace

std::optional<std::string> NativeDialogs::OpenFile(HWND owner, std::string_view filter) {
    return fileDialog(owner, filter, {}, OFN_FILEMUSTEXIST, GetOpenFileNameW, lastFolder_);
}

std::optional<std::string> NativeDialogs::SaveFile(HWND owner, std::string_view filter, std::string_view presetName) {
    // No overwrite prompt: the export replaces an existing file, as it always has.
    return fileDialog(owner, filter, presetName, 0, GetSaveFileNameW, lastFolder_);
}

std::optional<std::string> NativeDialogs::Folder(HWND owner, std::string_view caption) {
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return std::nullopt;
    std::optional<std::string> chosen;
    DWORD options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    const std::wstring title = Wide(caption);
    dialog->SetTitle(title.c_str());
    if (!lastFolder_.empty()) {
        IShellItem* start = nullptr;
        if (SUCCEEDED(SHCreateItemFromParsingName(lastFolder_.c_str(), nullptr, IID_PPV_ARGS(&start)))) {
            dialog->SetFolder(start);
            start->Release();
        }
    }
    IShellItem* item = nullptr;
    if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&item))) {
        PWSTR path = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            lastFolder_ = path;
            chosen = Utf8(path);
            CoTaskMemFree(path);
        }
        item->Release();
    }
    dialog->Release();
    return chosen;
}

void NativeDialogs::Error(HWND owner, std::string_view message) {
    MessageBoxW(owner, Wide(message).c_str(), L"Error", MB_OK | MB_ICONERROR);
}

bool NativeDialogs::Confirm(HWND owner, std::string_view question) {
    return MessageBoxW(owner, Wide(question).c_str(), L"Brenzo", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool NativeDialogs::Ask(HWND owner, std::string_view title, std::string_view text, std::string_view yes,
                        std::string_view no) {
    // A long summary (an import of hundreds of files) shows its start; the whole is one click away.
    constexpr std::size_t kShownLines = 24;
    std::size_t cut = std::string_view::npos, newlines = 0;
    for (std::size_t i = 0; i < text.size() && cut == std::string_view::npos; ++i)
        if (text[i] == '\n' && ++newlines == kShownLines) cut = i;
    const bool longText = cut != std::string_view::npos;
    const std::wstring wideTitle = Wide(title), whole = Wide(text), yesText = Wide(yes), noText = Wide(no);
    const std::wstring shown = longText ? Wide(text.substr(0, cut)) + L"\n..." : whole;
    if (auto show = taskDialog()) {
        const TASKDIALOG_BUTTON buttons[] = {{IDYES, yesText.c_str()}, {IDNO, noText.c_str()}};
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof config;
        config.hwndParent = owner;
        config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
        config.pszWindowTitle = wideTitle.c_str();
        config.pszMainIcon = TD_INFORMATION_ICON;
        config.pszContent = shown.c_str();
        config.pszExpandedInformation = longText ? whole.c_str() : nullptr;
        config.cButtons = 2;
        config.pButtons = buttons;
        config.nDefaultButton = IDYES;
        int pressed = IDNO;
        if (SUCCEEDED(show(&config, &pressed, nullptr, nullptr))) return pressed == IDYES;
    }
    // Without the task dialog the two answers are named beside Yes and No.
    const std::wstring question = shown + L"\n\nYes: " + yesText + L"\nNo: " + noText;
    return MessageBoxW(owner, question.c_str(), wideTitle.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace brenzo::ui::win32
