#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/IMAADPCM.h"

namespace brenzo::codec::detail {

// The vector decoders, for the block decoder to dispatch to (and for the tests to compare with
// the portable one).
bool LanePathAvailable(LanePath path);
// The best path this processor runs, found once.
LanePath BestLanePath();
// How many blocks one call of DecodeLanes decodes (0: the path has no lanes).
std::size_t LaneWidth(LanePath path);
// Decodes LaneWidth(path) blocks lying kStateBlockBytes apart from `in`, block k from
// states[k], into out + k * kStateBlockSamples. `table` is the decoder's step table: per
// (index, code), the signed difference times 2048 plus the next index times 16.
void DecodeLanes(LanePath path, const std::uint8_t* in, const TADPCMState* states, std::int16_t* out,
                 const std::int32_t* table);

}  // namespace brenzo::codec::detail
