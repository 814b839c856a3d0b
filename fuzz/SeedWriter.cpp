// Writes a harness's seeds into a folder, to start a libFuzzer corpus: fuzz_X_seeds DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSeeds.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 1;
    }
    std::filesystem::create_directories(argv[1]);
    int i = 0;
    for (const auto& seed : FuzzSeeds()) {
        std::ofstream out(std::filesystem::path(argv[1]) / ("seed" + std::to_string(i++)), std::ios::binary);
        out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    }
    return 0;
}
