// The bank reader, the list texts, the rebuild check and the export, over any bytes.
#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzSeeds.h"
#include "common/ByteWriter.h"
#include "export/Export.h"
#include "formats/BankFile.h"
#include "formats/Compose.h"
#include "formats/Layout.h"
#include "workspace/Workspace.h"

using namespace brenzo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> image(data, size);
    const auto kind = workspace::DetectKind(image);
    if (kind > workspace::kKindPlainBank) return 0;
    const auto bankKind = static_cast<formats::BankKind>(kind);
    formats::BankRead read = formats::ReadBank(image, bankKind, [](std::uint32_t, std::uint32_t) {});
    const auto& bank = read.bank;
    (void)formats::CheckRebuildable(bank, bankKind, image);
    for (std::uint32_t i = 0; i < bank.AudioCount && i < 16; ++i) {
        (void)formats::FormatDuration(bank.BanksInfo[i].Size2, bank.BanksInfo[i].Frequency);
        // Decoding cost follows the stored states; keep each run short.
        if (bank.BanksInfo[i].States.size() > 512) continue;
        exporting::CountingSink sink;
        const auto form = bankKind == formats::BankKind::WithAnimations
                              ? exporting::SoundForm::Adpcm
                              : exporting::FormOfCompression(bank.BanksInfo[i].Compression);
        (void)exporting::ExportBankSound(image, bank, i, form, sink);
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    using namespace formats;
    std::vector<std::vector<std::uint8_t>> seeds;
    for (int variant = 0; variant < 3; ++variant) {
        const BankKind kind = variant == 0 ? BankKind::WithAnimations : BankKind::Plain;
        const RecordForm form = variant == 2 ? RecordForm::Pcm : RecordForm::Adpcm;
        TBankAudio bank;
        std::vector<std::vector<std::uint8_t>> stored, anims;
        for (int s = 0; s < 3; ++s) {
            std::vector<std::uint8_t> pcm(2 * (3000 + 2500 * s));
            for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
                storeI16(&pcm[2 * i], static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) * 0.05 * (s + 1))));
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
    return seeds;
}
