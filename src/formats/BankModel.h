#pragma once

#include <cstdint>
#include <vector>

#include "codec/IMAADPCM.h"

namespace brenzo::formats {

using codec::TADPCMState;

inline constexpr std::uint32_t kBankFixedHeaderSize = 28;
inline constexpr std::uint32_t kDirectoryEntrySize = 16;
inline constexpr std::uint32_t kAdpcmRecordBase = 56;  // plus 3 bytes a state
inline constexpr std::uint32_t kPcmRecordSize = 32;
inline constexpr std::uint32_t kCompressionAdpcm = 1024;
inline constexpr std::uint32_t kCompressionPcm = 1;

// Sound directory entry (16 bytes from position 28).
struct TBankChannelHeader {
    std::uint32_t Offset = 0;  // of the info record, from InfoBase
    std::uint32_t Hash = 0;
    std::uint32_t Size = 0;  // of the info record

    friend bool operator==(const TBankChannelHeader&, const TBankChannelHeader&) = default;
};

// Sound info record; the fields from OffsetStates on exist only in the ADPCM form.
struct TBankChannelInfo {
    std::uint32_t Offset = 0;  // of the samples, from HeaderFullSize
    std::uint32_t Size = 0;    // sample bytes, without the slot padding
    std::uint32_t Size2 = 0;   // sample count
    std::int32_t iUnknown = 0;
    std::uint16_t Frequency = 0;
    std::uint16_t wUnknown = 0;
    std::uint32_t Compression = 0;
    std::int64_t OffsetStates = 0;
    std::uint32_t Samples = 0;
    std::int64_t _wFA = 0;
    std::uint32_t StatesCount = 0;
    std::vector<TADPCMState> States;

    friend bool operator==(const TBankChannelInfo&, const TBankChannelInfo&) = default;
};

// The first 8 bytes of an animation block; not interpreted.
struct TBankAnim {
    std::uint32_t _f0 = 0;
    std::uint32_t Size = 0;

    friend bool operator==(const TBankAnim&, const TBankAnim&) = default;
};

// Animation directory entry (kind 0 only, 16 bytes from HeaderSize).
struct TBankAnimsHeader {
    std::int64_t Offset = 0;  // from AnimBase
    std::uint32_t Hash = 0;
    std::uint32_t Size = 0;
    TBankAnim Animation;

    friend bool operator==(const TBankAnimsHeader&, const TBankAnimsHeader&) = default;
};

struct TBankAudio {
    std::uint32_t HeaderSize = 0;
    std::uint32_t AudioCount = 0;
    std::uint32_t HeaderFullSize = 0;
    std::vector<TBankChannelHeader> BanksHeadInfo;
    std::vector<TBankChannelInfo> BanksInfo;
    std::vector<TBankAnimsHeader> AnimsInfo;

    friend bool operator==(const TBankAudio&, const TBankAudio&) = default;
};

// The two sound bank kinds; the numbers are the workspace's FileKind values.
enum class BankKind : std::uint8_t { WithAnimations = 0, Plain = 1 };

// The form every info record of a written bank takes.
enum class RecordForm { Adpcm, Pcm };

inline std::uint32_t InfoBase(std::uint32_t audioCount) {
    return kBankFixedHeaderSize + kDirectoryEntrySize * audioCount;
}

// Where a sound's stored bytes start: its Offset counts from HeaderFullSize.
inline std::uint64_t SoundDataStart(const TBankAudio& bank, const TBankChannelInfo& info) {
    return std::uint64_t{bank.HeaderFullSize} + info.Offset;
}

// What an animation block's Offset counts from: the end of the animation directory.
inline std::uint64_t AnimationBase(const TBankAudio& bank) {
    return std::uint64_t{bank.HeaderSize} + std::uint64_t{kDirectoryEntrySize} * bank.AudioCount;
}

}  // namespace brenzo::formats
