// The console and the command line on Windows, both as UTF-8 to the rest of the program.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cwchar>

#include "platform/Files.h"
#include "platform/Path.h"
#include "platform/windows/Windows.h"

namespace brenzo::platform {

bool StderrIsTerminal() {
    // _isatty() is also true for NUL; only a console has a console mode.
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (h == INVALID_HANDLE_VALUE || h == nullptr || !GetConsoleMode(h, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void SetBinaryStdout() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void WriteText(std::FILE* stream, std::string_view utf8) {
    DWORD mode = 0;
    HANDLE h = stream == stdout   ? GetStdHandle(STD_OUTPUT_HANDLE)
               : stream == stderr ? GetStdHandle(STD_ERROR_HANDLE)
                                  : INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE || h == nullptr || !GetConsoleMode(h, &mode)) {
        std::fwrite(utf8.data(), 1, utf8.size(), stream);
        return;
    }
    std::fflush(stream);
    const std::u16string wide = Utf16FromUtf8(utf8);
    const auto* text = reinterpret_cast<const wchar_t*>(wide.data());
    std::size_t left = wide.size();
    while (left > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
        // A surrogate pair is never split between two writes.
        if (chunk < left && text[chunk - 1] >= 0xD800 && text[chunk - 1] < 0xDC00) --chunk;
        DWORD wrote = 0;
        if (!WriteConsoleW(h, text, chunk, &wrote, nullptr) || wrote == 0) return;
        text += wrote;
        left -= wrote;
    }
}

std::vector<std::string> CommandLineUtf8(int, char**) {
    const wchar_t* line = GetCommandLineW();
    return SplitWindowsCommandLine(std::u16string_view(reinterpret_cast<const char16_t*>(line), std::wcslen(line)));
}

}  // namespace brenzo::platform
