#include "formats/MultiWriter.h"

#include <algorithm>
#include <string>

#include "formats/Layout.h"

namespace brenzo::formats {

namespace {
constexpr std::uint32_t kChunk = 2048;
constexpr std::uint32_t kPcmBlockBytes = 0x3D800;
constexpr std::uint32_t kAdpcmBlockStartStep = 0x7B000;
constexpr std::uint32_t kPcmBlockStartStep = 0x1EC00;

std::uint32_t descriptionSize(const TMultiADPCM& multi, const TADPCMChannel& ch) {
    return multi.IsAdpcm() ? kMultiAdpcmDescriptionBase + 3 * static_cast<std::uint32_t>(ch.States.size())
                           : kMultiPcmDescriptionSize;
}

// The running FirstSample/LastSample values of the range tables.
struct Ranges {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint32_t step = 0;
    void shift(std::int64_t by) {
        first = static_cast<std::uint32_t>(first + by);
        last = static_cast<std::uint32_t>(last + by);
    }
    void write(PlanWriter& w, std::uint32_t pairs) {
        for (std::uint32_t p = 0; p < pairs; ++p) {
            w.u32(first);
            first += step;
            w.u32(last);
            last += step;
        }
    }
};

void writeBlockHead(PlanWriter& w, std::uint32_t channels) {
    const std::uint32_t ranges = 16 * channels + 24;
    w.u32(24);
    w.u32(0);
    w.u32(ranges);
    w.u32(0);
    w.u32(ranges);
    w.u32(0);
}

// Appends `bytes` bytes of a stream from `pos`, zeros where the stream has ended.
void copyStream(PlanWriter& w, std::span<const std::uint8_t> stream, std::uint64_t pos, std::uint64_t bytes) {
    std::uint64_t have = pos < stream.size() ? std::min<std::uint64_t>(bytes, stream.size() - pos) : 0;
    if (have) w.bytes(stream.subspan(static_cast<std::size_t>(pos), static_cast<std::size_t>(have)));
    w.zeros(bytes - have);
}

// Zeros up to the next multiple of 2048 counted from `from`.
void padFrom(PlanWriter& w, std::uint64_t from) { w.zeros(AlignTo2048(w.size() - from) - (w.size() - from)); }

Status writeBlocks(PlanWriter& w, const BlockShape& shape, std::uint32_t blockSize, std::uint32_t blocksCount,
                   std::span<const std::span<const std::uint8_t>> streams);
}  // namespace

bool CanWriteBlocks(bool adpcm, std::uint32_t n) {
    return adpcm ? (n == 1 || n == 2 || n == 3 || n == 5 || n == 7) : n == 2;
}

Result<BlockShape> ShapeFor(bool adpcm, std::uint32_t n) {
    if (!CanWriteBlocks(adpcm, n))
        return Error{std::string("a multichannel ") + (adpcm ? "ADPCM" : "PCM") + " file of " + std::to_string(n) +
                     " channels cannot be rebuilt (only ADPCM with 1, 2, 3, 5 or 7 channels and PCM with 2)"};
    BlockShape s;
    s.adpcm = adpcm;
    s.channels = n;
    s.channelBlockChunks = 246 / n;
    if (adpcm) {
        const std::uint32_t budget = n <= 4 ? 0xF6000 : 0xF5000;
        s.channelBlockSamples = budget / n;
        s.channelBlockBytes = s.channelBlockSamples / 2;
        s.step = 4096;
    } else {
        s.channelBlockSamples = kPcmBlockBytes / n;
        s.channelBlockBytes = 2 * s.channelBlockSamples;
        s.step = 1024;
    }
    std::uint32_t pairs = 0;
    std::uint32_t gaps = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        pairs += s.channelBlockChunks + (s.gapAfter(i) ? 1 : 0);
        gaps += s.gapAfter(i) ? 1 : 0;
    }
    s.headRegion = AlignTo2048(24 + 16 * n + 8 * pairs);
    s.dataChunks = n * s.channelBlockChunks + gaps;
    return s;
}

Status LayoutMulti(TMultiADPCM& multi) {
    const std::uint32_t n = multi.Channels;
    if (n == 0 || multi.ChHeaders.size() != n || multi.ChHeadSizes.size() != n)
        return Error{"the file's channel lists do not match its channel count"};
    auto shape = ShapeFor(multi.IsAdpcm(), n);
    if (!shape) return shape.status();
    if (multi.BlockSize < shape->fullBlockContent())
        return Error{"its blocks of " + std::to_string(multi.BlockSize) + " bytes cannot hold a full block of " +
                     std::to_string(shape->fullBlockContent()) + " bytes"};
    for (auto& ch : multi.ChHeaders) ch.StatesCount = static_cast<std::uint32_t>(ch.States.size());
    const std::uint32_t description = descriptionSize(multi, multi.ChHeaders[0]);
    for (std::uint32_t i = 0; i < n; ++i) {
        multi.ChHeadSizes[i].HeadSize = description;
        multi.ChHeadSizes[i].HeadOffset = static_cast<std::int64_t>(i) * description;
    }
    multi.BlocksCount = multi.ChHeaders[0].Size / shape->channelBlockBytes + 1;
    const std::uint64_t headSize = kMultiHeaderSize + 16 * std::uint64_t{n} + std::uint64_t{n} * description;
    const std::uint64_t headFull = AlignTo2048(headSize + 8 * std::uint64_t{multi.BlocksCount});
    if (headFull + std::uint64_t{multi.BlocksCount} * multi.BlockSize > 0xFFFFFFFFu)
        return Error{"the rebuilt file would be 4 GiB or larger"};
    multi.HeadSize = static_cast<std::uint32_t>(headSize);
    multi.HeadFullSize = static_cast<std::uint32_t>(headFull);
    return {};
}

Status WriteMultiPlan(const TMultiADPCM& multi, std::uint16_t blockRate,
                      std::span<const std::span<const std::uint8_t>> streams, ImagePlan& plan) {
    const std::uint32_t n = multi.Channels;
    if (multi.ChHeaders.size() != n || multi.ChHeadSizes.size() != n || streams.size() != n)
        return Error{"the file's channel lists do not match its channel count"};
    auto shape = ShapeFor(multi.IsAdpcm(), n);
    if (!shape) return shape.error();
    const bool adpcm = multi.IsAdpcm();

    PlanWriter w(plan);
    w.u32(multi.HeadSize);
    w.u32(0);
    w.u32(multi.BlocksCount);
    w.u32(multi.BlockSize);
    w.u32(0);
    w.i64(multi.ChInfoOffset);
    w.u32(multi.HeadSize);
    w.u32(0);
    w.u32(n);
    w.u32(0);
    w.u32(multi.HeadFullSize);
    for (const auto& entry : multi.ChHeadSizes) {
        w.i64(entry.HeadOffset);
        w.u32(entry.HeadHash);
        w.u32(entry.HeadSize);
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        const TADPCMChannel& ch = multi.ChHeaders[i];
        w.u32(0);
        w.u32(0);
        w.u32(multi.ChHeadSizes[i].HeadHash);
        w.u32(ch.Size);
        w.u32(ch.Length);
        w.i32(ch.iUnknown);
        w.u16(ch.Frequency);
        w.u16(ch.wUnknown);
        w.u16(ch.Compression);
        w.u16(0);
        if (adpcm) {
            w.i64(ch.OffsetStates);
            w.u32(ch.Samples);
            w.i64(ch._unk2);
            w.u32(static_cast<std::uint32_t>(ch.States.size()));
            for (const auto& s : ch.States) {
                w.i16(s.valprev);
                w.u8(s.index);
            }
        }
    }
    if (w.size() != multi.HeadSize) return Error{"the descriptions do not end where HeadSize says"};
    const std::uint32_t startStep = adpcm ? kAdpcmBlockStartStep : kPcmBlockStartStep;
    for (std::uint32_t g = 0; g < multi.BlocksCount; ++g) {
        w.u32(g * startStep);
        w.u16(blockRate);
        w.u16(0);
    }
    w.padTo2048();
    if (w.size() != multi.HeadFullSize) return Error{"the header does not end where HeadFullSize says"};
    return writeBlocks(w, *shape, multi.BlockSize, multi.BlocksCount, streams);
}

Result<Bytes> WriteMulti(const TMultiADPCM& multi, std::uint16_t blockRate,
                         std::span<const std::span<const std::uint8_t>> streams) {
    ImagePlan plan;
    if (Status s = WriteMultiPlan(multi, blockRate, streams, plan); !s) return s.error();
    return plan.Flatten();
}

Status WriteMultiBlocks(Bytes& out, const BlockShape& shape, std::uint32_t blockSize, std::uint32_t blocksCount,
                        std::span<const std::span<const std::uint8_t>> streams) {
    ImagePlan plan;
    {
        PlanWriter w(plan);
        if (Status s = writeBlocks(w, shape, blockSize, blocksCount, streams); !s) return s;
    }
    const Bytes blocks = plan.Flatten();
    out.insert(out.end(), blocks.begin(), blocks.end());
    return {};
}

namespace {
Status writeBlocks(PlanWriter& w, const BlockShape& shape, std::uint32_t blockSize, std::uint32_t blocksCount,
                   std::span<const std::span<const std::uint8_t>> streams) {
    const std::uint32_t n = shape.channels;
    if (streams.size() != n) return Error{"one stream per channel is needed"};
    if (blockSize < shape.fullBlockContent())
        return Error{"its blocks of " + std::to_string(blockSize) + " bytes cannot hold a full block of " +
                     std::to_string(shape.fullBlockContent()) + " bytes"};
    if (blocksCount == 0) return Error{"a multichannel file needs at least one block"};
    const std::uint64_t length = streams[0].size();
    const std::uint64_t fullBytes = std::uint64_t{blocksCount - 1} * shape.channelBlockBytes;
    if (length < fullBytes || length - fullBytes >= shape.channelBlockBytes)
        return Error{"the block count does not match the channels' length"};

    Ranges ranges{0, shape.step - 1, shape.step};
    std::uint64_t pos = 0;  // read position in every stream

    for (std::uint32_t g = 0; g + 1 < blocksCount; ++g) {
        if (shape.adpcm && n == 2 && g > 0) ranges.shift(-4096);
        const std::uint64_t b = w.size();
        writeBlockHead(w, n);
        std::uint32_t next = 0;
        for (std::uint32_t i = 0; i < n; ++i) {
            w.u32(next);
            w.u32(shape.channelBlockChunks);
            w.u32(0);
            w.u32(shape.channelBlockSamples);
            next += shape.channelBlockChunks + (i == 0 && shape.gapAfter(0) ? 1 : 0);
        }
        const Ranges kept = ranges;
        for (std::uint32_t i = 0; i < n; ++i) {
            ranges.write(w, shape.channelBlockChunks + (shape.gapAfter(i) ? 1 : 0));
            if (i + 1 < n) ranges = kept;
        }
        padFrom(w, b);
        for (std::uint32_t i = 0; i < n; ++i) {
            copyStream(w, streams[i], pos, shape.channelBlockBytes);
            if (shape.gapAfter(i)) w.zeros(kChunk);
        }
        pos += shape.channelBlockBytes;
        w.zeros(b + blockSize - w.size());
    }

    // The last block.
    if (blocksCount != 1) {
        ranges.shift(-static_cast<std::int64_t>(shape.step));
        if (shape.adpcm && n == 5) ranges.shift(4096);
    }
    const std::uint64_t tailBytes = length - pos;
    const std::uint32_t tailChunks = static_cast<std::uint32_t>((tailBytes + kChunk - 1) / kChunk);
    const std::uint32_t tailSamples =
        static_cast<std::uint32_t>(shape.adpcm ? (n == 5 ? 2 * tailBytes : tailBytes) : tailBytes / 2);
    const std::uint64_t b = w.size();
    writeBlockHead(w, n);
    std::uint32_t next = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        w.u32(next);
        w.u32(tailChunks);
        w.u32(0);
        w.u32(tailSamples);
        next += tailChunks;
    }
    const Ranges kept = ranges;
    for (std::uint32_t i = 0; i < n; ++i) {
        ranges.write(w, tailChunks);
        ranges = kept;
    }
    padFrom(w, b);
    // Readers look for the data area where the full blocks have it.
    if (w.size() - b < shape.headRegion) w.zeros(b + shape.headRegion - w.size());
    for (std::uint32_t i = 0; i < n; ++i) copyStream(w, streams[i], pos, std::uint64_t{tailChunks} * kChunk);
    w.zeros(b + blockSize - w.size());
    return {};
}

}  // namespace

}  // namespace brenzo::formats
