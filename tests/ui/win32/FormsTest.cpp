// The Win32 forms created for real under Wine (without a display, Wine's windows still have
// their controls and messages), driven through their handlers and the messages a user sends.
#include <windows.h>
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/Path.h"
#include "radio/Dat15.h"
#include "radio/Dat15File.h"
#include "support/TempDir.h"
#include "ui/win32/FormIds.h"
#include "ui/win32/FormText.h"
#include "ui/win32/Forms.h"
#include "ui/win32/ScriptedDialogs.h"
#include "ui/win32/TAboutForm.h"
#include "ui/win32/TForm14.h"
#include "ui/win32/TimeMask.h"

namespace brenzo::ui::win32 {
namespace {

using testing::TempDir;

std::string utf8(const std::filesystem::path& p) { return platform::PathToUtf8(p); }

// A key as the window's message loop hands it over: through the dialog manager first.
void press(HWND form, HWND control, WPARAM key) {
    MSG msg{control, WM_KEYDOWN, key, 0, 0, {0, 0}};
    if (!IsDialogMessageW(form, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void type(HWND control, std::string_view keys) {
    for (char c : keys) SendMessageW(control, WM_CHAR, static_cast<WPARAM>(c == '\b' ? VK_BACK : c), 0);
}

TEST(TimeMask, KeepsItsShapeWhateverIsTypedOrErased) {
    struct Row {
        const char* text;
        std::size_t from, to;
        const char* typed;  // nullptr: Backspace; "\x7f": Delete
        const char* after;
        std::size_t caret;
    };
    const Row rows[] = {
        {"  :  :  ", 0, 0, "1", "1 :  :  ", 1},
        {"  :  :  ", 0, 0, "12", "12:  :  ", 3},         // the caret steps over the colon
        {"00:00:00", 2, 2, "7", "00:70:00", 4},          // typed at a colon: the next place
        {"00:00:00", 0, 8, "5", "5 :  :  ", 1},          // a selection is blanked first
        {"00:00:00", 0, 0, "123456789", "12:34:56", 8},  // digits past the end are dropped
        {"00:00:00", 8, 8, "1", "00:00:00", 8},
        {"00:00:00", 0, 0, "a-b", "00:00:00", 0},       // no digit, no change
        {"00:00:00", 0, 8, "01:02:03", "01:02:03", 8},  // pasted: the colons pass over
        {"12:34:56", 3, 3, nullptr, "1 :34:56", 1},     // Backspace over a colon
        {"12:34:56", 0, 0, nullptr, "12:34:56", 0},
        {"12:34:56", 3, 5, nullptr, "12:  :56", 3},
        {"12:34:56", 2, 2, "\x7f", "12: 4:56", 2},  // Delete at a colon: the next place
        {"12:34:56", 8, 8, "\x7f", "12:34:56", 8},
        {"", 0, 0, "9", "9 :  :  ", 1},  // any other text is fitted first
    };
    for (const Row& r : rows) {
        const std::string typed = r.typed ? r.typed : "";
        const MaskedText out = !r.typed          ? EraseInTimeMask(r.text, r.from, r.to, true)
                               : typed == "\x7f" ? EraseInTimeMask(r.text, r.from, r.to, false)
                                                 : TypeInTimeMask(r.text, r.from, r.to, typed);
        EXPECT_EQ(out.text, r.after) << "'" << r.text << "' " << r.from << "-" << r.to << " " << typed;
        EXPECT_EQ(out.caret, r.caret) << "'" << r.text << "' " << r.from << "-" << r.to << " " << typed;
    }
    EXPECT_EQ(FitTimeMask("1:2:3"), "12:3 :  ");
}

TEST(DurationEditor, LoadSelectTypeEnterAndClose) {
    TempDir dir;
    ScriptedDialogs dialogs;
    testing::WriteFile(dir / "radio.dat15", radio::BuildDemoDat15());
    const auto before = testing::ReadFile(dir / "radio.dat15");
    {
        TForm14 editor(dialogs);
        ASSERT_NE(editor.Create(nullptr), nullptr);
        EXPECT_EQ(text::GetText(editor.Form), "Radio Music Duration Editor");
        EXPECT_EQ(text::GetText(editor.MaskEdit1), "  :  :  ");
        dialogs.answers.push_back({utf8(dir / "radio.dat15"), {}});
        editor.Button1Click();
        EXPECT_EQ(dialogs.asked.back(), "open DAT15-file (*.dat15)|*.dat15");
        EXPECT_EQ(text::GetText(editor.Button1), "\"radio.dat15\"");
        const LRESULT tracks = SendMessageW(editor.ListBox1, LB_GETCOUNT, 0, 0);
        ASSERT_GT(tracks, 0);
        EXPECT_EQ(text::GetText(editor.MaskEdit1), "00:00:00");
        // Enter without a selection does nothing, on the Load button too: no file dialog.
        const auto asked = dialogs.asked.size();
        press(editor.Form, editor.Button1, VK_RETURN);
        press(editor.Form, editor.MaskEdit1, VK_RETURN);
        EXPECT_EQ(dialogs.asked.size(), asked);
        EXPECT_EQ(testing::ReadFile(dir / "radio.dat15"), before);

        SendMessageW(editor.ListBox1, LB_SETCURSEL, 0, 0);
        editor.ListBox1Click();
        wchar_t first[256] = {};
        SendMessageW(editor.ListBox1, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
        EXPECT_EQ(text::GetText(editor.Memo1), text::Utf8(first));
        EXPECT_NE(text::GetText(editor.MaskEdit1), "00:00:00");
        // Typed as a user types: the whole field selected, then digits and a Backspace.
        SendMessageW(editor.MaskEdit1, EM_SETSEL, 0, -1);
        type(editor.MaskEdit1, "0102049\b3");
        EXPECT_EQ(text::GetText(editor.MaskEdit1), "01:02:03");
        press(editor.Form, editor.MaskEdit1, VK_RETURN);
        EXPECT_EQ(dialogs.asked.size(), asked);
        EXPECT_EQ(text::GetText(editor.Memo1), text::Utf8(first) + "\r\n01:02:03 written");
        const auto after = testing::ReadFile(dir / "radio.dat15");
        ASSERT_EQ(after.size(), before.size());
        std::size_t changed = 0;
        for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
        EXPECT_GE(changed, 1u);
        EXPECT_LE(changed, 4u);
        // Another editor cannot write the file meanwhile.
        EXPECT_FALSE(radio::Dat15File::Open(dir / "radio.dat15"));
        press(editor.Form, editor.MaskEdit1, VK_ESCAPE);
        EXPECT_EQ(SendMessageW(editor.ListBox1, LB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(text::GetText(editor.Button1), "Load .dat15-file");
        EXPECT_FALSE(editor.HoldsFile());
        EXPECT_TRUE(radio::Dat15File::Open(dir / "radio.dat15"));
    }
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST(DurationEditor, AFileThatCannotBeWrittenIsRefusedAndNotHeld) {
    TempDir dir;
    ScriptedDialogs dialogs;
    testing::WriteFile(dir / "radio.dat15", radio::BuildDemoDat15());
    auto held = radio::Dat15File::Open(dir / "radio.dat15");
    ASSERT_TRUE(held);
    TForm14 editor(dialogs);
    ASSERT_NE(editor.Create(nullptr), nullptr);
    editor.LoadFile(utf8(dir / "radio.dat15"));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("in use"), std::string::npos) << dialogs.errors[0];
    EXPECT_EQ(SendMessageW(editor.ListBox1, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(text::GetText(editor.Button1), "Load .dat15-file");
    EXPECT_FALSE(editor.HoldsFile());
}

TEST(AboutWindow, CreditsEveryLinkedLibraryAndTheVersionAndFitsThem) {
    HWND about = CreateAboutForm(nullptr);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(text::GetText(about), "About...");
    EXPECT_EQ(text::GetText(GetDlgItem(about, IDC_ABOUT_VERSION)), "v" + std::string(kVersion));
    HWND librariesLabel = GetDlgItem(about, IDC_ABOUT_LIBRARIES);
    const std::string libraries = text::GetText(librariesLabel);
    EXPECT_EQ(libraries.rfind("Program uses ", 0), 0u) << libraries;
    for (const auto& l : LinkedLibraries())
        EXPECT_NE(libraries.find(l.name + " " + l.version), std::string::npos) << libraries;
    // Both the decoding's libraries and the player's.
    EXPECT_EQ(LinkedLibraries().size(), engine::LinkedLibraries().size() + engine::PlayerLibraries().size());
    EXPECT_NE(libraries.find("waveOut"), std::string::npos) << libraries;
    // The label holds the whole sentence, and the window the whole label.
    RECT label{}, client{};
    GetWindowRect(librariesLabel, &label);
    MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&label), 2);
    GetClientRect(about, &client);
    EXPECT_LE(label.bottom, client.bottom);
    EXPECT_NE(SendDlgItemMessageW(about, IDC_ABOUT_PICTURE, STM_GETICON, 0, 0), 0);
    DestroyWindow(about);
}

}  // namespace
}  // namespace brenzo::ui::win32
