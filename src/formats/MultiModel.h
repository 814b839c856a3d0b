#pragma once

#include <cstdint>
#include <vector>

#include "codec/IMAADPCM.h"

namespace brenzo::formats {

using codec::TADPCMState;

inline constexpr std::uint32_t kMultiHeaderSize = 48;
inline constexpr std::uint16_t kMultiCompressionAdpcm = 0x400;
inline constexpr std::uint32_t kMultiPcmDescriptionSize = 32;
inline constexpr std::uint32_t kMultiAdpcmDescriptionBase = 56;

// One entry of the channel directory (16 bytes from offset 48).
struct TADPCMChannelHeader {
    std::int64_t HeadOffset = 0;
    std::uint32_t HeadHash = 0;
    std::uint32_t HeadSize = 0;

    friend bool operator==(const TADPCMChannelHeader&, const TADPCMChannelHeader&) = default;
};

// One channel description; the fields from OffsetStates on exist only for ADPCM channels.
struct TADPCMChannel {
    std::uint32_t Size = 0;    // bytes of sample data
    std::uint32_t Length = 0;  // samples
    std::int32_t iUnknown = 0;
    std::uint16_t Frequency = 0;
    std::uint16_t wUnknown = 0;
    std::uint16_t Compression = 0;
    std::int64_t OffsetStates = 0;
    std::uint32_t Samples = 0;
    std::int64_t _unk2 = 0;
    std::uint32_t StatesCount = 0;
    std::vector<TADPCMState> States;

    friend bool operator==(const TADPCMChannel&, const TADPCMChannel&) = default;
};

struct TMultiADPCM {
    std::uint32_t HeadSize = 0;
    std::uint32_t BlocksCount = 0;
    std::uint32_t BlockSize = 0;
    std::int64_t ChInfoOffset = kMultiHeaderSize;
    std::uint32_t Channels = 0;
    std::uint32_t HeadFullSize = 0;
    std::vector<TADPCMChannelHeader> ChHeadSizes;
    std::vector<TADPCMChannel> ChHeaders;

    // The file's kind is channel 0's.
    bool IsAdpcm() const { return !ChHeaders.empty() && ChHeaders[0].Compression == kMultiCompressionAdpcm; }

    friend bool operator==(const TMultiADPCM&, const TMultiADPCM&) = default;
};

}  // namespace brenzo::formats
