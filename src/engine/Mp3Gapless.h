#pragma once

// The encoder's delay and padding of an MP3 file, as its first frame (a Xing or Info frame
// with a LAME extension) records them. A decoder that keeps them gives 529 + delay frames of
// silence before the sound and padding - 529 after it; removing them gives the sound the
// encoder was handed, which is what libmpg123 gives in its gapless mode.

#include <cstdint>
#include <optional>
#include <span>

namespace brenzo::engine {

struct Mp3Gapless {
    std::uint32_t rate = 0;
    std::uint32_t samplesPerFrame = 0;  // 1152, or 576 for MPEG-2 and 2.5 layer III
    std::uint64_t frames = 0;           // MPEG frames of sound, the Xing frame not counted
    std::uint32_t delay = 0;            // encoder delay, in samples
    std::uint32_t padding = 0;
    // What a decoder that keeps the delay gives first, and the length of the sound itself.
    std::uint64_t Skip() const { return delay + 529ull; }
    std::uint64_t Length() const {
        const std::uint64_t all = frames * samplesPerFrame;
        const std::uint64_t cut = std::uint64_t{delay} + padding;
        return all > cut ? all - cut : 0;
    }
};

// Reads the start of an MP3 file (an ID3v2 tag may come first). Nothing when the first frame
// is no Xing/Info frame with a frame count and a LAME extension: then nothing is trimmed.
std::optional<Mp3Gapless> ReadMp3Gapless(std::span<const std::uint8_t> start);

}  // namespace brenzo::engine
