#include "engine/SoundKind.h"

#include <cstring>

namespace brenzo::engine {
namespace {

bool at(std::span<const std::uint8_t> s, std::size_t offset, const char* tag) {
    const std::size_t n = std::strlen(tag);
    return s.size() >= offset + n && std::memcmp(s.data() + offset, tag, n) == 0;
}

}  // namespace

SoundKind SniffSoundKind(std::span<const std::uint8_t> s) {
    if ((at(s, 0, "RIFF") || at(s, 0, "RF64")) && at(s, 8, "WAVE")) return SoundKind::Wav;
    if (at(s, 0, "OggS")) {
        // The first page holds the first stream's identification header.
        if (s.size() < 27) return SoundKind::OggOther;
        const std::size_t body = 27 + std::size_t{s[26]};
        if (at(s, body, "\x01vorbis")) return SoundKind::OggVorbis;
        if (at(s, body, "OpusHead")) return SoundKind::OggOpus;
        return SoundKind::OggOther;
    }
    if (at(s, 4, "ftyp")) return SoundKind::Mp4;
    std::size_t p = 0;
    // ID3v2 tags come before MP3 frames, and sometimes before FLAC and ADTS.
    while (at(s, p, "ID3") && s.size() >= p + 10) {
        const std::size_t size = (std::size_t{s[p + 6]} & 0x7F) << 21 | (std::size_t{s[p + 7]} & 0x7F) << 14 |
                                 (std::size_t{s[p + 8]} & 0x7F) << 7 | (std::size_t{s[p + 9]} & 0x7F);
        p += 10 + size + ((s[p + 5] & 0x10) ? 10 : 0);
    }
    if (at(s, p, "fLaC")) return SoundKind::Flac;
    if (s.size() >= p + 4 && s[p] == 0xFF && (s[p + 1] & 0xE0) == 0xE0) {
        const int layer = (s[p + 1] >> 1) & 3;
        if (layer == 0 && (s[p + 1] & 0xF0) == 0xF0) return SoundKind::Aac;  // ADTS
        const int bitrate = s[p + 2] >> 4;
        const int rate = (s[p + 2] >> 2) & 3;
        const int version = (s[p + 1] >> 3) & 3;
        if (layer != 0 && version != 1 && bitrate != 15 && rate != 3) return SoundKind::Mp3;
    }
    // An ID3 tag whose end lies beyond what was read still announces an MP3 file.
    if (p > s.size() && at(s, 0, "ID3")) return SoundKind::Mp3;
    return SoundKind::Unknown;
}

}  // namespace brenzo::engine
