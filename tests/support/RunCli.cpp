#include "support/RunCli.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/Files.h"
#include "platform/Path.h"
#include "support/TempDir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace brenzo::testing {
namespace {

// brenzo-cli is built into the folder of the test programs; BRENZO_BIN may point elsewhere.
std::filesystem::path cliPath() {
    const char* bin = std::getenv("BRENZO_BIN");
    const std::filesystem::path folder = bin ? platform::PathFromUtf8(bin) : platform::ExecutableFolder();
#ifdef _WIN32
    return folder / "brenzo-cli.exe";
#else
    return folder / "brenzo-cli";
#endif
}

std::string quote(const std::string& s) {
#ifdef _WIN32
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\\\"") : std::string(1, c);
    return q + "\"";
#else
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
#endif
}

std::string text(const std::filesystem::path& p) {
    auto bytes = ReadFile(p);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
    TempDir dir;
    std::string command = quote(platform::PathToUtf8(cliPath()));
    for (const auto& a : args) command += " " + quote(a);
    command += " > " + quote(platform::PathToUtf8(dir / "out")) + " 2> " + quote(platform::PathToUtf8(dir / "err"));
    CliRun run;
#ifdef _WIN32
    // cmd.exe strips the outer pair of quotes of the whole line.
    std::wstring wide = platform::PathFromUtf8("\"" + command + "\"").wstring();
    run.status = _wsystem(wide.c_str());
#else
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    run.out = text(dir / "out");
    run.err = text(dir / "err");
    return run;
}

}  // namespace brenzo::testing
