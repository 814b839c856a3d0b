#pragma once

// What the rest of Brenzo needs of an audio engine: decode the user's file into a 16-bit PCM
// WAV, and play a WAV file with pause, seek and position. This header has no dependency; the
// implementation is in this folder too, in two libraries: decoding and conversion over
// libsndfile and libsoxr (brenzo_engine), and the player over SDL2 (brenzo_player), which only
// the windows link, so that brenzo-cli does not load an audio output it never uses.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/Result.h"
#include "common/Version.h"

namespace brenzo::engine {

// The rate a source of `sourceRate` Hz is converted to.
using RatePolicy = std::function<std::uint32_t(std::uint32_t sourceRate)>;

struct ConvertedFormat {
    std::uint32_t sourceRate = 0;
    std::uint32_t rate = 0;
    std::uint16_t channels = 0;
    std::uint64_t frames = 0;
};

// Receives a conversion's samples as they are written to the converted file, so that a caller
// can work on them without reading the file back. Begin starts each pass over the source (a
// second pass, when the length the source declared was wrong, drops what the first gave);
// Write hands on the next 16-bit little-endian interleaved samples, valid only during the
// call.
class SampleSink {
public:
    virtual ~SampleSink() = default;
    // `format.frames` is the length the source declares, or 0 when it declares none.
    virtual void Begin(const ConvertedFormat& format) = 0;
    virtual void Write(std::span<const std::uint8_t> samples) = 0;
};

class Converter {
public:
    virtual ~Converter() = default;
    // Decodes `source` (WAV, MP3, OGG Vorbis, FLAC, Opus: recognised by content) to 16-bit
    // samples at its own channel count, resampled when the policy changes the rate, and writes
    // them to `target` as a PCM WAV whose data chunk follows a 16-byte fmt chunk. `pump` is
    // called regularly while this runs. On failure nothing is left at `target`; the message
    // reads "cannot decode <file>: <reason>".
    virtual Result<ConvertedFormat> Convert(const std::filesystem::path& source, const std::filesystem::path& target,
                                            const RatePolicy& rate, const std::function<void()>& pump) = 0;

    // A smaller bound than a WAV file's on the converted samples' bytes, with the reason the
    // refusal gives: a source is refused as soon as its length (declared, or written so far)
    // passes it, not after a whole conversion. An implementation may leave the check to the
    // caller.
    void LimitDataBytes(std::uint64_t bytes, std::string reason) {
        dataLimit_ = bytes;
        dataLimitReason_ = std::move(reason);
    }

    // Every sample written to the target is handed to `sink` too (nullptr: to no one). An
    // implementation that does not call the sink leaves the caller to read the file.
    void SendSamplesTo(SampleSink* sink) { sink_ = sink; }

protected:
    SampleSink* sink_ = nullptr;
    std::optional<std::uint64_t> dataLimit_;
    std::string dataLimitReason_;
};

// One playing (or paused) file. Positions and lengths are bytes of 16-bit PCM at the file's
// own rate and channel count.
class Stream {
public:
    virtual ~Stream() = default;
    virtual void Play() = 0;  // starts, or resumes from the current position
    virtual void Pause() = 0;
    virtual void Stop() = 0;  // pauses and goes back to the start
    virtual std::uint64_t LengthBytes() const = 0;
    // Equals LengthBytes() once the end has been played.
    virtual std::uint64_t PositionBytes() const = 0;
    virtual void SetPositionBytes(std::uint64_t position) = 0;
    virtual double BytesToSeconds(std::uint64_t bytes) const = 0;
};

class Player {
public:
    virtual ~Player() = default;
    // Opens a file for playing (not yet started). The file is decoded by content.
    virtual Result<std::unique_ptr<Stream>> Open(const std::filesystem::path& file) = 0;
};

// The converter over libsndfile (libmpg123 for MPEG streams) and libsoxr.
std::unique_ptr<Converter> MakeConverter();

// The player over SDL2 (brenzo_player). A stream holds its own audio device and its own reference to the
// audio subsystem, so a stream opened before StartAudioOutput, or one outliving
// StopAudioOutput, keeps working.
std::unique_ptr<Player> MakePlayer();

// Why the libraries found at run time cannot do what the editor needs ("libsndfile 1.0.28
// cannot decode MP3 files; Brenzo needs libsndfile 1.1 or later"), or nothing when they can.
std::optional<std::string> CheckEngineCapabilities();

// Starts the audio output at program start; the failure reads "Audio initialization error"
// (brenzo_player).
Status StartAudioOutput();
// Ends what StartAudioOutput started (brenzo_player).
void StopAudioOutput();

// Every library the decoding and conversion link, with the version in use (at run time where
// the library can say; libmpg123 only tells its version at build time), for the About window
// and `--version`.
std::vector<Library> LinkedLibraries();
// The same for the player (brenzo_player): a program that plays lists these after the others.
std::vector<Library> PlayerLibraries();

// A program's main returns through this, with its exit status, once all its work is done and
// written. On Windows, once Media Foundation was used, it shuts Media Foundation down and ends
// the process there: Wine's Media Foundation can crash in the handlers that run while a process
// unloads its libraries, after the work is complete, and a finished run must never be reported
// as a crash. Elsewhere it returns `status`.
int FinishProcess(int status);

}  // namespace brenzo::engine
