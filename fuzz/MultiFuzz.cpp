// The multichannel reader and export over any bytes.
#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzSeeds.h"
#include "common/ByteWriter.h"
#include "export/Export.h"
#include "formats/MultiFile.h"
#include "formats/Compose.h"

using namespace brenzo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> image(data, size);
    auto multi = formats::ReadMulti(image, [](std::uint32_t, std::uint32_t) {});
    if (!multi) return 0;
    // The export's cost follows the frames and channels the file claims; keep each run short.
    std::uint64_t frames = multi->IsAdpcm() ? std::uint64_t{multi->ChHeaders[0].States.size()} * 4096 : 1u << 20;
    if (multi->Channels > 16 || frames * multi->Channels > (1u << 22)) return 0;
    exporting::CountingSink sink;
    (void)exporting::ExportMultichannel(image, *multi, sink);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    struct Variant {
        bool adpcm;
        std::uint32_t channels;
    };
    for (Variant v : {Variant{true, 1}, Variant{true, 2}, Variant{true, 5}, Variant{false, 2}}) {
        std::vector<std::vector<std::uint8_t>> pcm;
        std::vector<std::uint32_t> hashes;
        for (std::uint32_t c = 0; c < v.channels; ++c) {
            std::vector<std::uint8_t> track(2 * 9000);
            for (std::size_t i = 0; i < track.size() / 2; ++i) {
                storeI16(&track[2 * i], static_cast<std::int16_t>(9000 * std::sin(static_cast<double>(i) * 0.03 * (c + 1))));
            }
            pcm.push_back(track);
            hashes.push_back(0x200 + c);
        }
        auto composed = formats::ComposeMulti(pcm, v.adpcm, 32000, 256 * 2048, hashes);
        if (!composed) continue;
        // The blocks' zero fill is of no interest to a fuzzer: keep the content only.
        composed->image.resize(composed->model.HeadFullSize + 4096 + 2048 * 10 * v.channels);
        seeds.emplace_back(composed->image.begin(), composed->image.end());
    }
    // Many channels sharing one description (each directory entry's HeadSize 0): the shape
    // whose states once multiplied by the channel count.
    {
        const std::uint32_t channels = 200;
        std::vector<std::uint8_t> shared(8192, 0);
        auto put = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) shared[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        put(8, 1);
        put(12, 0x80000);
        put(20, 48);
        put(36, channels);
        put(44, 8192);
        const std::size_t d = 48 + 16 * channels;
        for (std::uint32_t i = 0; i < channels; ++i) put(48 + 16 * i + 8, 0x100 + i);
        put(d + 24, 32000);
        put(d + 28, 0x400);
        put(d + 52, 300);
        seeds.push_back(shared);
    }
    return seeds;
}
