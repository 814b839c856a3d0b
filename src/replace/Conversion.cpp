#include "replace/Conversion.h"

#include "platform/Files.h"
#include "platform/Path.h"

namespace brenzo::replace {

std::uint16_t ClampMixerRate(std::uint32_t rate) {
    return rate < 0x10000 ? static_cast<std::uint16_t>(rate) : std::uint16_t{48000};
}

Status Convert2Wav(engine::Converter& converter, const std::filesystem::path& source,
                   const std::filesystem::path& target, workspace::UiPort& port, engine::ConvertedFormat* format) {
    port.SetProgress(0, 100);
    port.SetStatus("Converting to WAV...");
    port.SetMarquee(true);
    (void)platform::RemoveFile(target);
    // Refused as soon as the length is known, not after converting and reading it whole.
    converter.LimitDataBytes(kMaxConvertedBytes,
                             "the converted audio is 2 GiB or longer, more than a container can hold");
    auto converted = converter.Convert(source, target, ClampMixerRate, [&] { port.Pump(); });
    port.SetStatus("");
    port.SetMarquee(false);
    if (!converted) return converted.status();
    if (!platform::FileExists(target))
        return Error{"cannot decode " + platform::FileNameUtf8(source) + ": no converted file was written"};
    if (format) *format = *converted;
    return {};
}

Result<ConvertedImage> LoadConvertedWav(const std::filesystem::path& path) {
    auto bytes = platform::ReadWholeFile(path);
    if (!bytes) return bytes.error();
    auto info = codec::ProbeConvertedWav(*bytes);
    if (!info) return info.error();
    ConvertedImage image;
    image.bytes = std::move(*bytes);
    image.info = *info;
    return image;
}

Status CheckConvertedSize(const codec::ConvertedWavInfo& info) {
    if (info.DataSize > kMaxConvertedBytes)
        return Error{"the converted audio is 2 GiB or longer, more than a container can hold"};
    return {};
}

}  // namespace brenzo::replace
