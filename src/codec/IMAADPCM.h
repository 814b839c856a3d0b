#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace brenzo::codec {

// One IMA ADPCM predictor state; 3 bytes in a container (valprev LE, then index).
struct TADPCMState {
    std::int16_t valprev = 0;
    std::uint8_t index = 0;

    friend bool operator==(const TADPCMState&, const TADPCMState&) = default;
};

// Coded bytes that share one stored state, and the samples they hold.
inline constexpr std::size_t kStateBlockBytes = 2048;
inline constexpr std::size_t kStateBlockSamples = 2 * kStateBlockBytes;
inline constexpr std::size_t kStoredStateBytes = 3;

// Decodes one 4-bit code (only the low 4 bits are used) and advances the state.
std::int16_t ADPCMDecodeNibble(std::uint8_t code, TADPCMState& state);

// Encodes one sample and advances the state exactly as decoding the returned code would.
std::uint8_t ADPCMEncodeSample(std::int16_t sample, TADPCMState& state);

// Encodes byteCount bytes of mono 16-bit little-endian PCM from `input` in one pass from the
// zero state. Appends the coded bytes (two codes a byte, earlier sample in the low nibble) to
// `coded` and one 3-byte state per started 2048-byte block to `states`: block 0 stores the
// state after coded byte 0, block m >= 1 the state in force just before its first byte.
// Input bytes missing from the span are read as silence.
void ADPCMEncodeStream(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& coded,
                       std::vector<std::uint8_t>& states, std::int32_t byteCount);

// The same for channels first .. first + coded.size() - 1 of interleaved 16-bit little-endian
// frames (`channels` samples a frame), without taking them out of the frames first: coded[k]
// and states[k] receive what ADPCMEncodeStream gives for channel first + k alone. byteCount
// counts one channel's bytes; samples of frames missing from the span, or cut short at its
// end, read as silence. Two channels are encoded side by side on one core, their predictor
// chains overlapping.
void ADPCMEncodeChannels(std::span<const std::uint8_t> frames, std::size_t channels, std::size_t first,
                         std::span<std::vector<std::uint8_t>> coded, std::span<std::vector<std::uint8_t>> states,
                         std::int32_t byteCount);

// ADPCMEncodeChannels for frames that arrive in pieces: channels first .. first + count - 1
// (count 1 or 2, side by side on one core) of interleaved 16-bit little-endian frames of
// `channels` samples each. After the last piece, coded(k) and states(k) hold exactly what
// ADPCMEncodeChannels gives for all the pieces joined with a byteCount of two bytes a frame: a
// last odd frame is left out, since a coded byte holds two samples.
class ChannelEncoder {
public:
    ChannelEncoder(std::size_t channels, std::size_t first, std::size_t count);
    // Room for `frames` frames in all, so that the streams do not move as they grow.
    void Reserve(std::size_t frames);
    // Whole frames; bytes of a cut-short last frame are ignored.
    void Add(std::span<const std::uint8_t> frames);
    std::size_t count() const { return count_; }
    std::vector<std::uint8_t>& coded(std::size_t k) { return coded_[k]; }
    std::vector<std::uint8_t>& states(std::size_t k) { return states_[k]; }

private:
    template <std::size_t K>
    void addPairs(const std::uint8_t* src, std::size_t stride, std::size_t pairs);

    std::size_t stride_, first_, count_;
    std::int32_t value_[2]{};
    std::size_t row_[2]{};
    std::uint8_t pending_[4]{};
    bool hasPending_ = false;
    std::size_t written_ = 0;  // coded bytes per channel so far
    std::vector<std::uint8_t> coded_[2], states_[2];
};

// Decodes states.size() whole blocks of 2048 coded bytes, block k from states[k], into
// states.size() * 4096 samples at `out`. Coded bytes missing from `coded` decode as zero
// bytes. Bit-exact with ADPCMDecodeNibble; blocks are decoded several at once.
void DecodeStateBlocks(std::span<const std::uint8_t> coded, std::span<const TADPCMState> states, std::int16_t* out);

// The same for blocks that do not lie one after another: block k is the 2048 bytes at
// blocks[k]; a null pointer, or a block past the end of `blocks`, decodes as zero bytes.
void DecodeStateBlocks(std::span<const std::uint8_t* const> blocks, std::span<const TADPCMState> states,
                       std::int16_t* out);

// How the block decoder runs: the portable code, or many blocks at once in the vector lanes of
// AVX2 or AVX-512. Every path gives the same samples; the default is the fastest this
// processor has.
enum class LanePath { Portable, Avx2, Avx512 };

// DecodeStateBlocks on a chosen path; a path the processor lacks runs the portable code.
void DecodeStateBlocksOn(LanePath path, std::span<const std::uint8_t> coded, std::span<const TADPCMState> states,
                         std::int16_t* out);

// The stored states as the 3-byte records of a container.
std::vector<TADPCMState> ParseStoredStates(std::span<const std::uint8_t> bytes);

}  // namespace brenzo::codec
