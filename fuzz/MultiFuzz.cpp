// The multichannel reader and export over any bytes.
#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzSeeds.h"
#include "codec/IMAADPCM.h"
#include "export/Export.h"
#include "formats/MultiFile.h"
#include "formats/MultiWriter.h"

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
    using namespace formats;
    std::vector<std::vector<std::uint8_t>> seeds;
    struct Variant {
        bool adpcm;
        std::uint32_t channels;
    };
    for (Variant v : {Variant{true, 1}, Variant{true, 2}, Variant{true, 5}, Variant{false, 2}}) {
        TMultiADPCM multi;
        multi.Channels = v.channels;
        multi.BlockSize = 256 * 2048;
        std::vector<std::vector<std::uint8_t>> streams;
        for (std::uint32_t c = 0; c < v.channels; ++c) {
            std::vector<std::uint8_t> pcm(2 * 9000);
            for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
                auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(9000 * std::sin(i * 0.03 * (c + 1))));
                pcm[2 * i] = static_cast<std::uint8_t>(s);
                pcm[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
            }
            TADPCMChannelHeader head;
            head.HeadHash = 0x200 + c;
            TADPCMChannel ch;
            ch.Frequency = 32000;
            std::vector<std::uint8_t> stream;
            if (v.adpcm) {
                std::vector<std::uint8_t> states;
                codec::ADPCMEncodeStream(pcm, stream, states, static_cast<std::int32_t>(pcm.size()));
                ch.Compression = kMultiCompressionAdpcm;
                ch.States = codec::ParseStoredStates(states);
                ch.Size = static_cast<std::uint32_t>(stream.size());
                ch.Length = ch.Samples = 2 * ch.Size;
            } else {
                stream = pcm;
                ch.Compression = 1;
                ch.Size = static_cast<std::uint32_t>(stream.size());
                ch.Length = ch.Samples = ch.Size / 2;
            }
            multi.ChHeadSizes.push_back(head);
            multi.ChHeaders.push_back(ch);
            streams.push_back(stream);
        }
        if (!LayoutMulti(multi)) continue;
        std::vector<std::span<const std::uint8_t>> spans(streams.begin(), streams.end());
        if (auto image = WriteMulti(multi, 32000, spans)) {
            // The blocks' zero fill is of no interest to a fuzzer: keep the content only.
            image->resize(multi.HeadFullSize + 4096 + 2048 * 10 * v.channels);
            seeds.emplace_back(image->begin(), image->end());
        }
    }
    return seeds;
}
