#include "cli/ConsolePort.h"

#include <cstdio>

#include "cli/Output.h"
#include "platform/Files.h"

namespace brenzo::cli {

ConsolePort::ConsolePort() : terminal_(platform::StderrIsTerminal()) {}
ConsolePort::~ConsolePort() { ClearProgress(); }

void ConsolePort::Progress(std::string_view text) {
    if (!terminal_) return;
    const std::string shown = TerminalSafe(text);
    std::fprintf(stderr, "\r%.*s\x1b[K", static_cast<int>(shown.size()), shown.data());
    std::fflush(stderr);
    shown_ = true;
}

void ConsolePort::ClearProgress() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
    shown_ = false;
}

void ConsolePort::SetStatus(std::string_view text) {
    status_ = text;
    if (text.empty())
        ClearProgress();
    else
        Progress(text);
}

void ConsolePort::SetProgress(std::int64_t, std::int64_t) {}

}  // namespace brenzo::cli
