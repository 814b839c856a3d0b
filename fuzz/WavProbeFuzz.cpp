// The probe of a converted WAV, and the encoders fed from what it finds, over any bytes.
#include <cstdint>
#include <vector>

#include "FuzzSeeds.h"
#include "codec/IMAADPCM.h"
#include "codec/Wav.h"

using namespace brenzo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> image(data, size);
    auto info = codec::ProbeConvertedWav(image);
    if (!info) return 0;
    // What a bank replace does with it: the samples present, the declared count (capped at
    // 32 KiB here so that a run takes well under a millisecond; the replace refuses 2 GiB and
    // more).
    auto samples = image.subspan(info->DataStart, info->PresentBytes);
    std::vector<std::uint8_t> coded, states;
    const auto declared = static_cast<std::int32_t>(std::min<std::uint32_t>(info->DataSize, 1u << 15));
    codec::ADPCMEncodeStream(samples, coded, states, declared);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{2}}) {
        std::vector<std::uint8_t> wav;
        codec::WriteWavHeader(wav, channels, 22050, 4000);
        for (int i = 0; i < 4000; ++i) wav.push_back(static_cast<std::uint8_t>(i * 37));
        seeds.push_back(wav);
    }
    // A header declaring 2 GiB and more of samples over a few bytes of them.
    std::vector<std::uint8_t> claimed;
    codec::WriteWavHeader(claimed, 1, 22050, 0x80000010u);
    for (int i = 0; i < 64; ++i) claimed.push_back(static_cast<std::uint8_t>(i));
    seeds.push_back(claimed);
    return seeds;
}
