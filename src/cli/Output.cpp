#include "cli/Output.h"

#include <cstdio>
#include <string>

#include "platform/Files.h"

#include "cli/Commands.h"

namespace brenzo::cli {

void PrintRaw(std::string_view text) { platform::WriteText(stdout, text); }

void PrintLine(std::string_view text) {
    PrintRaw(text);
    PrintRaw("\n");
}

void PrintError(std::string_view message) {
    std::string line = "brenzo-cli: ";
    line += TerminalSafe(message, true);
    line += '\n';
    platform::WriteText(stderr, line);
}

std::string TerminalSafe(std::string_view utf8, bool keepLineBreaks) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 || b == 0x7F) && !(keepLineBreaks && c == '\n'))
            out += "\xEF\xBF\xBD";
        else
            out += c;
    }
    return out;
}

int Fail(int status, std::string_view message) {
    PrintError(message);
    return status;
}

int FailWith(const Status& status) {
    return Fail(status.isFileSystemError() ? kFileError : kRefused, status.message());
}

}  // namespace brenzo::cli
