#pragma once

#include <string_view>

namespace brenzo::cli {

// Standard output is binary on every system: "\n" is written as one byte everywhere.
void PrintRaw(std::string_view text);
void PrintLine(std::string_view text);
// "brenzo-cli: <message>" on standard error.
void PrintError(std::string_view message);

}  // namespace brenzo::cli
