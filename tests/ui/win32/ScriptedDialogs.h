// The Win32 forms' dialogs answered by a script: shared by the forms' and the window's tests.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "support/ScriptedAnswers.h"
#include "ui/win32/Dialogs.h"

namespace brenzo::ui::win32 {

class ScriptedDialogs : public Dialogs, public testing::ScriptedAnswers<std::string> {
public:
    std::vector<std::string> errors;
    std::deque<bool> confirmations;  // answers to Confirm and Ask, in order; "no" when none is left
    std::vector<std::string> questions;

    std::optional<std::string> OpenFile(HWND, std::string_view filter) override {
        return next("open " + std::string(filter));
    }
    std::optional<std::string> SaveFile(HWND, std::string_view filter, std::string_view preset) override {
        return next("save " + std::string(filter) + " " + std::string(preset));
    }
    std::optional<std::string> Folder(HWND, std::string_view caption) override {
        return next("folder " + std::string(caption));
    }
    void Error(HWND, std::string_view message) override { errors.emplace_back(message); }
    bool Confirm(HWND, std::string_view question) override {
        questions.emplace_back(question);
        return take(confirmations);
    }
    bool Ask(HWND, std::string_view title, std::string_view text, std::string_view, std::string_view) override {
        questions.push_back(std::string(title) + ": " + std::string(text));
        return take(confirmations);
    }
};

}  // namespace brenzo::ui::win32
