#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace brenzo::ui::win32 {

// The file, folder and message dialogs of the Win32 window, behind one interface so that the
// window's own checks can answer them. Texts and paths are UTF-8.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Filters are given as "Description (*.a, *.b)|*.a;*.b|...".
    virtual std::optional<std::string> OpenFile(HWND owner, std::string_view filter) = 0;
    virtual std::optional<std::string> SaveFile(HWND owner, std::string_view filter, std::string_view presetName) = 0;
    virtual std::optional<std::string> Folder(HWND owner, std::string_view caption) = 0;
    // A message box with the title "Error" and the error icon.
    virtual void Error(HWND owner, std::string_view message) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool Confirm(HWND owner, std::string_view question) = 0;
    // A question with two buttons; true for the first.
    virtual bool Ask(HWND owner, std::string_view title, std::string_view text, std::string_view yes,
                     std::string_view no) = 0;
};

// The system's dialogs: the common file dialogs, a folder picker and message boxes. The last
// folder chosen is where the next dialog starts.
class NativeDialogs final : public Dialogs {
public:
    std::optional<std::string> OpenFile(HWND owner, std::string_view filter) override;
    std::optional<std::string> SaveFile(HWND owner, std::string_view filter, std::string_view presetName) override;
    std::optional<std::string> Folder(HWND owner, std::string_view caption) override;
    void Error(HWND owner, std::string_view message) override;
    bool Confirm(HWND owner, std::string_view question) override;
    bool Ask(HWND owner, std::string_view title, std::string_view text, std::string_view yes,
             std::string_view no) override;

private:
    std::wstring lastFolder_;
};

// "Description (*.a, *.b)|*.a;*.b|..." as the common file dialogs take it: pairs of texts each
// ended by a zero, the whole ended by another.
std::wstring ToDialogFilter(std::string_view filter);

}  // namespace brenzo::ui::win32
