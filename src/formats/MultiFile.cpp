#include "formats/MultiFile.h"

#include <algorithm>

#include "common/ByteReader.h"
#include "formats/Layout.h"

namespace brenzo::formats {

Result<TMultiADPCM> ReadMulti(std::span<const std::uint8_t> image, const MultiProgress& progress) {
    TMultiADPCM multi;
    ByteReader r(image);
    multi.HeadSize = r.u32();
    r.seek(8);
    multi.BlocksCount = r.u32();
    multi.BlockSize = r.u32();
    r.seek(20);
    multi.ChInfoOffset = r.i64();
    r.seek(36);
    multi.Channels = r.u32();
    r.seek(44);
    multi.HeadFullSize = r.u32();
    if (r.ranShort()) return Error{"its header is cut short"};
    if (multi.Channels == 0) return Error{"it has no channels"};

    const std::uint64_t room = (image.size() - kMultiHeaderSize) / 16;
    if (multi.Channels > room)
        return Error{"it says it has " + std::to_string(multi.Channels) + " channels but has room for " +
                     std::to_string(room)};
    multi.ChHeadSizes.resize(multi.Channels);
    r.seek(kMultiHeaderSize);
    for (auto& entry : multi.ChHeadSizes) {
        entry.HeadOffset = r.i64();
        entry.HeadHash = r.u32();
        entry.HeadSize = r.u32();
    }

    multi.ChHeaders.resize(multi.Channels);
    // Descriptions may overlap (a directory's HeadSize of 0 makes every channel read the same
    // one), so each channel's states are not bounded by the file on their own: all of them
    // together may not claim more than the file's bytes could hold, 3 bytes a state.
    std::uint64_t statesLeft = image.size() / 3;
    std::uint64_t at = kMultiHeaderSize + 16 * std::uint64_t{multi.Channels};
    for (std::uint32_t i = 0; i < multi.Channels; ++i) {
        if (progress) progress(i, multi.Channels);
        if (!fitsIn(image.size(), at, kMultiPcmDescriptionSize))
            return Error{"the description of channel " + std::to_string(i) + " runs past the end of the file"};
        TADPCMChannel& ch = multi.ChHeaders[i];
        r.seek(static_cast<std::size_t>(at) + 12);
        ch.Size = r.u32();
        ch.Length = r.u32();
        ch.iUnknown = r.i32();
        ch.Frequency = r.u16();
        ch.wUnknown = r.u16();
        ch.Compression = r.u16();
        r.skip(2);
        if (ch.Compression == kMultiCompressionAdpcm) {
            ch.OffsetStates = r.i64();
            ch.Samples = r.u32();
            ch._unk2 = r.i64();
            ch.StatesCount = r.u32();
            if (r.ranShort() || r.remaining() / 3 < ch.StatesCount || statesLeft < ch.StatesCount)
                return Error{"channel " + std::to_string(i) + " claims more states than the file holds"};
            statesLeft -= ch.StatesCount;
            ch.States.resize(ch.StatesCount);
            for (auto& s : ch.States) {
                s.valprev = r.i16();
                s.index = r.u8();
            }
            at += multi.ChHeadSizes[i].HeadSize;
        } else {
            at += kMultiPcmDescriptionSize;
        }
    }
    return multi;
}

std::uint64_t MultiDataAreaOffset(const TMultiADPCM& multi, std::uint64_t blockStart) {
    if (multi.IsAdpcm()) return multi.Channels > 3 ? 4096 : 2048;
    return AlignTo2048(blockStart + 24) - blockStart;
}

}  // namespace brenzo::formats
