#pragma once

// A reader of the plain WAV files (integer PCM of 8, 16, 24 or 32 bits, float of 32 or 64
// bits, also as WAVE_FORMAT_EXTENSIBLE) that gives the same float samples libsndfile gives, so
// that a WAV converts to the very same 16-bit samples on every system. The Windows engine reads
// WAV files through it: Media Foundation's WAV source gave nothing at all for 8-bit files under
// Wine, while reporting success.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "engine/Decoder.h"

namespace brenzo::engine {

struct PcmWavLayout {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;  // per sample: 8, 16, 24, 32 or 64
    bool isFloat = false;
    std::uint64_t dataOffset = 0;  // of the first sample in the file
    std::uint64_t frames = 0;      // whole frames present, at most what the data chunk declares
};

// The layout of a WAV file from its bytes up to the data chunk's header (`fileSize` caps a
// data chunk that declares more than the file holds). Nothing when this is no WAV file this
// reader handles (compressed kinds, odd sample sizes, no data chunk within `head`).
std::optional<PcmWavLayout> ReadPcmWavLayout(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// A decoder over such a file; nothing when the file is not one (another decoder may take it).
Result<std::unique_ptr<Decoder>> OpenPcmWav(const std::filesystem::path& file, const PcmWavLayout& layout);

// One sample's bytes as libsndfile's float reader gives it.
float PcmWavSample(const std::uint8_t* bytes, std::uint16_t bits, bool isFloat);

}  // namespace brenzo::engine
