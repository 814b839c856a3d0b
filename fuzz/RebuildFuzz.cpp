// The rebuilds over any container: a sound of a bank, or every channel of a multichannel file,
// takes samples the fuzzer chooses; the new file must read back whole, with every other sound,
// every animation block and the layout as they were.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FuzzSeeds.h"
#include "Shapes.h"
#include "export/Export.h"
#include "formats/BankFile.h"
#include "formats/MultiFile.h"
#include "replace/BankReplace.h"
#include "replace/MultiReplace.h"
#include "workspace/Workspace.h"

using namespace brenzo;

namespace {

// Four bytes before the container choose the new sound: which entry, how many samples (at
// most 16,383, so that a run stays short), how much silence follows them, and the samples.
constexpr std::size_t kControl = 4;

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "rebuild broke: %s\n", what);
    std::abort();
}

std::vector<std::uint8_t> samples(const std::uint8_t* control, std::size_t count) {
    std::vector<std::uint8_t> pcm(2 * count);
    std::uint32_t x = 0x9E3779B9u * (control[3] + 1u);
    for (std::size_t i = 0; i < count; ++i) {
        x = x * 1664525u + 1013904223u;
        // Loud, quiet and stepped material by turns, so that the encoder's every index is used.
        const auto v = static_cast<std::int16_t>(control[3] & 1 ? (x >> 16) : ((x >> 24) * (i % 64)));
        pcm[2 * i] = static_cast<std::uint8_t>(v);
        pcm[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
    }
    return pcm;
}

std::span<const std::uint8_t> storedSound(std::span<const std::uint8_t> image, const formats::TBankAudio& bank,
                                          const formats::TBankChannelInfo& info) {
    const std::uint64_t at = formats::SoundDataStart(bank, info);
    require(at + info.Size <= image.size(), "a sound lies outside its file");
    return image.subspan(static_cast<std::size_t>(at), info.Size);
}

std::span<const std::uint8_t> animation(std::span<const std::uint8_t> image, const formats::TBankAudio& bank,
                                        const formats::TBankAnimsHeader& anim) {
    const std::uint64_t at = formats::AnimationBase(bank) + static_cast<std::uint64_t>(anim.Offset);
    require(anim.Offset >= 0 && at + anim.Size <= image.size(), "an animation block lies outside its file");
    return image.subspan(static_cast<std::size_t>(at), anim.Size);
}

bool same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

void rebuildBank(std::span<const std::uint8_t> image, formats::BankKind kind, const std::uint8_t* control) {
    formats::BankRead read = formats::ReadBank(image, kind);
    const auto& bank = read.bank;
    if (!read.damage.empty() || bank.AudioCount == 0 || !formats::CheckRebuildable(bank, kind, image)) return;
    // The form the workspace chooses: ADPCM for a bank with animations, else the first sound's.
    const std::uint32_t compression = bank.BanksInfo[0].Compression;
    if (kind == formats::BankKind::Plain && compression != formats::kCompressionAdpcm &&
        compression != formats::kCompressionPcm)
        return;
    const auto form = kind == formats::BankKind::Plain && compression == formats::kCompressionPcm
                          ? formats::RecordForm::Pcm
                          : formats::RecordForm::Adpcm;
    replace::NewSound sound;
    sound.n = control[0] % bank.AudioCount;
    sound.pcm = samples(control, ((std::size_t{control[1]} << 8) | control[2]) & 0x3FFF);
    sound.dataSize = static_cast<std::uint32_t>(sound.pcm.size()) + 16u * control[3];
    sound.rate = 22050;
    auto rebuilt = replace::RebuildBankSounds(bank, kind, form, image, std::span(&sound, 1));
    if (!rebuilt) return;
    const Bytes out = rebuilt->Image();
    const std::span<const std::uint8_t> written(out.data(), out.size());

    formats::BankRead again = formats::ReadBank(written, kind);
    require(again.damage.empty(), "the rebuilt bank reads back damaged");
    require(static_cast<bool>(formats::CheckRebuildable(again.bank, kind, written)),
            "the rebuilt bank cannot be rebuilt");
    formats::TBankAudio relaid = again.bank;
    require(formats::LayoutBank(relaid, kind, form) && relaid == again.bank,
            "the rebuilt bank's layout is not its own");
    require(again.bank.AudioCount == bank.AudioCount, "the sound count changed");
    for (std::uint32_t i = 0; i < bank.AudioCount; ++i) {
        require(again.bank.BanksHeadInfo[i].Hash == bank.BanksHeadInfo[i].Hash, "a sound's hash changed");
        const auto& was = bank.BanksInfo[i];
        const auto& now = again.bank.BanksInfo[i];
        if (i == sound.n) {
            require(now.Frequency == sound.rate, "the new sound's rate is not the one given");
            continue;
        }
        require(now.Frequency == was.Frequency && now.Size == was.Size, "another sound's record changed");
        require(same(storedSound(image, bank, was), storedSound(written, again.bank, now)),
                "another sound's bytes changed");
        if (form == formats::RecordForm::Adpcm) require(now.States == was.States, "another sound's states changed");
    }
    if (kind == formats::BankKind::WithAnimations) {
        for (std::uint32_t i = 0; i < bank.AudioCount; ++i) {
            const auto& was = bank.AnimsInfo[i];
            const auto& now = again.bank.AnimsInfo[i];
            require(now.Hash == was.Hash && now.Size == was.Size, "an animation's entry changed");
            require(same(animation(image, bank, was), animation(written, again.bank, now)),
                    "an animation block changed");
        }
    }
}

void rebuildMulti(std::span<const std::uint8_t> image, const std::uint8_t* control) {
    auto multi = formats::ReadMulti(image);
    if (!multi || multi->Channels > 16 || !replace::CheckMultiRebuildable(image, *multi)) return;
    const std::size_t frames = ((std::size_t{control[1]} << 8) | control[2]) & 0x0FFF;
    const auto pcm = samples(control, frames * multi->Channels);
    const auto dataSize = static_cast<std::uint32_t>(pcm.size()) + 16u * control[3] * multi->Channels;
    auto rebuilt = replace::RebuildMulti(*multi, pcm, dataSize, 32000);
    if (!rebuilt) return;
    const Bytes out = rebuilt->Image();
    const std::span<const std::uint8_t> written(out.data(), out.size());
    auto again = formats::ReadMulti(written);
    require(static_cast<bool>(again), "the rebuilt file does not read back");
    require(again->Channels == multi->Channels && again->IsAdpcm() == multi->IsAdpcm(), "the channels changed");
    for (std::uint32_t c = 0; c < multi->Channels; ++c)
        require(again->ChHeadSizes[c].HeadHash == multi->ChHeadSizes[c].HeadHash, "a channel's hash changed");
    require(static_cast<bool>(replace::CheckMultiRebuildable(written, *again)), "the rebuilt file cannot be rebuilt");
    exporting::CountingSink sink;
    require(static_cast<bool>(exporting::ExportMultichannel(written, *again, sink)),
            "the rebuilt file cannot be exported");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kControl) return 0;
    std::span<const std::uint8_t> image(data + kControl, size - kControl);
    const auto kind = workspace::DetectKind(image);
    if (kind == workspace::kKindMultichannel)
        rebuildMulti(image, data);
    else if (kind <= workspace::kKindPlainBank)
        rebuildBank(image, static_cast<formats::BankKind>(kind), data);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    const std::uint8_t controls[][kControl] = {{1, 0x10, 0x00, 0}, {0, 0x00, 0x00, 3}, {2, 0x3F, 0xFF, 0x81}};
    auto add = [&](const fuzz::Inputs& inputs) {
        for (const auto& image : inputs)
            for (const auto& control : controls) {
                std::vector<std::uint8_t> seed(control, control + kControl);
                seed.insert(seed.end(), image.begin(), image.end());
                seeds.push_back(std::move(seed));
            }
    };
    add(fuzz::BankShapes());
    add(fuzz::MultiShapes());
    return seeds;
}
