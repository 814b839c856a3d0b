// `brenzo-cli samples DIR`: one demo file of every kind, made from synthesized audio.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "common/ByteWriter.h"
#include "formats/BankFile.h"
#include "formats/Compose.h"
#include "formats/MultiWriter.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "radio/Dat15.h"

namespace brenzo::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

using Track = std::vector<std::int16_t>;

std::uint32_t nameHash(const std::string& name) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : name) {
        h ^= static_cast<std::uint32_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        h *= 16777619u;
    }
    return h;
}

class Noise {
public:
    double next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0;
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

std::int16_t toSample(double v) {
    v = std::max(-1.0, std::min(1.0, v));
    return static_cast<std::int16_t>(std::lround(v * 30000.0));
}

// A sound made of harmonics with an attack/decay envelope, plus optional noise.
Track synth(double seconds, double rate, std::vector<double> partials, double base, double decay, double noise = 0,
            double vibrato = 0) {
    Track out(static_cast<std::size_t>(seconds * rate));
    Noise n;
    double lowpass = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double env = std::min(1.0, t * 80.0) * std::exp(-t * decay);
        const double f = base * (1.0 + vibrato * std::sin(2 * kPi * 5.0 * t));
        double v = 0;
        for (std::size_t k = 0; k < partials.size(); ++k)
            v += partials[k] * std::sin(2 * kPi * f * static_cast<double>(k + 1) * t);
        lowpass += 0.2 * (n.next() - lowpass);
        out[i] = toSample(0.5 * env * (v + noise * lowpass));
    }
    return out;
}

// A few bars of chords; each channel hears its own voice of them.
std::vector<Track> music(double seconds, double rate, std::size_t channels) {
    static const double chords[4][3] = {
        {220.0, 277.18, 329.63}, {196.0, 246.94, 293.66}, {174.61, 220.0, 261.63}, {196.0, 246.94, 311.13}};
    std::vector<Track> out(channels, Track(static_cast<std::size_t>(seconds * rate)));
    for (std::size_t c = 0; c < channels; ++c) {
        for (std::size_t i = 0; i < out[c].size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            const std::size_t bar = static_cast<std::size_t>(t / 2.0) % 4;
            const double inBar = std::fmod(t, 2.0);
            const double env = std::min(1.0, inBar * 20.0) * std::exp(-inBar * 1.2);
            const double f = chords[bar][c % 3] * (c >= 3 ? 0.5 : 1.0);
            const double pan = 0.6 + 0.4 * std::sin(kPi * static_cast<double>(c) /
                                                    static_cast<double>(std::max<std::size_t>(channels, 1)));
            out[c][i] = toSample(0.45 * pan * env * (std::sin(2 * kPi * f * t) + 0.3 * std::sin(4 * kPi * f * t)));
        }
    }
    return out;
}

std::vector<std::uint8_t> pcmBytes(const Track& t) {
    std::vector<std::uint8_t> out(t.size() * 2);
    for (std::size_t i = 0; i < t.size(); ++i) storeI16(out.data() + 2 * i, t[i]);
    return out;
}

struct Sound {
    std::string name;
    std::uint16_t rate;
    Track pcm;
};

struct Names {
    std::string ini = "[Hashes]\r\n";
    void add(const std::string& name) { ini += std::to_string(nameHash(name)) + "=" + name + "\r\n"; }
};

Status writeBank(const std::filesystem::path& path, formats::BankKind kind, formats::RecordForm form,
                 const std::vector<Sound>& sounds, Names& names, bool leaveOneUnnamed = false) {
    using namespace formats;
    TBankAudio bank;
    std::vector<std::vector<std::uint8_t>> stored, anims;
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        const Sound& s = sounds[i];
        if (!(leaveOneUnnamed && i + 1 == sounds.size())) names.add(s.name);
        TBankChannelHeader head;
        head.Hash = nameHash(s.name);
        auto composed = ComposeSound(pcmBytes(s.pcm), form, s.rate);
        bank.BanksHeadInfo.push_back(head);
        bank.BanksInfo.push_back(std::move(composed.info));
        stored.push_back(std::move(composed.stored));
        if (kind == BankKind::WithAnimations) {
            // An opaque block whose first 8 bytes are its _f0 and Size.
            std::vector<std::uint8_t> block(40 + 24 * i);
            for (std::size_t b = 0; b < block.size(); ++b) block[b] = static_cast<std::uint8_t>(b * 7 + i);
            const std::uint32_t f0 = 0x414E494Du, size = static_cast<std::uint32_t>(block.size());
            for (int b = 0; b < 4; ++b) {
                block[b] = static_cast<std::uint8_t>(f0 >> (8 * b));
                block[4 + b] = static_cast<std::uint8_t>(size >> (8 * b));
            }
            TBankAnimsHeader anim;
            anim.Hash = nameHash(s.name + "_anim");
            anim.Size = size;
            anim.Animation = {f0, size};
            bank.AnimsInfo.push_back(anim);
            anims.push_back(std::move(block));
        }
    }
    if (Status st = LayoutBank(bank, kind, form); !st) return st;
    BankSources sources;
    for (const auto& s : stored) sources.samples.emplace_back(s);
    for (const auto& a : anims) sources.animations.emplace_back(a);
    auto image = WriteBank(bank, kind, form, sources);
    if (!image) return image.status();
    return platform::WriteFileAtomically(path, *image);
}

Status writeMulti(const std::filesystem::path& path, bool adpcm, const std::vector<Track>& tracks, std::uint16_t rate,
                  const std::string& prefix, Names& names) {
    std::vector<std::vector<std::uint8_t>> pcm;
    std::vector<std::uint32_t> hashes;
    for (std::size_t c = 0; c < tracks.size(); ++c) {
        const std::string name = prefix + "_ch" + std::to_string(c);
        names.add(name);
        hashes.push_back(nameHash(name));
        pcm.push_back(pcmBytes(tracks[c]));
    }
    auto composed = formats::ComposeMulti(pcm, adpcm, rate, 256 * 2048, hashes);
    if (!composed) return composed.status();
    return platform::WriteFileAtomically(path, composed->image);
}

}  // namespace

int Samples(const std::string& dir) {
    using formats::BankKind;
    using formats::RecordForm;
    const auto folder = platform::PathFromUtf8(dir);
    if (Status s = platform::CreateFolders(folder); !s) {
        PrintError(s.message());
        return kFileError;
    }
    Names names;
    std::vector<Status> results;

    results.push_back(writeBank(folder / "sfx_vehicle.bin", BankKind::WithAnimations, RecordForm::Adpcm,
                                {{"engine_idle", 22050, synth(2.5, 22050, {1, 0.5, 0.3, 0.2}, 55, 0.2, 0.4, 0.02)},
                                 {"horn", 22050, synth(0.9, 22050, {1, 0.6, 0.4}, 415, 1.5)},
                                 {"door_slam", 22050, synth(0.6, 22050, {1}, 70, 9.0, 1.5)},
                                 {"tire_screech", 22050, synth(1.4, 22050, {0.6, 0.4}, 1800, 1.2, 0.8, 0.04)}},
                                names));
    results.push_back(writeBank(folder / "sfx_ui.bin", BankKind::Plain, RecordForm::Adpcm,
                                {{"menu_click", 22050, synth(0.15, 22050, {1, 0.3}, 1200, 30)},
                                 {"menu_back", 22050, synth(0.25, 22050, {1, 0.5}, 600, 18)},
                                 {"notification_chime", 44100, synth(1.6, 44100, {1, 0.0, 0.4, 0.2}, 880, 2.5)}},
                                names, true));
    results.push_back(writeBank(folder / "voice_pcm.bin", BankKind::Plain, RecordForm::Pcm,
                                {{"radio_static", 16000, synth(1.5, 16000, {0.1}, 50, 0.5, 1.6)},
                                 {"beep_sequence", 22050, synth(1.0, 22050, {1}, 1000, 3)},
                                 {"low_rumble", 22050, synth(2.0, 22050, {1, 0.7, 0.5}, 40, 0.8, 0.5)}},
                                names));
    results.push_back(
        writeMulti(folder / "music_stereo.bin", true, music(16.0, 44100, 2), 44100, "music_stereo", names));
    results.push_back(writeMulti(folder / "music_5ch.bin", true, music(8.0, 32000, 5), 32000, "music_5ch", names));
    results.push_back(writeMulti(folder / "music_pcm.bin", false, music(6.0, 22050, 2), 22050, "music_pcm", names));
    results.push_back(platform::WriteFileAtomically(folder / "radio.dat15", radio::BuildDemoDat15()));
    results.push_back(platform::WriteFileAtomically(
        folder / "Hashes.ini", std::span(reinterpret_cast<const std::uint8_t*>(names.ini.data()), names.ini.size())));

    for (const auto& r : results) {
        if (!r) {
            PrintError(r.message());
            return r.isFileSystemError() ? kFileError : kRefused;
        }
    }
    return kDone;
}

}  // namespace brenzo::cli
