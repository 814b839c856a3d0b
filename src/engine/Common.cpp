// What the decoders and resamplers share, whichever library does the work.
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <system_error>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "common/ByteWriter.h"
#include "engine/Decoder.h"
#include "engine/Resampler.h"
#include "platform/Path.h"

namespace brenzo::engine {

namespace {

#if defined(__SSE2__) || defined(_M_X64)
// Four samples as ToPcm16 rounds them: a NaN masked to 0, the clamps, then the truncation
// moved one away from zero when the fractional part (exact in float) is at least one half.
inline __m128i roundFour(const float* in) {
    __m128 s = _mm_mul_ps(_mm_loadu_ps(in), _mm_set1_ps(32768.0f));
    s = _mm_and_ps(s, _mm_cmpord_ps(s, s));
    s = _mm_min_ps(_mm_max_ps(s, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
    const __m128i whole = _mm_cvttps_epi32(s);
    const __m128 fraction = _mm_sub_ps(s, _mm_cvtepi32_ps(whole));
    // A true comparison is all ones, -1 as an integer.
    const __m128i up = _mm_castps_si128(_mm_cmpge_ps(fraction, _mm_set1_ps(0.5f)));
    const __m128i down = _mm_castps_si128(_mm_cmple_ps(fraction, _mm_set1_ps(-0.5f)));
    return _mm_add_epi32(_mm_sub_epi32(whole, up), down);
}

// Eight samples at a time into `out` (16-bit samples in the machine's order, which is little
// endian wherever SSE2 is); returns how many were done.
std::size_t toPcm16Vector(const float* in, std::size_t count, std::uint8_t* out) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i),
                         _mm_packs_epi32(roundFour(in + i), roundFour(in + i + 4)));
    return i;
}
#else
std::size_t toPcm16Vector(const float*, std::size_t, std::uint8_t*) { return 0; }
#endif

}  // namespace

void ToPcm16(std::span<const float> in, std::span<std::int16_t> out) {
    const std::size_t count = std::min(in.size(), out.size());
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little)
        i = toPcm16Vector(in.data(), count, reinterpret_cast<std::uint8_t*>(out.data()));
    for (; i < count; ++i) out[i] = ToPcm16(in[i]);
}

void AppendPcm16Le(std::span<const float> in, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    out.resize(start + 2 * in.size());
    std::uint8_t* p = out.data() + start;
    std::size_t i = toPcm16Vector(in.data(), in.size(), p);
    for (; i < in.size(); ++i) storeI16(p + 2 * i, ToPcm16(in[i]));
}

Result<std::size_t> Decoder::ReadPcm16(std::span<std::int16_t> out) {
    std::vector<float> samples(out.size());
    auto got = Read(samples);
    if (got) ToPcm16(std::span<const float>(samples.data(), *got * format_.channels), out);
    return got;
}

Error Decoder::NothingDecoded(const std::filesystem::path& file) {
    return Refused(file, "no sound in it can be decoded");
}

Error Decoder::Refused(const std::filesystem::path& file, const std::string& reason) {
    return Error{"cannot decode " + platform::FileNameUtf8(file) + ": " + reason, false};
}

Error Decoder::Unreadable(const std::filesystem::path& file, const std::string& reason) {
    return Error{"cannot read " + platform::FileNameUtf8(file) + ": " + reason, true};
}

Status Decoder::CheckReadable(const std::filesystem::path& file) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status)) return Unreadable(file, "no such file");
    if (std::filesystem::is_directory(status)) return Unreadable(file, "it is a folder");
    return {};
}

Status Decoder::CheckShape(const std::filesystem::path& file, std::int64_t channels, std::int64_t rate) {
    if (channels <= 0) return Refused(file, "the file has no channels");
    if (channels > 0xFFFF) return Refused(file, "the file has too many channels");
    if (rate <= 0) return Refused(file, "the sample rate is 0");
    return {};
}

Result<std::vector<std::int16_t>> ReadAllPcm16(Decoder& decoder, const std::filesystem::path& file) {
    const SourceFormat format = decoder.format();
    std::vector<std::int16_t> samples;
    // A declared length only hints the size; it never sizes more than a few minutes' worth.
    constexpr std::uint64_t kReserveLimit = 64ull << 20;
    if (format.frames)
        samples.reserve(static_cast<std::size_t>(std::min(*format.frames * format.channels, kReserveLimit)));
    std::vector<float> piece(std::max<std::size_t>(65536 / format.channels, 1) * format.channels);
    for (;;) {
        auto got = decoder.Read(piece);
        if (!got) return got.error();
        if (*got == 0) break;
        const std::size_t count = *got * format.channels;
        const std::size_t start = samples.size();
        samples.resize(start + count);
        ToPcm16(std::span<const float>(piece.data(), count), std::span<std::int16_t>(samples.data() + start, count));
    }
    if (samples.empty() && !decoder.DeclaresEmpty()) return Decoder::NothingDecoded(file);
    return samples;
}

Result<std::unique_ptr<Resampler>> Resampler::Create(std::uint32_t inputRate, std::uint32_t outputRate,
                                                     std::uint16_t channels) {
    std::unique_ptr<Resampler> resampler(new Resampler);
    if (Status s = resampler->Start(Shape{inputRate, outputRate, channels}); !s) return s.error();
    return resampler;
}

Status Resampler::Process(std::span<const float> in, std::vector<float>& out) {
    if (in.empty()) return {};
    return Feed(in, out);
}

std::uint64_t Resampler::OutputFrames(std::uint64_t inputFrames, std::uint32_t inputRate, std::uint32_t outputRate) {
    if (inputRate == outputRate) return inputFrames;
    const long double frames = static_cast<long double>(inputFrames) * outputRate / inputRate;
    // Saturates rather than overflows; such a length is refused anyway.
    if (frames >= 9.0e18L) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(std::llround(frames));
}

}  // namespace brenzo::engine
