// The multichannel reader and export over any bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzSeeds.h"
#include "Shapes.h"
#include "common/ByteWriter.h"
#include "export/Export.h"
#include "formats/Compose.h"
#include "formats/MultiFile.h"

using namespace brenzo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> image(data, size);
    auto multi = formats::ReadMulti(image, [](std::uint32_t, std::uint32_t) {});
    if (!multi) return 0;
    // The export's cost follows the samples the file claims (up to 16 times its size, which
    // the export's own bound enforces for any file): a run exports at most 32,768 samples, so
    // that it takes well under a millisecond.
    std::uint64_t frames = multi->IsAdpcm() ? std::uint64_t{multi->ChHeaders[0].States.size()} * 4096 : 0;
    if (!multi->IsAdpcm())
        for (const auto& ch : multi->ChHeaders) frames = std::max<std::uint64_t>(frames, ch.Length);
    if (multi->Channels > 16 || frames * multi->Channels > (1u << 15)) return 0;
    // PCM runs are gathered from the blocks, whatever the descriptions say: the sink ends an
    // export that goes on past what the claims allowed.
    struct Limited : exporting::ByteSink {
        std::uint64_t left = (std::uint64_t{1} << 16) + 64;
        Status Write(std::span<const std::uint8_t> bytes) override {
            if (bytes.size() > left) return Error{"enough"};
            left -= bytes.size();
            return {};
        }
    } sink;
    (void)exporting::ExportMultichannel(image, *multi, sink);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() { return fuzz::MultiShapes(); }
