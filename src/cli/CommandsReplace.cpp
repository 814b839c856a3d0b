#include "cli/Commands.h"
#include "cli/Output.h"

namespace brenzo::cli {

int Replace(const Globals&, const std::string&, const Selection&, const std::string&) {
    PrintError("replace is not built yet");
    return kRefused;
}

}  // namespace brenzo::cli
