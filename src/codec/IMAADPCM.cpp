#include "codec/IMAADPCM.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace brenzo::codec {
namespace {

constexpr std::array<std::int32_t, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<std::int32_t, 16> kIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                      -1, -1, -1, -1, 2, 4, 6, 8};

constexpr std::int32_t clampSample(std::int32_t v) { return std::clamp(v, -32768, 32767); }
constexpr std::int32_t clampIndex(std::int32_t v) { return std::clamp(v, 0, 88); }

constexpr std::int32_t signedDiff(std::int32_t step, std::uint32_t code) {
    std::int32_t diff = step >> 3;
    if (code & 4) diff += step;
    if (code & 2) diff += step >> 1;
    if (code & 1) diff += step >> 2;
    return (code & 8) ? -diff : diff;
}

// For every (index, code): the signed difference times 128 plus the next index (< 128), so
// that one load gives both; the arithmetic shift recovers the difference.
struct StepTable {
    std::array<std::int32_t, 89 * 16> entry{};
    constexpr StepTable() {
        for (std::int32_t index = 0; index < 89; ++index)
            for (std::uint32_t code = 0; code < 16; ++code)
                entry[index * 16 + code] = signedDiff(kStepTable[index], code) * 128 +
                                           clampIndex(index + kIndexTable[code]);
    }
};
constexpr StepTable kTable;

struct Lane {
    std::int32_t value;
    std::int32_t row;  // index * 16
};

inline std::int16_t step(Lane& lane, std::uint32_t code) {
    std::int32_t e = kTable.entry[lane.row + code];
    lane.value = clampSample(lane.value + (e >> 7));
    lane.row = (e & 127) * 16;
    return static_cast<std::int16_t>(lane.value);
}

// Decodes `count` blocks side by side; independent predictor chains keep the core busy.
template <std::size_t kLanes>
void decodeLanes(const std::uint8_t* const* in, const TADPCMState* states, std::int16_t* const* out) {
    Lane lane[kLanes];
    for (std::size_t l = 0; l < kLanes; ++l) lane[l] = {states[l].valprev, clampIndex(states[l].index) * 16};
    for (std::size_t i = 0; i < kStateBlockBytes; ++i) {
        for (std::size_t l = 0; l < kLanes; ++l) {
            std::uint32_t b = in[l][i];
            out[l][2 * i] = step(lane[l], b & 15);
            out[l][2 * i + 1] = step(lane[l], b >> 4);
        }
    }
}

}  // namespace

std::int16_t ADPCMDecodeNibble(std::uint8_t code, TADPCMState& state) {
    code &= 15;
    // A state read from a damaged file may hold an index above 88; it counts as 88.
    std::int32_t index = clampIndex(state.index);
    std::int32_t sample = clampSample(state.valprev + signedDiff(kStepTable[index], code));
    state.valprev = static_cast<std::int16_t>(sample);
    state.index = static_cast<std::uint8_t>(clampIndex(index + kIndexTable[code]));
    return state.valprev;
}

std::uint8_t ADPCMEncodeSample(std::int16_t sample, TADPCMState& state) {
    std::int32_t stepSize = kStepTable[clampIndex(state.index)];
    std::int32_t delta = static_cast<std::int32_t>(sample) - state.valprev;
    std::uint32_t code = 0;
    if (delta < 0) {
        code = 8;
        delta = -delta;
    }
    if (delta >= stepSize) {
        code |= 4;
        delta -= stepSize;
    }
    if (delta >= stepSize >> 1) {
        code |= 2;
        delta -= stepSize >> 1;
    }
    if (delta >= stepSize >> 2) code |= 1;
    std::int32_t e = kTable.entry[clampIndex(state.index) * 16 + code];
    state.valprev = static_cast<std::int16_t>(clampSample(state.valprev + (e >> 7)));
    state.index = static_cast<std::uint8_t>(e & 127);
    return static_cast<std::uint8_t>(code);
}

namespace {
void appendState(std::vector<std::uint8_t>& states, const TADPCMState& s) {
    auto v = static_cast<std::uint16_t>(s.valprev);
    states.push_back(static_cast<std::uint8_t>(v & 0xFF));
    states.push_back(static_cast<std::uint8_t>(v >> 8));
    states.push_back(s.index);
}
}  // namespace

void ADPCMEncodeStream(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& coded,
                       std::vector<std::uint8_t>& states, std::int32_t byteCount) {
    if (byteCount < 4) return;
    const std::size_t codedLength = static_cast<std::size_t>(byteCount / 2 / 2);
    const std::size_t start = coded.size();
    coded.resize(start + codedLength);
    states.reserve(states.size() + (codedLength + kStateBlockBytes - 1) / kStateBlockBytes * 3);
    std::uint8_t* dst = coded.data() + start;

    // Whole input is present for the first `present` coded bytes; the rest reads silence.
    const std::size_t present = std::min(codedLength, input.size() / 4);
    const std::uint8_t* src = input.data();
    TADPCMState state;
    auto sampleAt = [&](std::size_t byteIndex, std::size_t half) -> std::int16_t {
        if (byteIndex < present) {
            const std::uint8_t* p = src + 4 * byteIndex + 2 * half;
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
        }
        std::size_t at = 4 * byteIndex + 2 * half;
        if (at + 1 < input.size())
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(src[at] | (src[at + 1] << 8)));
        return 0;
    };
    for (std::size_t i = 0; i < codedLength; ++i) {
        if (i != 0 && i % kStateBlockBytes == 0) appendState(states, state);
        std::uint8_t c0 = ADPCMEncodeSample(sampleAt(i, 0), state);
        std::uint8_t c1 = ADPCMEncodeSample(sampleAt(i, 1), state);
        dst[i] = static_cast<std::uint8_t>(c0 | (c1 << 4));
        if (i == 0) appendState(states, state);
    }
}

namespace {

constexpr std::array<std::uint8_t, kStateBlockBytes> kZeroBlock{};

template <class BlockAt>
void decodeBlocks(std::size_t blocks, const TADPCMState* states, std::int16_t* out, BlockAt blockAt) {
    constexpr std::size_t kLanes = 4;
    std::size_t k = 0;
    for (; k + kLanes <= blocks; k += kLanes) {
        const std::uint8_t* in[kLanes];
        std::int16_t* dst[kLanes];
        for (std::size_t l = 0; l < kLanes; ++l) {
            in[l] = blockAt(k + l);
            dst[l] = out + (k + l) * kStateBlockSamples;
        }
        decodeLanes<kLanes>(in, states + k, dst);
    }
    for (; k < blocks; ++k) {
        const std::uint8_t* in[1] = {blockAt(k)};
        std::int16_t* dst[1] = {out + k * kStateBlockSamples};
        decodeLanes<1>(in, states + k, dst);
    }
}

}  // namespace

void DecodeStateBlocks(std::span<const std::uint8_t> coded, std::span<const TADPCMState> states,
                       std::int16_t* out) {
    std::array<std::uint8_t, kStateBlockBytes> partial{};
    decodeBlocks(states.size(), states.data(), out, [&](std::size_t k) -> const std::uint8_t* {
        std::size_t begin = k * kStateBlockBytes;
        if (begin >= coded.size()) return kZeroBlock.data();
        std::size_t have = coded.size() - begin;
        if (have >= kStateBlockBytes) return coded.data() + begin;
        // Only the block holding the end of `coded` is partly present.
        std::memcpy(partial.data(), coded.data() + begin, have);
        return partial.data();
    });
}

void DecodeStateBlocks(std::span<const std::uint8_t* const> blocks, std::span<const TADPCMState> states,
                       std::int16_t* out) {
    decodeBlocks(states.size(), states.data(), out, [&](std::size_t k) -> const std::uint8_t* {
        return k < blocks.size() && blocks[k] ? blocks[k] : kZeroBlock.data();
    });
}

std::vector<TADPCMState> ParseStoredStates(std::span<const std::uint8_t> bytes) {
    std::vector<TADPCMState> states(bytes.size() / kStoredStateBytes);
    for (std::size_t i = 0; i < states.size(); ++i) {
        const std::uint8_t* p = bytes.data() + 3 * i;
        states[i].valprev = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
        states[i].index = p[2];
    }
    return states;
}

}  // namespace brenzo::codec
