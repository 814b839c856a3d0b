#include "codec/IMAADPCM.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codec/IMAADPCMLanes.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"

namespace brenzo::codec {
namespace {

constexpr const auto& kStepTable = detail::kImaSteps;

constexpr std::array<std::int32_t, 16> kIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

constexpr std::int32_t clampSample(std::int32_t v) { return std::clamp(v, -32768, 32767); }
constexpr std::int32_t clampIndex(std::int32_t v) { return std::clamp(v, 0, 88); }

constexpr std::int32_t signedDiff(std::int32_t step, std::uint32_t code) {
    std::int32_t diff = step >> 3;
    if (code & 4) diff += step;
    if (code & 2) diff += step >> 1;
    if (code & 1) diff += step >> 2;
    return (code & 8) ? -diff : diff;
}

// For every (index, code): the signed difference times 2048 plus the next index times 16 (the
// next row of this table), so that one load gives both and the next row needs only a mask;
// the arithmetic shift recovers the difference.
struct StepTable {
    std::array<std::int32_t, 89 * 16> entry{};
    constexpr StepTable() {
        for (std::int32_t index = 0; index < 89; ++index)
            for (std::uint32_t code = 0; code < 16; ++code)
                entry[index * 16 + code] =
                    signedDiff(kStepTable[index], code) * 2048 + clampIndex(index + kIndexTable[code]) * 16;
    }
};
constexpr StepTable kTable;

// value + diff within the 16-bit range. Real audio seldom reaches full scale: a predicted
// branch is cheaper than two conditional moves on every sample.
inline std::int32_t addClamped(std::int32_t value, std::int32_t diff) {
    value += diff;
    if (value > 32767) [[unlikely]]
        return 32767;
    if (value < -32768) [[unlikely]]
        return -32768;
    return value;
}

// One predictor chain: the last sample and the row of the current index in kTable.
struct Lane {
    std::int32_t value;
    std::size_t row;

    explicit Lane(const TADPCMState& s) : value(s.valprev), row(static_cast<std::size_t>(clampIndex(s.index)) * 16) {}
    std::int16_t step(std::uint32_t code) {
        const std::int32_t e = kTable.entry[row + code];
        value = addClamped(value, e >> 11);
        row = static_cast<std::size_t>(e & 0x7F0);
        return static_cast<std::int16_t>(value);
    }
};

void decodeOne(const std::uint8_t* in, const TADPCMState& state, std::int16_t* out) {
    Lane a(state);
    for (std::size_t i = 0; i < kStateBlockBytes; ++i) {
        const std::uint32_t b = in[i];
        out[2 * i] = a.step(b & 15);
        out[2 * i + 1] = a.step(b >> 4);
    }
}

// Four consecutive blocks side by side: the four predictor chains are independent, so their
// table loads overlap instead of waiting on one another. The blocks sit at fixed distances
// from one pointer, so every chain stays in registers.
void decodeFour(const std::uint8_t* in, const TADPCMState* states, std::int16_t* out) {
    constexpr std::size_t B = kStateBlockBytes, S = kStateBlockSamples;
    Lane a(states[0]), b(states[1]), c(states[2]), d(states[3]);
    for (std::size_t i = 0; i < B; ++i) {
        std::int16_t* o = out + 2 * i;
        o[0] = a.step(in[i] & 15u);
        o[S] = b.step(in[B + i] & 15u);
        o[2 * S] = c.step(in[2 * B + i] & 15u);
        o[3 * S] = d.step(in[3 * B + i] & 15u);
        o[1] = a.step(in[i] >> 4);
        o[S + 1] = b.step(in[B + i] >> 4);
        o[2 * S + 1] = c.step(in[2 * B + i] >> 4);
        o[3 * S + 1] = d.step(in[3 * B + i] >> 4);
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

namespace {

// The encoder's table, one 128-byte row per index: the seven magnitudes at which the 3-bit
// code steps up, then per code the signed difference times 16384 plus the byte offset of the
// next index's row. The code is how many steps the magnitude reaches; that count equals the
// three successive halvings of the step (S, S/2, S/4, each taken off when reached) because the
// steps S/4 <= S/2 <= S/2 + S/4 < S <= S + S/4 <= S + S/2 <= S + S/2 + S/4 are in order. The
// seven comparisons do not wait on one another, so a sample's code is found in a few cycles
// instead of three dependent rounds, and the next row comes with the difference in one load.
struct EncoderRow {
    std::int32_t reach[8];
    std::int32_t entry[16];
    std::int32_t unused[8];
};
static_assert(sizeof(EncoderRow) == 128);
constexpr std::size_t kRowShift = 7;

struct EncoderTable {
    std::array<EncoderRow, 89> row{};
    constexpr EncoderTable() {
        for (std::int32_t index = 0; index < 89; ++index) {
            const std::int32_t s = kStepTable[index], h = s >> 1, q = s >> 2;
            const std::int32_t reach[8] = {q, h, h + q, s, s + q, s + h, s + h + q, 0x7FFFFFFF};
            EncoderRow& r = row[static_cast<std::size_t>(index)];
            for (std::size_t k = 0; k < 8; ++k) r.reach[k] = reach[k];
            for (std::uint32_t code = 0; code < 16; ++code)
                r.entry[code] = signedDiff(s, code) * 16384 + (clampIndex(index + kIndexTable[code]) << kRowShift);
            for (auto& u : r.unused) u = 0;
        }
    }
};
alignas(64) constexpr EncoderTable kEncoderTable;

// The encoder's predictor: the last reconstructed sample and the byte offset of its index's
// row in kEncoderTable. No decision is a branch: they depend on the audio and would be
// mispredicted half of the time.
struct EncoderLane {
    std::int32_t value;
    std::size_t row;

    EncoderLane() : EncoderLane(TADPCMState{}) {}
    explicit EncoderLane(const TADPCMState& s)
        : value(s.valprev), row(static_cast<std::size_t>(clampIndex(s.index)) << kRowShift) {}
    TADPCMState state() const {
        return {static_cast<std::int16_t>(value), static_cast<std::uint8_t>(row >> kRowShift)};
    }

    std::uint32_t encode(std::int32_t sample) {
        const EncoderRow& r = kEncoderTable.row[row >> kRowShift];
        const std::int32_t delta = sample - value;
        const std::int32_t sign = delta >> 31;
        const std::int32_t magnitude = (delta ^ sign) - sign;
        const std::uint32_t level =
            static_cast<std::uint32_t>(magnitude >= r.reach[0]) + static_cast<std::uint32_t>(magnitude >= r.reach[1]) +
            static_cast<std::uint32_t>(magnitude >= r.reach[2]) + static_cast<std::uint32_t>(magnitude >= r.reach[3]) +
            static_cast<std::uint32_t>(magnitude >= r.reach[4]) + static_cast<std::uint32_t>(magnitude >= r.reach[5]) +
            static_cast<std::uint32_t>(magnitude >= r.reach[6]);
        const std::uint32_t code = level | (static_cast<std::uint32_t>(sign) & 8u);
        const std::int32_t e = r.entry[code];
        // Out of the 16-bit range only near full scale: a branch almost never taken costs
        // nothing, where a clamp by conditional moves would lengthen every sample's chain.
        std::int32_t next = value + (e >> 14);
        if (static_cast<std::uint32_t>(next + 32768) > 0xFFFFu) [[unlikely]]
            next = next < 0 ? -32768 : 32767;
        value = next;
        row = static_cast<std::size_t>(e & 0x3FFF);
        return code;
    }
};

}  // namespace

std::uint8_t ADPCMEncodeSample(std::int16_t sample, TADPCMState& state) {
    EncoderLane lane(state);
    const std::uint32_t code = lane.encode(sample);
    state = lane.state();
    return static_cast<std::uint8_t>(code);
}

namespace {
void appendState(std::vector<std::uint8_t>& states, const TADPCMState& s) {
    ByteWriter w(states);
    w.i16(s.valprev);
    w.u8(s.index);
}
}  // namespace

namespace {

// Encodes codedLength bytes of each of K streams from the zero state, side by side: the
// predictor chains are independent, so one core works on all of them at once. Sample s of
// stream k is fast(k, s), or checked(k, s) past the first 2 * fastPairs samples. One 3-byte
// state per started block, as ADPCMEncodeStream describes.
template <std::size_t K, class Fast, class Checked>
void encodeSamples(std::size_t codedLength, std::size_t fastPairs, Fast fast, Checked checked,
                   const std::array<std::uint8_t*, K>& dst, const std::array<std::vector<std::uint8_t>*, K>& states) {
    for (auto* st : states) st->reserve(st->size() + (codedLength + kStateBlockBytes - 1) / kStateBlockBytes * 3);
    std::array<EncoderLane, K> lanes{};
    for (std::size_t i = 0; i < codedLength; ++i) {
        if (i % kStateBlockBytes == 0 && i != 0)
            for (std::size_t k = 0; k < K; ++k) appendState(*states[k], lanes[k].state());
        std::array<std::uint32_t, K> c0, c1;
        if (i < fastPairs) [[likely]] {
            for (std::size_t k = 0; k < K; ++k) c0[k] = lanes[k].encode(fast(k, 2 * i));
            for (std::size_t k = 0; k < K; ++k) c1[k] = lanes[k].encode(fast(k, 2 * i + 1));
        } else {
            for (std::size_t k = 0; k < K; ++k) c0[k] = lanes[k].encode(checked(k, 2 * i));
            for (std::size_t k = 0; k < K; ++k) c1[k] = lanes[k].encode(checked(k, 2 * i + 1));
        }
        for (std::size_t k = 0; k < K; ++k) dst[k][i] = static_cast<std::uint8_t>(c0[k] | (c1[k] << 4));
        if (i == 0)
            for (std::size_t k = 0; k < K; ++k) appendState(*states[k], lanes[k].state());
    }
}

std::uint8_t* growBy(std::vector<std::uint8_t>& coded, std::size_t length) {
    const std::size_t start = coded.size();
    coded.resize(start + length);
    return coded.data() + start;
}

}  // namespace

void ADPCMEncodeStream(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& coded,
                       std::vector<std::uint8_t>& states, std::int32_t byteCount) {
    if (byteCount < 4) return;
    const std::size_t codedLength = static_cast<std::size_t>(byteCount / 2 / 2);
    std::uint8_t* dst = growBy(coded, codedLength);
    const std::uint8_t* src = input.data();
    // Input missing from the span reads as silence; a last byte on its own is the low byte of
    // its sample.
    auto checked = [&](std::size_t, std::size_t s) -> std::int32_t {
        const std::size_t at = 2 * s;
        if (at >= input.size()) return 0;
        if (input.size() - at == 1) return static_cast<std::int16_t>(src[at]);
        return loadI16(src + at);
    };
    auto fast = [src](std::size_t, std::size_t s) -> std::int32_t { return loadI16(src + 2 * s); };
    encodeSamples<1>(codedLength, std::min(codedLength, input.size() / 4), fast, checked, {dst}, {&states});
}

namespace {

// Channels first, first + 1, ... of the frames, K of them side by side.
template <std::size_t K>
void encodeChannels(std::span<const std::uint8_t> frames, std::size_t channels, std::size_t first,
                    std::vector<std::uint8_t>* coded, std::vector<std::uint8_t>* states, std::size_t codedLength) {
    const std::size_t stride = 2 * channels;
    const std::size_t whole = frames.size() / stride;
    // No pointer into the frames is formed past what they hold (an empty span has none).
    const std::uint8_t* src = frames.data();
    std::array<std::uint8_t*, K> dst{};
    std::array<std::vector<std::uint8_t>*, K> st{};
    for (std::size_t k = 0; k < K; ++k) {
        dst[k] = growBy(coded[k], codedLength);
        st[k] = &states[k];
    }
    auto fast = [src, stride, first](std::size_t k, std::size_t s) -> std::int32_t {
        return loadI16(src + s * stride + 2 * (first + k));
    };
    auto checked = [&](std::size_t k, std::size_t s) -> std::int32_t { return s < whole ? fast(k, s) : 0; };
    encodeSamples<K>(codedLength, std::min(codedLength, whole / 2), fast, checked, dst, st);
}

}  // namespace

void ADPCMEncodeChannels(std::span<const std::uint8_t> frames, std::size_t channels, std::size_t first,
                         std::span<std::vector<std::uint8_t>> coded, std::span<std::vector<std::uint8_t>> states,
                         std::int32_t byteCount) {
    if (byteCount < 4 || states.size() != coded.size() || first > channels || channels - first < coded.size()) return;
    const std::size_t codedLength = static_cast<std::size_t>(byteCount / 2 / 2);
    std::size_t k = 0;
    for (; coded.size() - k >= 2; k += 2)
        encodeChannels<2>(frames, channels, first + k, &coded[k], &states[k], codedLength);
    if (k < coded.size()) encodeChannels<1>(frames, channels, first + k, &coded[k], &states[k], codedLength);
}

ChannelEncoder::ChannelEncoder(std::size_t channels, std::size_t first, std::size_t count)
    : stride_(2 * channels), first_(first), count_(std::min<std::size_t>(count, 2)) {
    // A channel outside the frames is never read: such an encoder takes nothing.
    if (first > channels || channels - first < count_) count_ = 0;
}

void ChannelEncoder::Reserve(std::size_t frames) {
    for (std::size_t k = 0; k < count_; ++k) {
        coded_[k].reserve(frames / 2);
        states_[k].reserve((frames / 2 + kStateBlockBytes - 1) / kStateBlockBytes * kStoredStateBytes);
    }
}

namespace {

// `n` coded bytes of one or two channels (the second at byte 2 of each frame) from frames
// `stride` bytes apart, into oa and ob. The lanes are copied into locals for the loop, which
// calls nothing: each predictor chain then stays in registers instead of going through memory
// on every sample.
template <std::size_t K>
void encodeRun(EncoderLane& la, EncoderLane& lb, const std::uint8_t* src, std::size_t stride, std::size_t n,
               std::uint8_t* oa, std::uint8_t* ob) {
    EncoderLane a = la, b = lb;
    for (std::size_t p = 0; p < n; ++p) {
        const std::uint8_t* f = src + 2 * p * stride;
        const std::uint32_t a0 = a.encode(loadI16(f));
        std::uint32_t b0 = 0;
        if constexpr (K == 2) b0 = b.encode(loadI16(f + 2));
        const std::uint32_t a1 = a.encode(loadI16(f + stride));
        oa[p] = static_cast<std::uint8_t>(a0 | (a1 << 4));
        if constexpr (K == 2) {
            const std::uint32_t b1 = b.encode(loadI16(f + stride + 2));
            ob[p] = static_cast<std::uint8_t>(b0 | (b1 << 4));
        }
    }
    la = a;
    lb = b;
}

}  // namespace

// `pairs` coded bytes a channel from the frames at `src` (channel first_ at offset 0), `stride`
// bytes apart; the stored states as encodeSamples keeps them. The codes go through a buffer of
// one block onto the streams' reserved ends, so no stretch of a stream is zeroed before it is
// written.
template <std::size_t K>
void ChannelEncoder::addPairs(const std::uint8_t* src, std::size_t stride, std::size_t pairs) {
    EncoderLane lanes[2];
    for (std::size_t k = 0; k < K; ++k) {
        lanes[k].value = value_[k];
        lanes[k].row = row_[k];
    }
    std::uint8_t chunk[2][kStateBlockBytes];
    std::size_t i = written_;
    for (std::size_t done = 0; done < pairs;) {
        if (i % kStateBlockBytes == 0 && i != 0)
            for (std::size_t k = 0; k < K; ++k) appendState(states_[k], lanes[k].state());
        // Up to the next block's edge; the first byte alone, since block 0 stores the state after it.
        const std::size_t n = i == 0 ? 1 : std::min(pairs - done, kStateBlockBytes - i % kStateBlockBytes);
        encodeRun<K>(lanes[0], lanes[1], src + 2 * done * stride, stride, n, chunk[0], chunk[1]);
        if (i == 0)
            for (std::size_t k = 0; k < K; ++k) appendState(states_[k], lanes[k].state());
        for (std::size_t k = 0; k < K; ++k) coded_[k].insert(coded_[k].end(), chunk[k], chunk[k] + n);
        done += n;
        i += n;
    }
    written_ = i;
    for (std::size_t k = 0; k < K; ++k) {
        value_[k] = lanes[k].value;
        row_[k] = lanes[k].row;
    }
}

void ChannelEncoder::Add(std::span<const std::uint8_t> frames) {
    if (count_ == 0 || frames.size() < stride_) return;
    std::size_t whole = frames.size() / stride_;
    // Offsets, not pointers, until a frame is read: no pointer is formed past the piece.
    std::size_t at = 2 * first_;
    const std::size_t bytes = 2 * count_;
    auto run = [&](const std::uint8_t* from, std::size_t stride, std::size_t pairs) {
        if (count_ == 2)
            addPairs<2>(from, stride, pairs);
        else
            addPairs<1>(from, stride, pairs);
    };
    if (hasPending_) {
        // The frame held back from the last piece and this piece's first make one coded byte.
        std::uint8_t joined[8];
        std::memcpy(joined, pending_, bytes);
        std::memcpy(joined + bytes, frames.data() + at, bytes);
        run(joined, bytes, 1);
        hasPending_ = false;
        at += stride_;
        --whole;
    }
    if (whole >= 2) run(frames.data() + at, stride_, whole / 2);
    if (whole % 2 != 0) {
        std::memcpy(pending_, frames.data() + at + (whole - 1) * stride_, bytes);
        hasPending_ = true;
    }
}

namespace {

constexpr std::array<std::uint8_t, kStateBlockBytes> kZeroBlock{};

template <class BlockAt>
void decodeBlocks(LanePath path, std::size_t blocks, const TADPCMState* states, std::int16_t* out, BlockAt blockAt) {
    std::size_t k = 0;
    if (path != LanePath::Portable && !detail::LanePathAvailable(path)) path = LanePath::Portable;
    if (const std::size_t width = detail::LaneWidth(path); width != 0 && blocks >= width) {
        std::vector<std::uint8_t> gathered;
        for (; k + width <= blocks; k += width) {
            const std::uint8_t* run = blockAt(k);
            bool together = true;
            for (std::size_t l = 1; l < width && together; ++l) together = blockAt(k + l) == run + l * kStateBlockBytes;
            if (!together) {
                gathered.resize(width * kStateBlockBytes);
                for (std::size_t l = 0; l < width; ++l)
                    std::memcpy(gathered.data() + l * kStateBlockBytes, blockAt(k + l), kStateBlockBytes);
                run = gathered.data();
            }
            detail::DecodeLanes(path, run, states + k, out + k * kStateBlockSamples);
        }
    }
    std::array<std::uint8_t, 4 * kStateBlockBytes> gathered;
    for (; k + 4 <= blocks; k += 4) {
        const std::uint8_t* in[4] = {blockAt(k), blockAt(k + 1), blockAt(k + 2), blockAt(k + 3)};
        const std::uint8_t* run = in[0];
        if (in[1] != run + kStateBlockBytes || in[2] != run + 2 * kStateBlockBytes ||
            in[3] != run + 3 * kStateBlockBytes) {
            for (std::size_t l = 0; l < 4; ++l)
                std::memcpy(gathered.data() + l * kStateBlockBytes, in[l], kStateBlockBytes);
            run = gathered.data();
        }
        decodeFour(run, states + k, out + k * kStateBlockSamples);
    }
    for (; k < blocks; ++k) decodeOne(blockAt(k), states[k], out + k * kStateBlockSamples);
}

void decodeCoded(LanePath path, std::span<const std::uint8_t> coded, std::span<const TADPCMState> states,
                 std::int16_t* out) {
    std::array<std::uint8_t, kStateBlockBytes> partial{};
    decodeBlocks(path, states.size(), states.data(), out, [&](std::size_t k) -> const std::uint8_t* {
        std::size_t begin = k * kStateBlockBytes;
        if (begin >= coded.size()) return kZeroBlock.data();
        std::size_t have = coded.size() - begin;
        if (have >= kStateBlockBytes) return coded.data() + begin;
        // Only the block holding the end of `coded` is partly present.
        std::memcpy(partial.data(), coded.data() + begin, have);
        return partial.data();
    });
}

}  // namespace

void DecodeStateBlocks(std::span<const std::uint8_t> coded, std::span<const TADPCMState> states, std::int16_t* out) {
    decodeCoded(detail::BestLanePath(), coded, states, out);
}

void DecodeStateBlocksOn(LanePath path, std::span<const std::uint8_t> coded, std::span<const TADPCMState> states,
                         std::int16_t* out) {
    decodeCoded(path, coded, states, out);
}

void DecodeStateBlocks(std::span<const std::uint8_t* const> blocks, std::span<const TADPCMState> states,
                       std::int16_t* out) {
    decodeBlocks(detail::BestLanePath(), states.size(), states.data(), out, [&](std::size_t k) -> const std::uint8_t* {
        return k < blocks.size() && blocks[k] ? blocks[k] : kZeroBlock.data();
    });
}

std::vector<TADPCMState> ParseStoredStates(std::span<const std::uint8_t> bytes) {
    std::vector<TADPCMState> states(bytes.size() / kStoredStateBytes);
    for (std::size_t i = 0; i < states.size(); ++i) {
        const std::uint8_t* p = bytes.data() + 3 * i;
        states[i].valprev = loadI16(p);
        states[i].index = p[2];
    }
    return states;
}

}  // namespace brenzo::codec
