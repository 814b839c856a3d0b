#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "workspace/UiPort.h"

namespace brenzo::testing {

// A UI port that keeps every call and answers the dialogs from a script.
class RecordingPort : public workspace::UiPort {
public:
    struct Call {
        std::string what;  // "status", "progress", "marquee", "lock", "unlock", "error", ...
        std::string text;
        std::int64_t a = 0;
        std::int64_t b = 0;
    };

    std::vector<Call> calls;
    std::deque<std::optional<std::string>> answers;  // for the dialogs, in order
    std::vector<std::string> dialogs;                // "open <filter>", "save <filter> <preset>", "folder <caption>"
    int lockDepth = 0;
    bool lockedDuringDialog = false;
    std::string statusDuringDialog;
    std::string status;
    std::string caption;
    // The user cancels at the given look at CancelRequested (counted from 1); never when 0.
    int cancelAtLook = 0;
    mutable int cancelLooks = 0;

    void SetStatus(std::string_view text) override {
        status = text;
        calls.push_back({"status", std::string(text)});
    }
    void SetProgress(std::int64_t position, std::int64_t maximum) override {
        calls.push_back({"progress", {}, position, maximum});
    }
    void SetMarquee(bool on) override { calls.push_back({"marquee", {}, on ? 1 : 0}); }
    void Lock() override {
        ++lockDepth;
        calls.push_back({"lock", {}});
    }
    void Unlock() override {
        --lockDepth;
        calls.push_back({"unlock", {}});
    }
    void ShowError(std::string_view message) override { calls.push_back({"error", std::string(message)}); }
    void SetCaption(std::string_view text) override {
        caption = text;
        calls.push_back({"caption", std::string(text)});
    }
    void RowsReset() override { calls.push_back({"rows", {}}); }
    void RowChanged(std::size_t entry) override { calls.push_back({"row", {}, static_cast<std::int64_t>(entry)}); }
    void MenusChanged() override { calls.push_back({"menus", {}}); }
    std::optional<std::string> AskOpenFile(std::string_view filter) override {
        return answer("open " + std::string(filter));
    }
    std::optional<std::string> AskSaveFile(std::string_view filter, std::string_view preset) override {
        return answer("save " + std::string(filter) + " " + std::string(preset));
    }
    std::optional<std::string> AskFolder(std::string_view title) override {
        return answer("folder " + std::string(title));
    }

    bool CancelRequested() const override { return cancelAtLook > 0 && ++cancelLooks >= cancelAtLook; }
    std::deque<bool> choices;  // answers to Ask, in order; "no" when none is left
    bool Ask(std::string_view title, std::string_view text, std::string_view yes, std::string_view no) override {
        calls.push_back({"ask", std::string(title) + ": " + std::string(text) + " [" + std::string(yes) + "/" +
                                    std::string(no) + "]"});
        if (choices.empty()) return false;
        const bool a = choices.front();
        choices.pop_front();
        return a;
    }

    std::vector<std::string> texts(std::string_view what) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.what == what) out.push_back(c.text);
        return out;
    }
    std::vector<std::string> errors() const { return texts("error"); }
    std::size_t count(std::string_view what) const {
        std::size_t n = 0;
        for (const auto& c : calls) n += c.what == what;
        return n;
    }
    void clear() { calls.clear(); }

protected:
    void PumpEvents() override { calls.push_back({"pump", {}}); }

private:
    std::optional<std::string> answer(std::string dialog) {
        dialogs.push_back(std::move(dialog));
        lockedDuringDialog = lockDepth > 0;
        statusDuringDialog = status;
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace brenzo::testing
