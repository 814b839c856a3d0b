#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "radio/DurationEditor.h"
#include "ui/win32/Dialogs.h"

namespace brenzo::ui::win32 {

// "Radio Music Duration Editor" (the window ShowDurationEditor shows): lists the radio tracks
// of a ".dat15" file and writes a track's duration into the file in place. The file stays
// open, other writers shut out, while the window shows it. The handlers are the Qt form's.
class TForm14 {
public:
    explicit TForm14(Dialogs& dialogs);
    ~TForm14();
    TForm14(const TForm14&) = delete;
    TForm14& operator=(const TForm14&) = delete;

    // Modal over `owner` until closed.
    void ShowModal(HWND owner);
    // The same window without a loop of its own (hidden until shown), for a caller that runs
    // the messages itself; it lives until this object is destroyed.
    HWND Create(HWND owner);

    void Button1Click();   // "Load .dat15-file"
    void ListBox1Click();  // a track was selected
    void Button2Click();   // "Apply"
    void FormClose();      // the window closes: the file is let go and the form emptied
    // Loads a file as Button1Click does after its dialog.
    void LoadFile(const std::string& utf8Path);
    bool HoldsFile() const { return editor_.isOpen(); }

    HWND Form = nullptr;
    HWND Button1 = nullptr;
    HWND Label1 = nullptr;
    HWND Memo1 = nullptr;
    HWND ListBox1 = nullptr;
    HWND Label2 = nullptr;
    HWND MaskEdit1 = nullptr;
    HWND Button2 = nullptr;

private:
    static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM w, LPARAM l);
    void bind(HWND window);
    void command(int id, int code);
    void resetFields();
    // The row of a listed track, or nothing.
    std::optional<std::size_t> selectedTrack() const;

    Dialogs& dialogs_;
    radio::DurationEditor editor_;
    bool modal_ = false;
};

}  // namespace brenzo::ui::win32
