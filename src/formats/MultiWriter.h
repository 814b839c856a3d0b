#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/Bytes.h"
#include "common/Result.h"
#include "formats/ImagePlan.h"
#include "formats/MultiModel.h"

namespace brenzo::formats {

// How a full block of a multichannel file is arranged for a kind and channel count.
struct BlockShape {
    bool adpcm = true;
    std::uint32_t channels = 0;
    std::uint32_t channelBlockSamples = 0;  // a channel's samples in a full block
    std::uint32_t channelBlockBytes = 0;    // a channel's bytes in a full block
    std::uint32_t channelBlockChunks = 0;   // ... in 2048-byte chunks
    std::uint32_t step = 0;                 // samples a chunk holds: 4096 ADPCM, 1024 PCM
    std::uint32_t headRegion = 0;           // head, entries, ranges and padding: 2048 or 4096
    std::uint32_t dataChunks = 0;           // chunks of a full block's data area, gaps included

    // A zero chunk follows channel i's data in a full block.
    bool gapAfter(std::uint32_t i) const { return adpcm && (channels == 2 || (channels > 4 && i == 0)); }
    std::uint64_t fullBlockContent() const { return headRegion + std::uint64_t{dataChunks} * 2048; }
};

// The shape for ADPCM with 1, 2, 3, 5 or 7 channels or PCM with 2; others cannot be written.
Result<BlockShape> ShapeFor(bool adpcm, std::uint32_t channels);

// Sets the fields that follow from the channels' descriptions: every directory entry's
// HeadSize and HeadOffset (channel 0's description size for all, the channels being equal),
// BlocksCount from channel 0's Size, HeadSize and HeadFullSize. The model's Channels,
// BlockSize and descriptions must be set. Refuses a BlockSize that cannot hold a full block.
Status LayoutMulti(TMultiADPCM& multi);

// Whether the block writer lays out files of this kind and channel count (ADPCM with 1, 2, 3,
// 5 or 7 channels, PCM with 2): the only ones a replace can rebuild.
bool CanWriteBlocks(bool adpcm, std::uint32_t channels);

// Writes the whole file: the 48-byte header, the channel directory, the descriptions, the
// block index (BlockStart steps of 0x7B000 for ADPCM, 0x1EC00 for PCM, BlockRate = blockRate),
// padding, then the blocks from one stream of sample data per channel.
// WriteMultiPlan lays the file out into `plan`, which points at the streams (they must
// outlive it); WriteMulti returns it in one buffer.
Status WriteMultiPlan(const TMultiADPCM& multi, std::uint16_t blockRate,
                      std::span<const std::span<const std::uint8_t>> streams, ImagePlan& plan);
Result<Bytes> WriteMulti(const TMultiADPCM& multi, std::uint16_t blockRate,
                         std::span<const std::span<const std::uint8_t>> streams);

// Appends blocksCount blocks of blockSize bytes. Every stream is as long as channel 0's. The
// last block stores each channel's final partial chunk zero-padded to 2048 bytes, and for
// ADPCM with more than 3 channels its data area begins 4096 bytes in, as in every other block.
Status WriteMultiBlocks(Bytes& out, const BlockShape& shape, std::uint32_t blockSize, std::uint32_t blocksCount,
                        std::span<const std::span<const std::uint8_t>> streams);

}  // namespace brenzo::formats
