#include "codec/Wav.h"


namespace brenzo::codec {
namespace {
void put(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void tag(std::vector<std::uint8_t>& out, const char (&t)[5]) { out.insert(out.end(), t, t + 4); }
}  // namespace

void WriteWavHeader(std::vector<std::uint8_t>& out, std::uint16_t channels, std::uint16_t frequency,
                    std::uint32_t dataSize) {
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 2u;
    tag(out, "RIFF");
    put(out, dataSize + 36u, 4);
    tag(out, "WAVE");
    tag(out, "fmt ");
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, channels, 2);
    put(out, frequency, 4);
    put(out, frequency * blockAlign, 4);
    put(out, blockAlign & 0xFFFF, 2);
    put(out, 16, 2);
    tag(out, "data");
    put(out, dataSize, 4);
}

Result<ConvertedWavInfo> ProbeConvertedWav(std::span<const std::uint8_t> image) {
    auto le = [&](std::size_t pos, int bytes) {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(image[pos + i]) << (8 * i);
        return v;
    };
    if (image.size() < 28) return Error{"the converted WAV file is damaged: its header is cut short"};
    ConvertedWavInfo info;
    info.FmtSize = le(16, 4);
    info.wFormatTag = static_cast<std::uint16_t>(le(20, 2));
    info.nChannels = static_cast<std::uint16_t>(le(22, 2));
    info.Rate = static_cast<std::uint16_t>(le(24, 2));
    // Compared by subtraction: a hostile FmtSize must not wrap the check.
    if (image.size() - 28 < info.FmtSize || info.FmtSize > 0xFFFFFFFFu - 28)
        return Error{"the converted WAV file is damaged: its header is cut short"};
    info.DataSize = le(std::size_t{info.FmtSize} + 24, 4);
    info.DataStart = info.FmtSize + 28;
    std::size_t present = image.size() - info.DataStart;
    info.PresentBytes = present < info.DataSize ? static_cast<std::uint32_t>(present) : info.DataSize;
    return info;
}

}  // namespace brenzo::codec
