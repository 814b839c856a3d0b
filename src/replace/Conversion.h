#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "codec/Wav.h"
#include "common/Bytes.h"
#include "common/Result.h"
#include "engine/Engine.h"
#include "workspace/UiPort.h"

namespace brenzo::replace {

inline constexpr std::string_view kReplaceFilter =
    "Audio files (*.wav, *.mp3, *.ogg, *.oga, *.flac, *.opus, *.aif, *.aiff)|"
    "*.wav;*.mp3;*.ogg;*.oga;*.flac;*.opus;*.aif;*.aiff|WAV files (*.wav)|*.wav|MP3 files (*.mp3)|*.mp3|"
    "OGG Vorbis files (*.ogg, *.oga)|*.ogg;*.oga|FLAC files (*.flac)|*.flac|Opus files (*.opus)|*.opus|"
    "AIFF files (*.aif, *.aiff)|*.aif;*.aiff|All files (*)|*";

// The rate a source is converted to: its own below 65536 Hz (the containers store 16-bit
// rates), else 48000.
std::uint16_t ClampMixerRate(std::uint32_t rate);

// Converts the user's file into a 16-bit PCM WAV at `target` ("conv_res.wav"), showing
// "Converting to WAV..." with the bar in marquee while it runs. The old file at `target` is
// removed first, so a failed conversion can never leave an earlier one to be used. `format`,
// when given, receives what the conversion made.
Status Convert2Wav(engine::Converter& converter, const std::filesystem::path& source,
                   const std::filesystem::path& target, workspace::UiPort& port,
                   engine::ConvertedFormat* format = nullptr);

// The converted file in memory with the fields the replaces read from its header.
struct ConvertedImage {
    Bytes bytes;
    codec::ConvertedWavInfo info;

    // The DataSize bytes of samples; bytes the file does not hold are not in the span (the
    // encoders read them as silence).
    std::span<const std::uint8_t> samples() const {
        return std::span(bytes).subspan(info.DataStart, info.PresentBytes);
    }
};

Result<ConvertedImage> LoadConvertedWav(const std::filesystem::path& path);

// A DataSize the 32-bit fields of a container cannot take is refused.
Status CheckConvertedSize(const codec::ConvertedWavInfo& info);
// The most converted audio a container takes: just under 2 GiB.
inline constexpr std::uint32_t kMaxConvertedBytes = 0x7FFFFFFFu;

}  // namespace brenzo::replace
