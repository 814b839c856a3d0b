#include "support/Builders.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "codec/IMAADPCM.h"
#include "formats/BankFile.h"
#include "formats/MultiWriter.h"

namespace brenzo::testing {

std::vector<std::int16_t> Tone(std::size_t samples, double frequency, double rate, double amplitude) {
    std::vector<std::int16_t> out(samples);
    for (std::size_t i = 0; i < samples; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / rate)));
    return out;
}

std::vector<std::uint8_t> ToBytes(std::span<const std::int16_t> samples) {
    std::vector<std::uint8_t> out(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        auto v = static_cast<std::uint16_t>(samples[i]);
        out[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return out;
}

std::vector<std::int16_t> ToSamples(std::span<const std::uint8_t> bytes) {
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    return out;
}

BuiltBank BuildBank(formats::BankKind kind, const std::vector<TestSound>& sounds) {
    using namespace formats;
    BuiltBank built;
    const RecordForm form = kind == BankKind::WithAnimations || sounds.empty() ||
                                    sounds[0].compression == kCompressionAdpcm
                                ? RecordForm::Adpcm
                                : RecordForm::Pcm;
    TBankAudio& bank = built.model;
    BankSources sources;
    for (const auto& s : sounds) {
        TBankChannelHeader head;
        head.Hash = s.hash;
        TBankChannelInfo info;
        info.Frequency = s.rate;
        info.Compression = s.compression;
        info.iUnknown = s.iUnknown;
        info.wUnknown = s.wUnknown;
        std::vector<std::uint8_t> stored;
        if (form == RecordForm::Adpcm) {
            std::vector<std::uint8_t> states;
            auto pcm = ToBytes(s.pcm);
            codec::ADPCMEncodeStream(pcm, stored, states, static_cast<std::int32_t>(pcm.size()));
            info.States = codec::ParseStoredStates(states);
            info.OffsetStates = s.offsetStates;
            info._wFA = s.wFA;
            info.Samples = static_cast<std::uint32_t>(2 * stored.size());
        } else {
            stored = ToBytes(s.pcm);
        }
        info.Size = static_cast<std::uint32_t>(stored.size());
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
    built.image = std::move(*image);
    return built;
}

BuiltMulti BuildMulti(bool adpcm, const std::vector<std::vector<std::int16_t>>& channels, std::uint16_t rate,
                      std::uint32_t blockSize, std::uint32_t firstHash) {
    using namespace formats;
    BuiltMulti built;
    TMultiADPCM& multi = built.model;
    multi.Channels = static_cast<std::uint32_t>(channels.size());
    multi.BlockSize = blockSize;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        TADPCMChannelHeader head;
        head.HeadHash = firstHash + static_cast<std::uint32_t>(i);
        TADPCMChannel ch;
        ch.Frequency = rate;
        ch.Compression = adpcm ? kMultiCompressionAdpcm : 1;
        std::vector<std::uint8_t> stream;
        if (adpcm) {
            std::vector<std::uint8_t> states;
            auto pcm = ToBytes(channels[i]);
            codec::ADPCMEncodeStream(pcm, stream, states, static_cast<std::int32_t>(pcm.size()));
            ch.States = codec::ParseStoredStates(states);
            ch.Size = static_cast<std::uint32_t>(stream.size());
            ch.Length = 2 * ch.Size;
            ch.Samples = ch.Length;
        } else {
            stream = ToBytes(channels[i]);
            ch.Size = static_cast<std::uint32_t>(stream.size());
            ch.Length = ch.Size / 2;
        }
        multi.ChHeadSizes.push_back(head);
        multi.ChHeaders.push_back(ch);
        built.streams.push_back(std::move(stream));
    }
    if (Status st = LayoutMulti(multi); !st) throw std::runtime_error(st.message());
    std::vector<std::span<const std::uint8_t>> spans(built.streams.begin(), built.streams.end());
    auto image = WriteMulti(multi, rate, spans);
    if (!image) throw std::runtime_error(image.message());
    built.image = std::move(*image);
    return built;
}

std::uint32_t U32At(std::span<const std::uint8_t> bytes, std::size_t pos) {
    return bytes[pos] | (bytes[pos + 1] << 8) | (bytes[pos + 2] << 16) | (static_cast<std::uint32_t>(bytes[pos + 3]) << 24);
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t pos, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[pos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace brenzo::testing
