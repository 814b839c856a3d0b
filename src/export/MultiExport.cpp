#include <algorithm>
#include <vector>

#include "codec/IMAADPCM.h"
#include "codec/Wav.h"
#include "common/ByteReader.h"
#include "export/Export.h"
#include "formats/Layout.h"
#include "formats/MultiFile.h"

namespace brenzo::exporting {

using codec::kStateBlockBytes;
using codec::kStateBlockSamples;

namespace {

// Output a file of any size may give beyond 16 times its bytes.
constexpr std::uint64_t kExportSlack = std::uint64_t{4} << 20;

struct Entry {
    std::uint32_t ChunkStart = 0;
    std::uint32_t ChunkCount = 0;
    std::uint32_t SampleCount = 0;
};

// A channel's stream as the pieces of the image it is made of, in order.
struct Gathered {
    std::vector<const std::uint8_t*> chunks;          // ADPCM: one 2048-byte chunk each
    std::vector<std::span<const std::uint8_t>> runs;  // PCM: SampleCount * 2 bytes each
    std::uint64_t pcmBytes = 0;
};

Result<std::vector<Gathered>> gather(std::span<const std::uint8_t> image, const formats::TMultiADPCM& multi,
                                     workspace::UiPort* port) {
    const std::uint32_t n = multi.Channels;
    const bool adpcm = multi.IsAdpcm();
    std::vector<Gathered> channels(n);
    if (multi.BlocksCount > 1 && std::uint64_t{multi.BlockSize} < 24 + 16 * std::uint64_t{n})
        return Error{"its blocks are too small to hold their own entries"};
    std::vector<Entry> entries(n);
    for (std::uint32_t g = 0; g < multi.BlocksCount; ++g) {
        if (port) port->Pump();
        const std::uint64_t b = std::uint64_t{multi.HeadFullSize} + std::uint64_t{g} * multi.BlockSize;
        if (!fitsIn(image.size(), b + 24, 16 * std::uint64_t{n}))
            return Error{"block " + std::to_string(g) + " lies past the end of the file"};
        ByteReader r(image, static_cast<std::size_t>(b + 24));
        for (auto& e : entries) {
            e.ChunkStart = r.u32();
            e.ChunkCount = r.u32();
            r.skip(4);
            e.SampleCount = r.u32();
        }
        const std::uint64_t area = b + formats::MultiDataAreaOffset(multi, b);
        for (std::uint32_t j = 0; j < n; ++j) {
            const Entry& e = entries[j];
            const std::uint64_t from = area + std::uint64_t{e.ChunkStart} * kStateBlockBytes;
            Gathered& ch = channels[j];
            if (adpcm) {
                if (e.ChunkCount == 0) continue;
                if (!fitsIn(image.size(), from, std::uint64_t{e.ChunkCount} * kStateBlockBytes))
                    return Error{"channel " + std::to_string(j) + "'s data in block " + std::to_string(g) +
                                 " lies past the end of the file"};
                // Chunks beyond the channel's stored states are never decoded.
                const std::size_t wanted = multi.ChHeaders[j].States.size();
                for (std::uint32_t c = 0; c < e.ChunkCount && ch.chunks.size() < wanted; ++c)
                    ch.chunks.push_back(image.data() + from + std::uint64_t{c} * kStateBlockBytes);
            } else {
                if (e.SampleCount == 0) continue;
                const std::uint64_t bytes = std::uint64_t{e.SampleCount} * 2;
                if (!fitsIn(image.size(), from, bytes))
                    return Error{"channel " + std::to_string(j) + "'s data in block " + std::to_string(g) +
                                 " lies past the end of the file"};
                ch.runs.push_back(image.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(bytes)));
                ch.pcmBytes += bytes;
            }
        }
    }
    return channels;
}

}  // namespace

Status CheckMultiBlocks(std::span<const std::uint8_t> image, const formats::TMultiADPCM& multi) {
    // Every block is BlockSize bytes long, the last one too.
    if (!fitsIn(image.size(), multi.HeadFullSize, std::uint64_t{multi.BlocksCount} * multi.BlockSize))
        return Error{"its block size of " + std::to_string(multi.BlockSize) + " bytes puts its " +
                     std::to_string(multi.BlocksCount) + (multi.BlocksCount == 1 ? " block" : " blocks") +
                     " past the end of the file"};
    auto gathered = gather(image, multi, nullptr);
    return gathered ? Status{} : gathered.status();
}

namespace {

// Reads a PCM channel's runs in order, silence after their end.
class RunReader {
public:
    explicit RunReader(const std::vector<std::span<const std::uint8_t>>& runs) : runs_(runs) {}
    void read(std::int16_t* out, std::size_t samples) {
        std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(out);
        std::size_t want = samples * 2;
        while (want && run_ < runs_.size()) {
            auto r = runs_[run_];
            std::size_t take = std::min(want, r.size() - offset_);
            std::copy_n(r.data() + offset_, take, dst);
            dst += take;
            want -= take;
            offset_ += take;
            if (offset_ == r.size()) {
                ++run_;
                offset_ = 0;
            }
        }
        std::fill_n(dst, want, std::uint8_t{0});
    }

private:
    const std::vector<std::span<const std::uint8_t>>& runs_;
    std::size_t run_ = 0;
    std::size_t offset_ = 0;
};

}  // namespace

Status ExportMultichannel(std::span<const std::uint8_t> image, const formats::TMultiADPCM& multi, ByteSink& out,
                          workspace::UiPort* port) {
    if (port) port->Pump();
    const std::uint32_t n = multi.Channels;
    if (n == 0 || multi.ChHeaders.size() != n) return Error{"the file has no channels"};
    if (n > 0xFFFF) return Error{"it has more channels than a WAV file can hold"};
    const bool adpcm = multi.IsAdpcm();
    const formats::TADPCMChannel& first = multi.ChHeaders[0];
    // Channels shorter than channel 0 are padded with silence, ADPCM states need not have their
    // data in the file, and PCM runs of different blocks may overlap: a small file could claim
    // gigabytes of output. Stored audio expands at most fourfold (ADPCM), so an output of more
    // than 16 times the file is refused, before any of it is gathered or written.
    auto checkFrames = [&](std::uint64_t frames) -> Status {
        if (frames * n * 2 > 16 * std::uint64_t{image.size()} + kExportSlack)
            return Error{"its channels claim far more audio than the file holds"};
        if (frames * n * 2 > 0xFFFFFFFFu - 36) return Error{"its audio is larger than a WAV file can hold"};
        return {};
    };
    if (adpcm) {
        if (Status s = checkFrames(std::uint64_t{first.States.size()} * kStateBlockSamples); !s) return s;
    }
    auto gathered = gather(image, multi, port);
    if (!gathered) return gathered.error();
    auto& channels = *gathered;

    const std::uint64_t frames =
        adpcm ? std::uint64_t{first.States.size()} * kStateBlockSamples : channels[0].pcmBytes / 2;
    if (Status s = checkFrames(frames); !s) return s;
    const std::uint32_t dataSize = adpcm ? n * first.Size * 4u : static_cast<std::uint32_t>(frames * n * 2);
    std::vector<std::uint8_t> header;
    codec::WriteWavHeader(header, static_cast<std::uint16_t>(n), first.Frequency, dataSize);
    if (Status s = out.Write(header); !s) return s;

    // Frames are produced a piece at a time: every channel's share of the piece is decoded (or
    // copied) and placed into its column of the frames, which are then written. A piece is about
    // 512 KiB of samples, as a bank sound's: the buffers stay in the cache and are filled again
    // and again, where fresh pages of a piece of many megabytes cost more to obtain than the
    // decoding of their samples.
    const std::size_t pieceFrames =
        std::max<std::size_t>(kStateBlockSamples, (std::size_t{1} << 18) / n / kStateBlockSamples * kStateBlockSamples);
    const std::size_t bufferFrames = static_cast<std::size_t>(std::min<std::uint64_t>(pieceFrames, frames));
    std::vector<std::int16_t> plane(bufferFrames);
    std::vector<RunReader> readers;
    for (auto& ch : channels) readers.emplace_back(ch.runs);

    for (std::uint64_t f0 = 0; f0 < frames; f0 += pieceFrames) {
        if (port) port->Pump();
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(pieceFrames, frames - f0));
        auto frameBuffer = out.SampleRoom(count * n);
        for (std::uint32_t j = 0; j < n; ++j) {
            if (!adpcm) {
                readers[j].read(plane.data(), count);
            } else {
                // A channel with fewer stored states than channel 0 is silent after its end.
                const auto& states = multi.ChHeaders[j].States;
                const std::size_t k0 = static_cast<std::size_t>(f0 / kStateBlockSamples);
                const std::size_t blocks = count / kStateBlockSamples;
                const std::size_t have = k0 < states.size() ? std::min(blocks, states.size() - k0) : 0;
                const auto& chunks = channels[j].chunks;
                std::span<const std::uint8_t* const> pointers;
                if (k0 < chunks.size()) pointers = std::span(chunks).subspan(k0, std::min(have, chunks.size() - k0));
                codec::DecodeStateBlocks(pointers, std::span(states).subspan(std::min(k0, states.size()), have),
                                         plane.data());
                std::fill(plane.begin() + static_cast<std::ptrdiff_t>(have * kStateBlockSamples),
                          plane.begin() + static_cast<std::ptrdiff_t>(count), std::int16_t{0});
            }
            std::int16_t* column = frameBuffer.data() + j;
            for (std::size_t f = 0; f < count; ++f) column[f * n] = plane[f];
        }
        if (Status s = out.WriteSamples(frameBuffer.size()); !s) return s;
    }
    return {};
}

}  // namespace brenzo::exporting
