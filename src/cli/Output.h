#pragma once

#include <string>
#include <string_view>

#include "common/Result.h"

namespace brenzo::cli {

// Standard output is binary on every system: "\n" is written as one byte everywhere.
void PrintRaw(std::string_view text);
void PrintLine(std::string_view text);
// "brenzo-cli: <message>" on standard error.
void PrintError(std::string_view message);

// The tab-separated listings keep one entry per line and never let a name drive the terminal:
// control characters of a name (all in 0x00..0x1F and 0x7F) are shown as U+FFFD. Captions,
// progress and error messages follow the same rule; a message keeps its own line breaks.
std::string TerminalSafe(std::string_view utf8, bool keepLineBreaks = false);

// Prints the message and gives the exit status to return.
int Fail(int status, std::string_view message);
// A failed Status: exit 3 when a file could not be read or written, else 2 (refused input).
int FailWith(const Status& status);

}  // namespace brenzo::cli
