#include "cli/Commands.h"
#include "cli/Output.h"

namespace brenzo::cli {

int RadioList(const std::string&, bool) {
    PrintError("radio is not built yet");
    return kRefused;
}
int RadioSet(const std::string&, const Selection&, const std::string&) {
    PrintError("radio is not built yet");
    return kRefused;
}

}  // namespace brenzo::cli
