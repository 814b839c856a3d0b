#include "engine/Mp3Gapless.h"

#include <cstring>

namespace brenzo::engine {
namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// An ID3v2 tag's whole length (header, size and footer), 0 when there is none.
std::size_t id3Length(std::span<const std::uint8_t> s) {
    if (s.size() < 10 || std::memcmp(s.data(), "ID3", 3) != 0) return 0;
    for (int i = 6; i < 10; ++i)
        if (s[static_cast<std::size_t>(i)] & 0x80) return 0;
    const std::size_t size = (std::size_t{s[6]} << 21) | (std::size_t{s[7]} << 14) | (std::size_t{s[8]} << 7) | s[9];
    return 10 + size + ((s[5] & 0x10) ? 10 : 0);
}

}  // namespace

std::optional<Mp3Gapless> ReadMp3Gapless(std::span<const std::uint8_t> start) {
    std::size_t at = 0;
    // Tags may follow one another.
    for (std::size_t n; (n = id3Length(start.subspan(at))) != 0 && at + n < start.size();) at += n;
    if (start.size() < at + 4) return std::nullopt;
    const std::uint8_t* h = start.data() + at;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
    const int version = (h[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (h[1] >> 1) & 3;    // 1: layer III
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer != 1 || rateIndex == 3) return std::nullopt;
    static constexpr std::uint32_t kRates[3] = {44100, 48000, 32000};
    Mp3Gapless g;
    g.rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    g.samplesPerFrame = version == 3 ? 1152 : 576;
    const bool mono = ((h[3] >> 6) & 3) == 3;
    // The Xing tag sits where the side information of a sound frame would end.
    const std::size_t side = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    std::size_t p = at + 4 + side;
    if (start.size() < p + 8) return std::nullopt;
    if (std::memcmp(start.data() + p, "Xing", 4) != 0 && std::memcmp(start.data() + p, "Info", 4) != 0)
        return std::nullopt;
    const std::uint32_t flags = be32(start.data() + p + 4);
    p += 8;
    if (!(flags & 1)) return std::nullopt;
    if (start.size() < p + 4) return std::nullopt;
    g.frames = be32(start.data() + p);
    p += 4;
    if (flags & 2) p += 4;    // byte count
    if (flags & 4) p += 100;  // seek table
    if (flags & 8) p += 4;    // quality
    // The LAME extension: a 9-byte encoder name, then 12 bytes up to the delay and padding.
    if (start.size() < p + 24) return std::nullopt;
    const std::uint8_t* lame = start.data() + p;
    if (std::memcmp(lame, "LAME", 4) != 0 && std::memcmp(lame, "Lavc", 4) != 0 && std::memcmp(lame, "Lavf", 4) != 0)
        return std::nullopt;
    const std::uint8_t* dp = lame + 21;
    g.delay = (std::uint32_t{dp[0]} << 4) | (dp[1] >> 4);
    g.padding = ((std::uint32_t{dp[1]} & 0x0F) << 8) | dp[2];
    return g;
}

}  // namespace brenzo::engine
