#pragma once

// What kind of sound file a file's first bytes show. The Windows engine hands each kind to its
// own decoder (Media Foundation would otherwise go by the file's extension).

#include <cstdint>
#include <span>

namespace brenzo::engine {

enum class SoundKind { Unknown, Wav, Mp3, Flac, Aac, Mp4, OggVorbis, OggOpus, OggOther };

// `start` is the file's first bytes (4 KiB is plenty, unless a long ID3 tag comes first).
SoundKind SniffSoundKind(std::span<const std::uint8_t> start);

}  // namespace brenzo::engine
