#include "codec/Wav.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"

namespace brenzo::codec {
namespace {
void tag(ByteWriter<std::vector<std::uint8_t>>& w, const char (&t)[5]) {
    w.bytes(std::span(reinterpret_cast<const std::uint8_t*>(t), 4));
}
}  // namespace

void WriteWavHeader(std::vector<std::uint8_t>& out, std::uint16_t channels, std::uint32_t frequency,
                    std::uint32_t dataSize) {
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 2u;
    ByteWriter w(out);
    tag(w, "RIFF");
    w.u32(dataSize + 36u);
    tag(w, "WAVE");
    tag(w, "fmt ");
    w.u32(16);
    w.u16(1);
    w.u16(channels);
    w.u32(frequency);
    w.u32(frequency * blockAlign);
    w.u16(static_cast<std::uint16_t>(blockAlign));
    w.u16(16);
    tag(w, "data");
    w.u32(dataSize);
}

Result<ConvertedWavInfo> ProbeConvertedWav(std::span<const std::uint8_t> image) {
    if (image.size() < 28) return Error{"the converted WAV file is damaged: its header is cut short"};
    ConvertedWavInfo info;
    info.FmtSize = peekU32(image, 16);
    info.wFormatTag = peekU16(image, 20);
    info.nChannels = peekU16(image, 22);
    info.Rate = peekU16(image, 24);
    // Compared by subtraction: a hostile FmtSize must not wrap the check.
    if (image.size() - 28 < info.FmtSize || info.FmtSize > 0xFFFFFFFFu - 28)
        return Error{"the converted WAV file is damaged: its header is cut short"};
    info.DataSize = peekU32(image, std::size_t{info.FmtSize} + 24);
    info.DataStart = info.FmtSize + 28;
    std::size_t present = image.size() - info.DataStart;
    info.PresentBytes = present < info.DataSize ? static_cast<std::uint32_t>(present) : info.DataSize;
    return info;
}

}  // namespace brenzo::codec
