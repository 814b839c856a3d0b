#pragma once

// Fitting the user's converted audio to the sound it replaces: channels mixed down (or a mono
// source copied to every channel of a multichannel file), and the loudness matched.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"
#include "engine/Loudness.h"
#include "replace/Conversion.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::replace {

// What to do with a source whose channel count the container does not take.
enum class MixChoice { Refuse, Mix, Ask };

struct ReplaceOptions {
    // Keep "NAME.bak" before the first save over the container.
    bool keepBackup = true;
    MixChoice mix = MixChoice::Refuse;
    // Scale the new sound to the loudness of the one it replaces; needs `loudness`.
    bool matchLoudness = false;
    engine::LoudnessMeter loudness;
    // Receives a line per replaced sound that says what was done to it ("gain -3.5 dB").
    std::function<void(std::size_t entry, std::string_view note)> note;
};

// The window's two remembered settings, until the user changes them.
inline constexpr bool kKeepBackupsByDefault = true;
inline constexpr bool kMatchLoudnessByDefault = false;

// The window's choices: a question instead of a refusal, and the two remembered settings.
ReplaceOptions WindowReplaceOptions(bool keepBackups, bool matchLoudness, engine::LoudnessMeter meter);

// The answer "Cancel" to a question: a failure with nothing to show.
inline bool IsCancelled(const Status& s) { return !s && s.message().empty(); }

// Interleaved audio in floating point, full scale 32768.
struct Audio {
    std::vector<float> samples;
    std::uint16_t channels = 1;
    std::uint32_t rate = 0;
    std::size_t frames() const { return channels ? samples.size() / channels : 0; }
};

// Audio of `channels` channels from interleaved 16-bit audio: the same count is copied, several
// channels into one are averaged, one channel is copied to each. Other counts give nothing.
std::optional<Audio> MixChannels(std::span<const std::int16_t> in, std::uint16_t inChannels, std::uint32_t rate,
                                 std::uint16_t channels);

// 16-bit little-endian bytes, rounded to nearest (ties away from zero) and clamped.
std::vector<std::uint8_t> ToPcmBytes(std::span<const float> samples, double gain = 1.0);

// The gain that brings `fresh` to the loudness of `reference`: integrated loudness when both
// last 400 ms or more, RMS otherwise; capped so that no sample of `fresh` clips. No gain when
// either is silent.
struct LoudnessMatch {
    double gain = 1.0;
    double gainDb = 0.0;
    bool capped = false;
    bool measured = false;
};
LoudnessMatch MatchLoudness(const Audio& reference, const Audio& fresh, const engine::LoudnessMeter& meter);
std::string DescribeGain(const LoudnessMatch& match);

// The audio entry n of the opened file has now (a multichannel file: all its channels).
Result<Audio> CurrentAudio(const workspace::Workspace& ws, std::size_t entry);

// Whether audio of `have` channels may go into a container that takes `channels`: the same
// count; several channels mixed into one; or, when `copyMono`, one copied to each. A count the
// options refuse gives the container's own message, or the question when they say to ask;
// "Cancel" gives a cancelled status.
Status AgreeChannelFit(std::uint16_t have, std::uint16_t channels, bool copyMono, const ReplaceOptions& options,
                       workspace::UiPort& port, std::string_view sourceName);

// The converted file fitted to a container that takes `channels` channels; `copyMono` allows
// a mono source into several channels (multichannel files), else only more channels into one.
// A refused count gives the container's own message, or the question when the options say
// to ask; "Cancel" gives a cancelled status.
struct FittedPcm {
    std::vector<std::uint8_t> owned;
    std::span<const std::uint8_t> bytes;  // the samples; those missing up to dataSize are silence
    std::uint32_t dataSize = 0;
    std::uint16_t rate = 0;
};
Result<FittedPcm> FitConverted(const ConvertedImage& converted, std::uint16_t channels, bool copyMono,
                               const ReplaceOptions& options, const workspace::Workspace& ws, std::size_t entry,
                               workspace::UiPort& port, std::string_view sourceName);

}  // namespace brenzo::replace
