#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace brenzo::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The built brenzo-cli: where BRENZO_BIN says, else beside the running test.
std::filesystem::path CliPath();

// Runs the built brenzo-cli with UTF-8 arguments and returns its
// exit status, standard output and standard error.
CliRun RunCli(const std::vector<std::string>& args);
// The same for another built program.
CliRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args);

}  // namespace brenzo::testing
