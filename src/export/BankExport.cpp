#include <algorithm>
#include <vector>

#include "codec/IMAADPCM.h"
#include "codec/Wav.h"
#include "common/ByteReader.h"
#include "export/Export.h"

namespace brenzo::exporting {

using codec::kStateBlockBytes;
using codec::kStateBlockSamples;

SoundForm FormOfCompression(std::uint32_t compression) {
    if (compression == formats::kCompressionPcm) return SoundForm::Pcm;
    if (compression == formats::kCompressionAdpcm) return SoundForm::Adpcm;
    return SoundForm::Unknown;
}

namespace {

// Blocks decoded per write: 64 blocks are 512 KiB of samples, large enough for the disk and
// small enough to stay in the cache.
constexpr std::size_t kBlocksPerPiece = 64;

Status writeHeader(ByteSink& out, std::uint16_t channels, std::uint16_t rate, std::uint32_t dataSize) {
    std::vector<std::uint8_t> header;
    codec::WriteWavHeader(header, channels, rate, dataSize);
    return out.Write(header);
}

}  // namespace

Status ExportBankSound(std::span<const std::uint8_t> image, const formats::TBankAudio& bank, std::uint32_t n,
                       SoundForm form, ByteSink& out, workspace::UiPort* port) {
    if (n >= bank.BanksInfo.size()) return Error{"the bank has no sound " + std::to_string(n)};
    const formats::TBankChannelInfo& info = bank.BanksInfo[n];
    if (port) port->Pump();
    const std::uint64_t start = formats::SoundDataStart(bank, info);

    switch (form) {
        case SoundForm::Unknown:
            return writeHeader(out, 1, info.Frequency, 0);
        case SoundForm::Pcm: {
            if (!fitsIn(image.size(), start, info.Size))
                return Error{"sound " + std::to_string(n) + "'s samples run past the end of the file"};
            if (Status s = writeHeader(out, 1, info.Frequency, info.Size); !s) return s;
            return out.Write(image.subspan(static_cast<std::size_t>(start), info.Size));
        }
        case SoundForm::Adpcm:
            break;
    }

    const std::size_t blocks = info.States.size();
    if (std::uint64_t{blocks} * kStateBlockSamples * 2 > 0xFFFFFFFFu - 36)
        return Error{"sound " + std::to_string(n) + " is larger than a WAV file can hold"};
    if (Status s = writeHeader(out, 1, info.Frequency, info.Size * 4u); !s) return s;
    std::span<const std::uint8_t> coded;
    if (start < image.size()) coded = image.subspan(static_cast<std::size_t>(start));
    for (std::size_t k = 0; k < blocks; k += kBlocksPerPiece) {
        if (port) port->Pump();
        const std::size_t count = std::min(kBlocksPerPiece, blocks - k);
        const std::size_t from = k * kStateBlockBytes;
        auto piece = from < coded.size() ? coded.subspan(from) : std::span<const std::uint8_t>{};
        piece = piece.first(std::min(piece.size(), count * kStateBlockBytes));
        auto samples = out.SampleRoom(count * kStateBlockSamples);
        codec::DecodeStateBlocks(piece, std::span(info.States).subspan(k, count), samples.data());
        if (Status s = out.WriteSamples(samples.size()); !s) return s;
    }
    return {};
}

}  // namespace brenzo::exporting
