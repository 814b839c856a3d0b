#pragma once

// Decoding for the converter and the player: any file libsndfile recognises, read as float
// samples at the file's own rate and channel count, and the one conversion to 16 bits that
// every format goes through.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/Result.h"

namespace brenzo::engine {

// Rounds to nearest and clamps: a peak above full scale clips instead of wrapping, and a
// NaN (a float WAV can hold one) becomes silence.
inline std::int16_t ToPcm16(float sample) {
    const float scaled = sample * 32768.0f;
    if (!(scaled == scaled)) return 0;
    if (scaled >= 32767.0f) return 32767;
    if (scaled <= -32768.0f) return -32768;
    // In double the half is added exactly; ties go away from zero.
    const double d = scaled;
    return static_cast<std::int16_t>(d >= 0.0 ? static_cast<int>(d + 0.5) : static_cast<int>(d - 0.5));
}

void ToPcm16(std::span<const float> in, std::span<std::int16_t> out);

// Appends the samples as little-endian bytes, the order of a WAV data chunk.
void AppendPcm16Le(std::span<const float> in, std::vector<std::uint8_t>& out);

struct SourceFormat {
    std::uint32_t rate = 0;
    std::uint16_t channels = 0;
    // The frame count the file declares, when it declares one; only an estimate, since the
    // reading goes on until the decoder reports the end.
    std::optional<std::uint64_t> frames;
};

class Decoder {
public:
    // Opens by content, never by the file's extension. Refusals read "cannot decode <file>:
    // <reason>"; a file that cannot be read at all reads "cannot read <file>: <reason>" and
    // is marked as a file-system failure.
    static Result<std::unique_ptr<Decoder>> Open(const std::filesystem::path& file);

    virtual ~Decoder() = default;
    const SourceFormat& format() const { return format_; }
    // Whether a decoding that gave no frame at all is the truth (a file declaring an empty
    // sound) rather than damage: a cut-off stream can open and then give nothing.
    bool DeclaresEmpty() const { return format_.frames && *format_.frames == 0; }

    // Reads interleaved samples into `out` (a whole number of frames); returns the number of
    // frames read, 0 at the end.
    virtual Result<std::size_t> Read(std::span<float> out) = 0;

    static Error NothingDecoded(const std::filesystem::path& file);

protected:
    SourceFormat format_;
};

}  // namespace brenzo::engine
