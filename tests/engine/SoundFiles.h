#pragma once

// Inputs for the engine tests, written by libsndfile's own writers (or sox/ffmpeg where
// libsndfile cannot make the kind of file), and a strict reader of the WAV files we write.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace brenzo::testing {

// Interleaved rising tones; each channel its own frequencies so that a swap or a mix shows.
std::vector<float> Sweeps(std::size_t frames, int channels, double rate, double amplitude, double phase = 0.0);
std::vector<std::int16_t> Sweeps16(std::size_t frames, int channels, double rate, double amplitude);

// Write through libsndfile with the given SF_FORMAT_* value; the sample type chooses the
// write call, so integer inputs reach integer formats exactly.
void WriteSound(const std::filesystem::path& path, int format, int rate, int channels, std::span<const float> samples);
void WriteSound(const std::filesystem::path& path, int format, int rate, int channels,
                std::span<const std::int16_t> samples);
void WriteSound(const std::filesystem::path& path, int format, int rate, int channels,
                std::span<const std::int32_t> samples);

// Decodes any file with libsndfile's float reader (the reference a decoded file is held to).
std::vector<float> ReadFloats(const std::filesystem::path& path, int* channels = nullptr, int* rate = nullptr);

// Runs a command line through the shell; true when it exits with 0.
bool Run(const std::string& command);

// A WAV written by the converter, checked to be exactly the 44-byte canonical form.
struct CanonicalWav {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> data;  // the data chunk's bytes
};
CanonicalWav ReadCanonicalWav(const std::filesystem::path& path);

// Pearson correlation of a decoded signal against its source, after shifting the decoded one
// by the lag (within ±maxLag frames, per channel 0) that matches best.
double BestCorrelation(std::span<const std::int16_t> decoded, std::span<const float> source, int channels, int maxLag);

void SetEnv(const char* name, const std::string& value);
// SDL's dummy driver, unless the one running the tests chose a driver.
void UseDummyAudioUnlessChosen();

// Every file in a folder, by name (to see that a failure left nothing behind).
std::vector<std::string> FileNames(const std::filesystem::path& folder);

}  // namespace brenzo::testing
