#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/Result.h"

namespace brenzo::codec {

inline constexpr std::size_t kWavHeaderSize = 44;

// Appends the 44-byte RIFF/WAVE header of 16-bit PCM: RiffSize = dataSize + 36, one fmt
// chunk of 16 bytes, then the data chunk header declaring dataSize. Every 16-bit WAV Brenzo
// writes (exports, conversions) starts with it.
void WriteWavHeader(std::vector<std::uint8_t>& out, std::uint16_t channels, std::uint32_t frequency,
                    std::uint32_t dataSize);

// The fields a replace takes from a converted WAV at fixed positions: the data chunk is the
// one right behind the fmt chunk, chunk tags are not compared.
struct ConvertedWavInfo {
    std::uint32_t FmtSize = 0;
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint16_t Rate = 0;       // low half of nSamplesPerSec
    std::uint32_t DataSize = 0;   // as declared
    std::uint32_t DataStart = 0;  // FmtSize + 28
    // Sample bytes really present behind DataStart, at most DataSize.
    std::uint32_t PresentBytes = 0;
};

// Reads the probe fields; refuses an image too short to hold them.
Result<ConvertedWavInfo> ProbeConvertedWav(std::span<const std::uint8_t> image);

}  // namespace brenzo::codec
