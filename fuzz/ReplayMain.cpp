// Runs a fuzz harness as a plain test: its seeds, every cut of each seed, every single-byte
// change of the first 256 bytes of each seed, and the saved inputs of its corpus folder.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "FuzzSeeds.h"
#include "platform/Files.h"
#include "platform/Path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
void run(const std::vector<std::uint8_t>& input) { LLVMFuzzerTestOneInput(input.data(), input.size()); }
}  // namespace

int main(int argc, char** argv) {
    std::size_t runs = 0;
    for (const auto& seed : FuzzSeeds()) {
        run(seed);
        ++runs;
        // Cuts: every length up to 4 KiB, then every 97th.
        for (std::size_t n = 0; n < seed.size(); n += n < 4096 ? 1 : 97) {
            run(std::vector<std::uint8_t>(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(n)));
            ++runs;
        }
        // Flips: each of the first 256 bytes set to 0x00, 0xFF and 0x80 in turn.
        for (std::size_t i = 0; i < seed.size() && i < 256; ++i) {
            for (std::uint8_t v : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x80}}) {
                auto copy = seed;
                copy[i] = v;
                run(copy);
                ++runs;
            }
        }
    }
    const auto args = brenzo::platform::CommandLineUtf8(argc, argv);
    const auto corpus = args.size() > 1 ? brenzo::platform::PathFromUtf8(args[1]) : std::filesystem::path();
    if (!corpus.empty() && std::filesystem::is_directory(corpus)) {
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            std::ifstream in(entry.path(), std::ios::binary);
            run(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
            ++runs;
        }
    }
    std::printf("%zu inputs ran without a fault\n", runs);
    return 0;
}
