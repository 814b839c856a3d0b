#include "Shapes.h"

#include <algorithm>
#include <cmath>

#include "common/ByteWriter.h"
#include "export/Export.h"
#include "formats/BankFile.h"
#include "formats/Compose.h"
#include "formats/Layout.h"
#include "formats/MultiFile.h"

namespace brenzo::fuzz {

using namespace formats;

namespace {

void put(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// `channels` directory entries, each with HeadSize 0, so that all of them read the one
// description after the directory, which claims every state the rest of the file holds.
std::vector<std::uint8_t> sharedChannels(std::uint32_t channels, std::size_t size) {
    std::vector<std::uint8_t> image(size, 0);
    put(image, 8, 1);
    put(image, 12, 0x80000);
    put(image, 20, 48);
    put(image, 36, channels);
    put(image, 44, static_cast<std::uint32_t>(std::min<std::size_t>(size, 0xFFFFFFFFu)));
    const std::size_t d = 48 + 16 * std::size_t{channels};
    for (std::uint32_t i = 0; i < channels; ++i) put(image, 48 + 16 * std::size_t{i} + 8, 0x100 + i);
    put(image, d + 24, 32000);
    put(image, d + 28, 0x400);
    put(image, d + 52, static_cast<std::uint32_t>((size - d - 56) / 3));
    return image;
}

// A plain ADPCM bank whose `count` directory entries all point at one info record that claims
// every state the file holds.
std::vector<std::uint8_t> sharedBankRecord(std::uint32_t count, std::size_t size) {
    std::vector<std::uint8_t> image(size, 0);
    const std::uint32_t infoBase = kBankFixedHeaderSize + kDirectoryEntrySize * count;
    put(image, 0, 28);
    put(image, 8, infoBase);
    put(image, 16, count);
    put(image, 24, infoBase + 64);
    for (std::uint32_t i = 0; i < count; ++i) {
        put(image, kBankFixedHeaderSize + kDirectoryEntrySize * i + 8, 0x300 + i);
        put(image, kBankFixedHeaderSize + kDirectoryEntrySize * i + 12, 64);
    }
    put(image, infoBase + 12, 2048);
    put(image, infoBase + 16, 4096);
    put(image, infoBase + 24, 22050);
    put(image, infoBase + 28, kCompressionAdpcm);
    put(image, infoBase + 52, static_cast<std::uint32_t>((size - infoBase - 56) / 3));
    return image;
}

}  // namespace

Inputs BankShapes() {
    Inputs seeds;
    for (int variant = 0; variant < 3; ++variant) {
        const BankKind kind = variant == 0 ? BankKind::WithAnimations : BankKind::Plain;
        const RecordForm form = variant == 2 ? RecordForm::Pcm : RecordForm::Adpcm;
        TBankAudio bank;
        std::vector<std::vector<std::uint8_t>> stored, anims;
        for (int s = 0; s < 3; ++s) {
            std::vector<std::uint8_t> pcm(2 * static_cast<std::size_t>(300 + 300 * s));
            for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
                storeI16(&pcm[2 * i],
                         static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) * 0.05 * (s + 1))));
            }
            TBankChannelHeader head;
            head.Hash = 0x100u + static_cast<std::uint32_t>(s);
            auto composed = ComposeSound(pcm, form, 22050);
            bank.BanksHeadInfo.push_back(head);
            bank.BanksInfo.push_back(std::move(composed.info));
            stored.push_back(std::move(composed.stored));
            if (kind == BankKind::WithAnimations) {
                TBankAnimsHeader anim;
                anim.Size = 16 + 8 * static_cast<std::uint32_t>(s);
                bank.AnimsInfo.push_back(anim);
                anims.emplace_back(anim.Size, static_cast<std::uint8_t>(s));
            }
        }
        (void)LayoutBank(bank, kind, form);
        BankSources sources;
        for (const auto& b : stored) sources.samples.emplace_back(b);
        for (const auto& a : anims) sources.animations.emplace_back(a);
        if (auto image = WriteBank(bank, kind, form, sources)) seeds.emplace_back(image->begin(), image->end());
    }
    seeds.push_back(sharedBankRecord(400, 8 * 1024));
    return seeds;
}

Inputs MultiShapes() {
    Inputs seeds;
    struct Variant {
        bool adpcm;
        std::uint32_t channels;
    };
    for (Variant v : {Variant{true, 1}, Variant{true, 2}, Variant{true, 5}, Variant{false, 2}}) {
        std::vector<std::vector<std::uint8_t>> pcm;
        std::vector<std::uint32_t> hashes;
        for (std::uint32_t c = 0; c < v.channels; ++c) {
            std::vector<std::uint8_t> track(2 * 1500);
            for (std::size_t i = 0; i < track.size() / 2; ++i) {
                storeI16(&track[2 * i],
                         static_cast<std::int16_t>(9000 * std::sin(static_cast<double>(i) * 0.03 * (c + 1))));
            }
            pcm.push_back(track);
            hashes.push_back(0x200 + c);
        }
        auto composed = formats::ComposeMulti(pcm, v.adpcm, 32000, 256 * 2048, hashes);
        if (!composed) continue;
        // The blocks' zero fill is of no interest to a fuzzer: the shortest cut (in steps of
        // 2 KiB) that still reads and exports whole is kept.
        auto& image = composed->image;
        for (std::size_t cut = composed->model.HeadFullSize; cut < image.size(); cut += 2048) {
            const std::span<const std::uint8_t> part(image.data(), cut);
            auto read = ReadMulti(part);
            exporting::CountingSink sink;
            if (read && exporting::ExportMultichannel(part, *read, sink)) {
                image.resize(cut);
                break;
            }
        }
        seeds.emplace_back(composed->image.begin(), composed->image.end());
    }
    seeds.push_back(sharedChannels(200, 8192));
    seeds.push_back(sharedChannels(900, 16 * 1024));
    return seeds;
}

}  // namespace brenzo::fuzz
