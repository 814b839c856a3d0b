#include <algorithm>
#include <bit>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "codec/Wav.h"
#include "common/ByteWriter.h"
#include "engine/Decoder.h"
#include "engine/Engine.h"
#include "engine/Resampler.h"
#include "platform/Files.h"
#include "platform/Path.h"

namespace brenzo::engine {
namespace {

namespace fs = std::filesystem;

// RIFF sizes are 32-bit and count the 36 header bytes behind the size field too.
constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - 36;

// What a pass reports when the written size passes the caller's limit.
constexpr std::string_view kPastLimit = "past the caller's limit";

// About 512 KiB of float samples per piece, whatever the channel count; `pump` runs per piece.
constexpr std::size_t kPieceSamples = 128 * 1024;

// The 44-byte header the replace code reads at fixed places: a 16-byte fmt chunk, then data.
std::vector<std::uint8_t> wavHeader(std::uint16_t channels, std::uint32_t rate, std::uint32_t dataBytes) {
    std::vector<std::uint8_t> h;
    h.reserve(codec::kWavHeaderSize);
    codec::WriteWavHeader(h, channels, rate, dataBytes);
    return h;
}

Error refused(const fs::path& source, const std::string& reason) {
    return Error{"cannot decode " + platform::FileNameUtf8(source) + ": " + reason, false};
}

struct Pass {
    std::unique_ptr<platform::AtomicFile> file;
    std::uint64_t frames = 0;
    std::uint64_t decodedFrames = 0;
};

class WavConverter final : public Converter {
public:
    Result<ConvertedFormat> Convert(const fs::path& source, const fs::path& target, const RatePolicy& policy,
                                    const std::function<void()>& pump) override {
        auto decoder = Decoder::Open(source);
        if (!decoder) return decoder.error();
        const SourceFormat in = (*decoder)->format();

        ConvertedFormat out;
        out.sourceRate = in.rate;
        out.channels = in.channels;
        out.rate = policy ? policy(in.rate) : in.rate;
        if (out.rate == 0) return refused(source, "no rate to convert " + std::to_string(in.rate) + " Hz to");
        if (in.channels > std::numeric_limits<std::uint16_t>::max() / 2)
            return refused(source, "the file has too many channels for a WAV file");
        const std::uint64_t frameBytes = 2ull * in.channels;
        if (static_cast<std::uint64_t>(out.rate) * frameBytes > std::numeric_limits<std::uint32_t>::max())
            return refused(source, "the rate is too high for a WAV file");

        // The header comes first but the true length is known only at the end: it is written
        // from the length the file declares, and in the rare case that the decoder disagrees
        // (a damaged stream, a length the file does not declare) the conversion runs once more
        // with the length now known. The partial file never reaches the target.
        std::optional<std::uint64_t> expected;
        if (in.frames) expected = Resampler::OutputFrames(*in.frames, in.rate, out.rate);
        if (expected && *expected > kMaxDataBytes / frameBytes) return tooLong(source);
        if (expected && dataLimit_ && *expected > *dataLimit_ / frameBytes) return refused(source, dataLimitReason_);

        for (int attempt = 0; attempt < 2; ++attempt) {
            if (attempt > 0) {
                decoder = Decoder::Open(source);
                if (!decoder) return decoder.error();
            }
            std::unique_ptr<Resampler> resampler;
            if (out.rate != in.rate) {
                auto r = Resampler::Create(in.rate, out.rate, in.channels);
                if (!r) return refused(source, r.message());
                resampler = std::move(*r);
            }
            auto pass = run(**decoder, resampler.get(), source, target, out.rate, expected.value_or(0), pump);
            if (!pass && dataLimit_ && pass.message() == kPastLimit) return refused(source, dataLimitReason_);
            if (!pass) return pass.error();
            if (pass->decodedFrames == 0 && !(*decoder)->DeclaresEmpty()) return Decoder::NothingDecoded(source);
            if (expected && pass->frames == *expected) {
                if (Status s = pass->file->Commit(); !s) return s.error();
                out.frames = pass->frames;
                return out;
            }
            expected = pass->frames;
        }
        return refused(source, "the decoder gives a different length each time");
    }

private:
    static Error tooLong(const fs::path& source) {
        return refused(source, "the converted sound would be larger than a WAV file can hold (4 GiB)");
    }

    // Decodes (and resamples) the whole source into a new file beside the target whose header
    // declares `declaredFrames`; the caller commits it when that was the true length.
    Result<Pass> run(Decoder& decoder, Resampler* resampler, const fs::path& source, const fs::path& target,
                     std::uint32_t rate, std::uint64_t declaredFrames, const std::function<void()>& pump) const {
        const SourceFormat& in = decoder.format();
        const std::uint64_t frameBytes = 2ull * in.channels;

        // The converted file is a scratch file: it need not reach the disk before it is used.
        auto created = platform::AtomicFile::Create(target, platform::Durability::Cached);
        if (!created) return created.error();
        Pass pass;
        pass.file = std::move(*created);
        if (Status s =
                pass.file->Write(wavHeader(in.channels, rate, static_cast<std::uint32_t>(declaredFrames * frameBytes)));
            !s)
            return s.error();
        if (sink_) sink_->Begin({in.rate, rate, in.channels, declaredFrames});

        const std::size_t pieceFrames = std::max<std::size_t>(kPieceSamples / in.channels, 1);
        std::vector<float> decoded;
        std::vector<float> resampled;
        std::vector<std::uint8_t> bytes;
        std::uint64_t dataBytes = 0;
        auto write = [&](std::span<const std::uint8_t> samples) -> Status {
            const std::uint64_t add = samples.size();
            if (add > kMaxDataBytes - dataBytes) return tooLong(source);
            if (dataLimit_ && add > *dataLimit_ - std::min(dataBytes, *dataLimit_))
                return Error{std::string(kPastLimit)};
            dataBytes += add;
            if (sink_) sink_->Write(samples);
            return pass.file->Write(samples);
        };
        auto emit = [&](std::span<const float> samples) -> Status {
            bytes.clear();
            AppendPcm16Le(samples, bytes);
            return write(bytes);
        };

        if (!resampler && decoder.Holds16BitSamples()) {
            // 16-bit samples kept at their rate are copied as they are, never through float.
            std::vector<std::int16_t> pcm(pieceFrames * in.channels);
            for (;;) {
                auto got = decoder.ReadPcm16(pcm);
                if (!got) return got.error();
                if (*got == 0) break;
                pass.decodedFrames += *got;
                const std::size_t count = *got * in.channels;
                std::span<const std::uint8_t> piece;
                if constexpr (std::endian::native == std::endian::little) {
                    piece = std::span(reinterpret_cast<const std::uint8_t*>(pcm.data()), 2 * count);
                } else {
                    bytes.resize(2 * count);
                    for (std::size_t i = 0; i < count; ++i) storeI16(bytes.data() + 2 * i, pcm[i]);
                    piece = bytes;
                }
                if (Status s = write(piece); !s) return s.error();
                if (pump) pump();
            }
            pass.frames = dataBytes / frameBytes;
            return pass;
        }

        decoded.resize(pieceFrames * in.channels);
        for (;;) {
            auto got = decoder.Read(decoded);
            if (!got) return got.error();
            if (*got == 0) break;
            pass.decodedFrames += *got;
            std::span<const float> piece(decoded.data(), *got * in.channels);
            if (resampler) {
                resampled.clear();
                if (Status s = resampler->Process(piece, resampled); !s) return refused(source, s.message());
                piece = resampled;
            }
            if (Status s = emit(piece); !s) return s.error();
            if (pump) pump();
        }
        if (resampler) {
            resampled.clear();
            if (Status s = resampler->Flush(resampled); !s) return refused(source, s.message());
            if (Status s = emit(resampled); !s) return s.error();
        }
        pass.frames = dataBytes / frameBytes;
        return pass;
    }
};

}  // namespace

std::unique_ptr<Converter> MakeConverter() { return std::make_unique<WavConverter>(); }

}  // namespace brenzo::engine
