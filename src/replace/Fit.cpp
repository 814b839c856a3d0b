#include "replace/Fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "codec/Wav.h"
#include "export/Export.h"
#include "export/Sink.h"

namespace brenzo::replace {

ReplaceOptions WindowReplaceOptions(bool keepBackups, bool matchLoudness, engine::LoudnessMeter meter) {
    ReplaceOptions o;
    o.keepBackup = keepBackups;
    o.mix = MixChoice::Ask;
    o.matchLoudness = matchLoudness;
    o.loudness = std::move(meter);
    return o;
}

std::optional<Audio> MixChannels(std::span<const std::int16_t> in, std::uint16_t inChannels, std::uint32_t rate,
                                 std::uint16_t channels) {
    if (inChannels == 0 || channels == 0) return std::nullopt;
    if (inChannels != channels && channels != 1 && inChannels != 1) return std::nullopt;
    Audio out;
    out.channels = channels;
    out.rate = rate;
    const std::size_t frames = in.size() / inChannels;
    out.samples.resize(frames * channels);
    for (std::size_t f = 0; f < frames; ++f) {
        const std::int16_t* frame = in.data() + f * inChannels;
        float* to = out.samples.data() + f * channels;
        if (inChannels == channels) {
            for (std::uint16_t c = 0; c < channels; ++c) to[c] = frame[c];
        } else if (channels == 1) {
            double sum = 0;
            for (std::uint16_t c = 0; c < inChannels; ++c) sum += frame[c];
            to[0] = static_cast<float>(sum / inChannels);
        } else {
            std::fill(to, to + channels, static_cast<float>(frame[0]));
        }
    }
    return out;
}

std::vector<std::uint8_t> ToPcmBytes(std::span<const float> samples, double gain) {
    std::vector<std::uint8_t> out(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double v = std::clamp(std::round(samples[i] * gain), -32768.0, 32767.0);
        const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
        out[2 * i] = static_cast<std::uint8_t>(s & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
    }
    return out;
}

namespace {

// Loudness needs a whole 400 ms gating block; shorter sounds are compared by RMS.
constexpr double kShortestIntegrated = 0.4;

double seconds(const Audio& a) { return a.rate ? static_cast<double>(a.frames()) / a.rate : 0.0; }

std::optional<double> rmsDb(const Audio& a) {
    if (a.samples.empty()) return std::nullopt;
    double sum = 0;
    for (float s : a.samples) sum += double{s} * s;
    const double rms = std::sqrt(sum / static_cast<double>(a.samples.size())) / 32768.0;
    if (rms <= 0) return std::nullopt;
    return 20.0 * std::log10(rms);
}

std::optional<double> integrated(const Audio& a, const engine::LoudnessMeter& meter) {
    std::vector<std::int16_t> pcm(a.samples.size());
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(std::clamp(std::round(a.samples[i]), -32768.0f, 32767.0f));
    return meter(pcm, a.channels, a.rate);
}

}  // namespace

LoudnessMatch MatchLoudness(const Audio& reference, const Audio& fresh, const engine::LoudnessMeter& meter) {
    LoudnessMatch m;
    const bool r128 = meter && seconds(reference) >= kShortestIntegrated && seconds(fresh) >= kShortestIntegrated;
    const auto target = r128 ? integrated(reference, meter) : rmsDb(reference);
    const auto now = r128 ? integrated(fresh, meter) : rmsDb(fresh);
    if (!target || !now) return m;
    m.measured = true;
    m.gainDb = *target - *now;
    m.gain = std::pow(10.0, m.gainDb / 20.0);
    float peak = 0;
    for (float s : fresh.samples) peak = std::max(peak, std::fabs(s));
    if (peak > 0 && m.gain * peak > 32767.0) {
        m.gain = 32767.0 / peak;
        m.gainDb = 20.0 * std::log10(m.gain);
        m.capped = true;
    }
    return m;
}

std::string DescribeGain(const LoudnessMatch& m) {
    if (!m.measured) return "no gain (one of the sounds is silent)";
    char text[96];
    std::snprintf(text, sizeof text, "gain %+.1f dB%s", m.gainDb, m.capped ? " (limited so that no sample clips)" : "");
    return text;
}

Result<Audio> CurrentAudio(const workspace::Workspace& ws, std::size_t entry) {
    exporting::MemorySink sink;
    if (Status s = exporting::ExportOpened(ws, static_cast<std::uint32_t>(entry), sink); !s) return s.error();
    auto info = codec::ProbeConvertedWav(sink.bytes());
    if (!info) return info.error();
    Audio a;
    a.channels = std::max<std::uint16_t>(info->nChannels, 1);
    a.rate = info->Rate;
    const auto bytes = std::span(sink.bytes()).subspan(info->DataStart, info->PresentBytes);
    a.samples.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < a.samples.size(); ++i)
        a.samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return a;
}

Status AgreeChannelFit(std::uint16_t have, std::uint16_t channels, bool copyMono, const ReplaceOptions& options,
                       workspace::UiPort& port, std::string_view sourceName) {
    if (have == channels) return {};
    const bool fits = (channels == 1 && have > 1) || (copyMono && have == 1 && channels > 1);
    const std::string refusal = channels == 1 ? "WAV-file should have 1 channel"
                                              : "WAV-file should have " + std::to_string(channels) + " channels";
    if (!fits || options.mix == MixChoice::Refuse) return Error{refusal};
    if (options.mix == MixChoice::Ask) {
        const std::string name(sourceName);
        const bool yes =
            channels == 1
                ? port.Ask("Mix down", name + " has " + std::to_string(have) + " channels. Mix them down to one?",
                           "Mix down", "Cancel")
                : port.Ask("Copy to every channel",
                           name + " has 1 channel. Copy it to each of the " + std::to_string(channels) + " channels?",
                           "Copy", "Cancel");
        if (!yes) return Error{""};
    }
    return {};
}

Result<FittedPcm> FitConverted(const ConvertedImage& converted, std::uint16_t channels, bool copyMono,
                               const ReplaceOptions& options, const workspace::Workspace& ws, std::size_t entry,
                               workspace::UiPort& port, std::string_view sourceName) {
    const std::uint16_t have = converted.info.nChannels;
    FittedPcm fitted;
    fitted.rate = converted.info.Rate;
    if (have == channels && !options.matchLoudness) {
        fitted.bytes = converted.samples();
        fitted.dataSize = converted.info.DataSize;
        return fitted;
    }
    if (Status s = AgreeChannelFit(have, channels, copyMono, options, port, sourceName); !s) return s.error();
    // The samples the file declares; those it does not hold are silence.
    std::vector<std::int16_t> pcm(converted.info.DataSize / 2, 0);
    const auto present = converted.samples();
    for (std::size_t i = 0; i < std::min(pcm.size(), present.size() / 2); ++i)
        pcm[i] = static_cast<std::int16_t>(present[2 * i] | (present[2 * i + 1] << 8));
    auto audio = MixChannels(pcm, have, converted.info.Rate, channels);
    if (!audio) return Error{"WAV-file should have " + std::to_string(channels) + " channels"};

    double gain = 1.0;
    if (options.matchLoudness) {
        auto reference = CurrentAudio(ws, entry);
        if (!reference) return reference.error();
        const LoudnessMatch m = MatchLoudness(*reference, *audio, options.loudness);
        gain = m.gain;
        if (options.note) options.note(entry, DescribeGain(m));
    }
    fitted.owned = ToPcmBytes(audio->samples, gain);
    fitted.bytes = fitted.owned;
    fitted.dataSize = static_cast<std::uint32_t>(fitted.owned.size());
    return fitted;
}

}  // namespace brenzo::replace
