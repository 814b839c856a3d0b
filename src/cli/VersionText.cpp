// `brenzo-cli --version`: the version and every library linked, as the About window lists them.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <vector>

#include "cli/Commands.h"
#include "common/Version.h"

#ifdef BRENZO_HAVE_ENGINE
#include "engine/Engine.h"
#endif

namespace brenzo::cli {

std::string VersionText() {
    std::vector<Library> libraries;
#ifdef BRENZO_HAVE_ENGINE
    libraries = engine::LinkedLibraries();
#endif
    libraries.push_back({"CLI11", CLI11_VERSION});
    libraries.push_back({"nlohmann-json", std::to_string(NLOHMANN_JSON_VERSION_MAJOR) + "." +
                                              std::to_string(NLOHMANN_JSON_VERSION_MINOR) + "." +
                                              std::to_string(NLOHMANN_JSON_VERSION_PATCH)});
    return VersionReport("brenzo-cli", libraries);
}

}  // namespace brenzo::cli
