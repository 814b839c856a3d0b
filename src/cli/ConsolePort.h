#pragma once

#include <string>
#include <vector>

#include "workspace/UiPort.h"

namespace brenzo::cli {

// The CLI's face of the UI port: progress on standard error (only when it is a terminal),
// errors collected for the command to print, dialogs never asked (the arguments answer them).
class ConsolePort : public workspace::UiPort {
public:
    ConsolePort();
    ~ConsolePort() override;

    void SetStatus(std::string_view text) override;
    void SetProgress(std::int64_t position, std::int64_t maximum) override;
    void SetMarquee(bool) override {}
    void Lock() override {}
    void Unlock() override {}
    void ShowError(std::string_view message) override { errors_.emplace_back(message); }
    void SetCaption(std::string_view) override {}
    void RowsReset() override {}
    void RowChanged(std::size_t) override {}
    void MenusChanged() override {}
    std::optional<std::string> AskOpenFile(std::string_view) override { return std::nullopt; }
    std::optional<std::string> AskSaveFile(std::string_view, std::string_view) override { return std::nullopt; }
    std::optional<std::string> AskFolder(std::string_view) override { return std::nullopt; }

    // A progress line of the CLI's own ("Exporting 3/120").
    void Progress(std::string_view text);
    void ClearProgress();

    const std::vector<std::string>& errors() const { return errors_; }
    void clearErrors() { errors_.clear(); }

protected:
    void PumpEvents() override {}

private:
    bool terminal_;
    bool shown_ = false;
    std::string status_;
    std::vector<std::string> errors_;
};

}  // namespace brenzo::cli
