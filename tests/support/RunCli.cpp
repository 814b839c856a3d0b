#include "support/RunCli.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/Files.h"
#include "platform/Path.h"
#include "support/TempDir.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace brenzo::testing {
namespace {

std::string text(const std::filesystem::path& p) {
    auto bytes = ReadFile(p);
    return std::string(bytes.begin(), bytes.end());
}

#ifdef _WIN32
// One argument as the C runtime and CommandLineToArgvW split it again: inside quotes, a run of
// backslashes is literal unless a quote follows it, when each is doubled and the quote escaped.
std::string quote(const std::string& s) {
    std::string q = "\"";
    std::size_t backslashes = 0;
    for (char c : s) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        q.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(2 * backslashes, '\\');
    return q + "\"";
}

// The program is started directly, not through cmd.exe, so that no character of an argument
// means anything to a shell and the arguments reach it as UTF-16.
int runWindows(const std::string& commandLine, const std::filesystem::path& out, const std::filesystem::path& err) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    auto create = [&](const std::filesystem::path& p) {
        return CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    };
    HANDLE outFile = create(out);
    HANDLE errFile = create(err);
    HANDLE inFile = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (outFile == INVALID_HANDLE_VALUE || errFile == INVALID_HANDLE_VALUE || inFile == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create the output files of brenzo-cli");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inFile;
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    std::wstring line = platform::PathFromUtf8(commandLine).native();
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(inFile);
    CloseHandle(outFile);
    CloseHandle(errFile);
    if (!started) throw std::runtime_error("cannot start " + commandLine);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
#else
std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
#endif

}  // namespace

std::filesystem::path CliPath() {
    // CTest says where through BRENZO_BIN; a cross build's tests find it beside themselves.
    const char* bin = std::getenv("BRENZO_BIN");
    const auto folder = bin ? platform::PathFromUtf8(bin) : platform::ExecutableFolder();
#ifdef _WIN32
    return folder / "brenzo-cli.exe";
#else
    return folder / "brenzo-cli";
#endif
}

CliRun RunCli(const std::vector<std::string>& args) { return RunProgram(CliPath(), args); }

CliRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args) {
    TempDir dir;
    std::string command = quote(platform::PathToUtf8(program));
    for (const auto& a : args) command += " " + quote(a);
    CliRun run;
#ifdef _WIN32
    run.status = runWindows(command, dir / "out", dir / "err");
#else
    command += " > " + quote(platform::PathToUtf8(dir / "out")) + " 2> " + quote(platform::PathToUtf8(dir / "err"));
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    run.out = text(dir / "out");
    run.err = text(dir / "err");
    return run;
}

}  // namespace brenzo::testing
