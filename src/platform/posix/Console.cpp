// The terminal and the command line on POSIX systems: bytes pass unchanged.
#include <unistd.h>

#include "platform/Files.h"

namespace brenzo::platform {

bool StderrIsTerminal() { return ::isatty(2) != 0; }

void SetBinaryStdout() {}

void WriteText(std::FILE* stream, std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stream); }

std::vector<std::string> CommandLineUtf8(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

}  // namespace brenzo::platform
