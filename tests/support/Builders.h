#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/BankModel.h"
#include "formats/MultiModel.h"
#include "support/TempDir.h"

namespace brenzo::testing {

// A tone of `samples` samples; deterministic, without clipping.
std::vector<std::int16_t> Tone(std::size_t samples, double frequency, double rate, double amplitude = 12000.0);
std::vector<std::uint8_t> ToBytes(std::span<const std::int16_t> samples);
std::vector<std::int16_t> ToSamples(std::span<const std::uint8_t> bytes);

struct TestSound {
    std::uint32_t hash = 0;
    std::uint16_t rate = 22050;
    std::uint32_t compression = formats::kCompressionAdpcm;
    std::vector<std::int16_t> pcm;  // encoded when the bank is written in the ADPCM form
    std::int32_t iUnknown = 0;
    std::uint16_t wUnknown = 0;
    std::int64_t offsetStates = 0;
    std::int64_t wFA = 0;
    std::vector<std::uint8_t> animation;  // kind 0 only; at least 8 bytes
};

struct BuiltBank {
    std::vector<std::uint8_t> image;
    formats::TBankAudio model;
    std::vector<std::vector<std::uint8_t>> stored;  // the bytes stored per sound
};

// A bank written by the production writer, every record in the form of the first sound.
BuiltBank BuildBank(formats::BankKind kind, const std::vector<TestSound>& sounds);

struct BuiltMulti {
    std::vector<std::uint8_t> image;
    formats::TMultiADPCM model;
    std::vector<std::vector<std::uint8_t>> streams;  // the bytes stored per channel
};

// A multichannel file written by the production writer from one PCM track per channel.
BuiltMulti BuildMulti(bool adpcm, const std::vector<std::vector<std::int16_t>>& channels, std::uint16_t rate,
                      std::uint32_t blockSize = 256 * 2048, std::uint32_t firstHash = 0x1000);

// A hostile multichannel file of `bytes` bytes whose `channels` directory entries all have a
// HeadSize of 0, so that every channel reads the one ADPCM description after the directory;
// that description claims `states` states (0: as many as the rest of the file holds).
std::vector<std::uint8_t> SharedDescriptionMulti(std::uint32_t channels, std::size_t bytes, std::uint32_t states = 0);

// Reads a little-endian u32 at a position of a buffer.
std::uint32_t U32At(std::span<const std::uint8_t> bytes, std::size_t pos);
void PutU32(std::vector<std::uint8_t>& bytes, std::size_t pos, std::uint32_t value);

}  // namespace brenzo::testing
