#pragma once

#include <string>
#include <vector>

namespace brenzo::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built brenzo-cli (beside the test programs) with UTF-8 arguments and returns its
// exit status, standard output and standard error.
CliRun RunCli(const std::vector<std::string>& args);

}  // namespace brenzo::testing
