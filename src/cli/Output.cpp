#include "cli/Output.h"

#include <cstdio>

#include "cli/Commands.h"

namespace brenzo::cli {

void PrintRaw(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void PrintLine(std::string_view text) {
    PrintRaw(text);
    std::fputc('\n', stdout);
}

void PrintError(std::string_view message) {
    std::fprintf(stderr, "brenzo-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

int Fail(int status, std::string_view message) {
    PrintError(message);
    return status;
}

int FailWith(const Status& status) {
    return Fail(status.isFileSystemError() ? kFileError : kRefused, status.message());
}

}  // namespace brenzo::cli
