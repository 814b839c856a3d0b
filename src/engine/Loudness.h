#pragma once

// Loudness measurement for "match loudness": a function the engine provides and the replace
// commands take as a value, so the core never links an audio library.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace brenzo::engine {

// The integrated loudness (EBU R128, LUFS) of interleaved 16-bit samples, or nothing when the
// gates leave nothing to measure (silence, or less than one 400 ms block).
using LoudnessMeter = std::function<std::optional<double>(std::span<const std::int16_t> samples, std::uint16_t channels,
                                                          std::uint32_t rate)>;

// The meter over libebur128.
std::optional<double> IntegratedLoudness(std::span<const std::int16_t> samples, std::uint16_t channels,
                                         std::uint32_t rate);

// The same measure computed here without a library (the Windows build's meter).
std::optional<double> Bs1770Loudness(std::span<const std::int16_t> samples, std::uint16_t channels, std::uint32_t rate);

}  // namespace brenzo::engine
