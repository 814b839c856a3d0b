#pragma once

// Decoding for the converter and the player: any file libsndfile recognises, read as float
// samples at the file's own rate and channel count, and the one conversion to 16 bits that
// every format goes through.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
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

    // Whether the file holds 16-bit samples that ReadPcm16 reads as they are: exactly what Read
    // and ToPcm16 give, without the round trip through float.
    virtual bool Holds16BitSamples() const { return false; }
    // Read, then ToPcm16: the same frames as 16-bit samples in the machine's order.
    virtual Result<std::size_t> ReadPcm16(std::span<std::int16_t> out);

    static Error NothingDecoded(const std::filesystem::path& file);
    // "cannot decode <file>: <reason>": the file was read but is refused.
    static Error Refused(const std::filesystem::path& file, const std::string& reason);
    // "cannot read <file>: <reason>", a file-system failure.
    static Error Unreadable(const std::filesystem::path& file, const std::string& reason);
    // The file's own refusals, before any decoder looks at it: missing, or a folder.
    static Status CheckReadable(const std::filesystem::path& file);
    // Refuses a sound without channels, with more than a WAV can count, or without a rate.
    static Status CheckShape(const std::filesystem::path& file, std::int64_t channels, std::int64_t rate);

protected:
    SourceFormat format_;
};

// Reads the rest of the decoder's sound as interleaved 16-bit samples in the machine's order,
// the form a player hands its device. A sound that gives nothing without declaring itself empty
// is refused as damaged.
Result<std::vector<std::int16_t>> ReadAllPcm16(Decoder& decoder, const std::filesystem::path& file);

}  // namespace brenzo::engine
