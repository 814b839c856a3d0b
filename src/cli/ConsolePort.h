#pragma once

#include <string>
#include <vector>

#include "workspace/UiPort.h"

namespace brenzo::cli {

// The CLI's face of the UI port: progress on standard error (only when it is a terminal),
// errors collected for the command to print, dialogs never asked (the arguments answer them).
class ConsolePort : public workspace::SilentPort {
public:
    ConsolePort();
    ~ConsolePort() override;

    void SetStatus(std::string_view text) override;
    void SetProgress(std::int64_t position, std::int64_t maximum) override;
    void ShowError(std::string_view message) override { errors_.emplace_back(message); }

    // A progress line of the CLI's own ("Exporting 3/120").
    void Progress(std::string_view text);
    void ClearProgress();

    const std::vector<std::string>& errors() const { return errors_; }
    void clearErrors() { errors_.clear(); }

private:
    bool terminal_;
    bool shown_ = false;
    std::string status_;
    std::vector<std::string> errors_;
};

}  // namespace brenzo::cli
