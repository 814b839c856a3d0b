// What the decoders and resamplers share, whichever library does the work.
#include <cmath>
#include <limits>

#include "common/ByteWriter.h"
#include "engine/Decoder.h"
#include "engine/Resampler.h"
#include "platform/Path.h"

namespace brenzo::engine {

void ToPcm16(std::span<const float> in, std::span<std::int16_t> out) {
    for (std::size_t i = 0; i < in.size() && i < out.size(); ++i) out[i] = ToPcm16(in[i]);
}

void AppendPcm16Le(std::span<const float> in, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    out.resize(start + 2 * in.size());
    std::uint8_t* p = out.data() + start;
    for (float f : in) {
        storeI16(p, ToPcm16(f));
        p += 2;
    }
}

Error Decoder::NothingDecoded(const std::filesystem::path& file) {
    return Error{"cannot decode " + platform::FileNameUtf8(file) + ": no sound in it can be decoded", false};
}

std::uint64_t Resampler::OutputFrames(std::uint64_t inputFrames, std::uint32_t inputRate, std::uint32_t outputRate) {
    if (inputRate == outputRate) return inputFrames;
    const long double frames = static_cast<long double>(inputFrames) * outputRate / inputRate;
    // Saturates rather than overflows; such a length is refused anyway.
    if (frames >= 9.0e18L) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(std::llround(frames));
}

}  // namespace brenzo::engine
