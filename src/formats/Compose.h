#pragma once

// Containers made from 16-bit PCM: the demo files, the fuzzers' seeds and the tests' fixtures
// all start from audio, not from stored bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "common/Bytes.h"
#include "common/Result.h"
#include "formats/BankModel.h"
#include "formats/MultiModel.h"

namespace brenzo::formats {

// A sound's record (Size, Size2, Frequency, Compression, and for ADPCM Samples and States) and
// the bytes it stores, from little-endian 16-bit mono PCM.
struct ComposedSound {
    TBankChannelInfo info;
    std::vector<std::uint8_t> stored;
};
ComposedSound ComposeSound(std::span<const std::uint8_t> pcm, RecordForm form, std::uint16_t rate);

// A channel's description and its stream, the same way.
struct ComposedChannel {
    TADPCMChannel channel;
    std::vector<std::uint8_t> stream;
};
ComposedChannel ComposeChannel(std::span<const std::uint8_t> pcm, bool adpcm, std::uint16_t rate);

// A whole multichannel file from one PCM track per channel, named by `hashes`.
struct ComposedMulti {
    TMultiADPCM model;
    Bytes image;
    std::vector<std::vector<std::uint8_t>> streams;
};
Result<ComposedMulti> ComposeMulti(const std::vector<std::vector<std::uint8_t>>& pcm, bool adpcm, std::uint16_t rate,
                                   std::uint32_t blockSize, const std::vector<std::uint32_t>& hashes);

}  // namespace brenzo::formats
