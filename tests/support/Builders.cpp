#include "support/Builders.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "codec/IMAADPCM.h"
#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "formats/BankFile.h"
#include "formats/Compose.h"
#include "formats/MultiWriter.h"

namespace brenzo::testing {

std::vector<std::int16_t> Tone(std::size_t samples, double frequency, double rate, double amplitude) {
    std::vector<std::int16_t> out(samples);
    for (std::size_t i = 0; i < samples; ++i)
        out[i] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate)));
    return out;
}

std::vector<std::uint8_t> ToBytes(std::span<const std::int16_t> samples) {
    std::vector<std::uint8_t> out(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) storeI16(&out[2 * i], samples[i]);
    return out;
}

std::vector<std::int16_t> ToSamples(std::span<const std::uint8_t> bytes) {
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = loadI16(&bytes[2 * i]);
    return out;
}

BuiltBank BuildBank(formats::BankKind kind, const std::vector<TestSound>& sounds) {
    using namespace formats;
    BuiltBank built;
    const RecordForm form =
        kind == BankKind::WithAnimations || sounds.empty() || sounds[0].compression == kCompressionAdpcm
            ? RecordForm::Adpcm
            : RecordForm::Pcm;
    TBankAudio& bank = built.model;
    BankSources sources;
    for (const auto& s : sounds) {
        TBankChannelHeader head;
        head.Hash = s.hash;
        auto composed = ComposeSound(ToBytes(s.pcm), form, s.rate);
        TBankChannelInfo info = std::move(composed.info);
        std::vector<std::uint8_t> stored = std::move(composed.stored);
        info.Compression = s.compression;
        info.iUnknown = s.iUnknown;
        info.wUnknown = s.wUnknown;
        if (form == RecordForm::Adpcm) {
            info.OffsetStates = s.offsetStates;
            info._wFA = s.wFA;
        }
        bank.BanksHeadInfo.push_back(head);
        bank.BanksInfo.push_back(info);
        built.stored.push_back(std::move(stored));
        if (kind == BankKind::WithAnimations) {
            TBankAnimsHeader anim;
            anim.Hash = s.hash ^ 0xA5A5A5A5u;
            anim.Size = static_cast<std::uint32_t>(s.animation.size());
            if (s.animation.size() >= 8) {
                anim.Animation._f0 = U32At(s.animation, 0);
                anim.Animation.Size = U32At(s.animation, 4);
            }
            bank.AnimsInfo.push_back(anim);
        }
    }
    if (Status st = LayoutBank(bank, kind, form); !st) throw std::runtime_error(st.message());
    for (const auto& s : built.stored) sources.samples.emplace_back(s);
    for (const auto& s : sounds)
        if (kind == BankKind::WithAnimations) sources.animations.emplace_back(s.animation);
    auto image = WriteBank(bank, kind, form, sources);
    if (!image) throw std::runtime_error(image.message());
    built.image.assign(image->begin(), image->end());
    return built;
}

BuiltMulti BuildMulti(bool adpcm, const std::vector<std::vector<std::int16_t>>& channels, std::uint16_t rate,
                      std::uint32_t blockSize, std::uint32_t firstHash) {
    std::vector<std::vector<std::uint8_t>> pcm;
    std::vector<std::uint32_t> hashes;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        pcm.push_back(ToBytes(channels[i]));
        hashes.push_back(firstHash + static_cast<std::uint32_t>(i));
    }
    auto composed = formats::ComposeMulti(pcm, adpcm, rate, blockSize, hashes);
    if (!composed) throw std::runtime_error(composed.message());
    BuiltMulti built;
    built.model = std::move(composed->model);
    built.image.assign(composed->image.begin(), composed->image.end());
    built.streams = std::move(composed->streams);
    return built;
}

std::uint32_t U32At(std::span<const std::uint8_t> bytes, std::size_t pos) { return loadU32(&bytes[pos]); }

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t pos, std::uint32_t value) { storeU32(&bytes[pos], value); }

std::vector<std::uint8_t> SharedDescriptionMulti(std::uint32_t channels, std::size_t bytes, std::uint32_t states) {
    const std::size_t description = formats::kMultiHeaderSize + 16 * std::size_t{channels};
    if (states == 0)
        states = static_cast<std::uint32_t>((bytes - description - formats::kMultiAdpcmDescriptionBase) / 3);
    std::vector<std::uint8_t> image;
    ByteWriter w(image);
    // BlocksCount, BlockSize, ChInfoOffset, Channels, HeadFullSize.
    for (std::uint32_t v : {0u, 0u, 1u, 0x80000u, 0u}) w.u32(v);
    w.i64(formats::kMultiHeaderSize);
    for (std::uint32_t v : {0u, 0u, channels, 0u, static_cast<std::uint32_t>(bytes)}) w.u32(v);
    for (std::uint32_t i = 0; i < channels; ++i) {
        w.i64(0);
        w.u32(0x100 + i);
        w.u32(0);  // HeadSize
    }
    // Size, Length, iUnknown, Frequency, wUnknown, Compression, then the ADPCM fields.
    for (std::uint32_t v : {0u, 0u, 0u, 2048 * states, 4096 * states, 0u}) w.u32(v);
    for (std::uint16_t v : {std::uint16_t{44100}, std::uint16_t{0}, formats::kMultiCompressionAdpcm, std::uint16_t{0}})
        w.u16(v);
    w.i64(0);
    w.u32(4096 * states);
    w.i64(0);
    w.u32(states);
    image.resize(bytes, 0);
    return image;
}

}  // namespace brenzo::testing
