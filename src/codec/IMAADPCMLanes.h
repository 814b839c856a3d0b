#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/IMAADPCM.h"

namespace brenzo::codec::detail {

// The quantizer's step size per index.
inline constexpr std::array<std::int32_t, 89> kImaSteps = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// The vector decoders, for the block decoder to dispatch to (and for the tests to compare with
// the portable one).
bool LanePathAvailable(LanePath path);
// The best path this processor runs, found once.
LanePath BestLanePath();
// How many blocks one call of DecodeLanes decodes (0: the path has no lanes).
std::size_t LaneWidth(LanePath path);
// Decodes LaneWidth(path) blocks lying kStateBlockBytes apart from `in`, block k from
// states[k], into out + k * kStateBlockSamples.
void DecodeLanes(LanePath path, const std::uint8_t* in, const TADPCMState* states, std::int16_t* out);

}  // namespace brenzo::codec::detail
