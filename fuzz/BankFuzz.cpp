// The bank reader, the list texts, the rebuild check and the export, over any bytes.
#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzSeeds.h"
#include "Shapes.h"
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
    // Decoding costs 4,096 samples a stored state: an input decodes at most 2 states in all,
    // so that a run takes well under a millisecond (the decoder has tests of its own).
    std::size_t blocksLeft = 2;
    for (std::uint32_t i = 0; i < bank.AudioCount && i < 16; ++i) {
        (void)formats::FormatDuration(bank.BanksInfo[i].Size2, bank.BanksInfo[i].Frequency);
        const auto form = bankKind == formats::BankKind::WithAnimations
                              ? exporting::SoundForm::Adpcm
                              : exporting::FormOfCompression(bank.BanksInfo[i].Compression);
        const std::size_t blocks = bank.BanksInfo[i].States.size();
        if (form == exporting::SoundForm::Adpcm) {
            if (blocks > blocksLeft) continue;
            blocksLeft -= blocks;
        }
        exporting::CountingSink sink;
        (void)exporting::ExportBankSound(image, bank, i, form, sink);
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() { return fuzz::BankShapes(); }
