#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/Result.h"
#include "formats/MultiModel.h"

namespace brenzo::formats {

using MultiProgress = std::function<void(std::uint32_t channel, std::uint32_t count)>;

// Parses the header, channel directory and descriptions of a multichannel file. Blocks are
// not read. Refuses a file without channels or whose directory or descriptions the image
// cannot hold, so that no count from the file sizes an allocation unchecked.
Result<TMultiADPCM> ReadMulti(std::span<const std::uint8_t> image, const MultiProgress& progress = {});

// Where a block's data area begins, counted from the block's start.
std::uint64_t MultiDataAreaOffset(const TMultiADPCM& multi, std::uint64_t blockStart);

}  // namespace brenzo::formats
