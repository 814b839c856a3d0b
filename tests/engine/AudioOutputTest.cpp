// Tests that choose SDL's audio driver themselves. SDL reads SDL_AUDIODRIVER when the audio
// subsystem starts, so these run in their own executable, each starting from no audio.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/Engine.h"
#include "engine/SoundFiles.h"
#include "platform/Path.h"
#include "support/TempDir.h"

namespace brenzo::engine {
namespace {

using namespace std::chrono_literals;
using testing::SetEnv;
using testing::TempDir;

class EngineAudioOutput : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u); }
    void TearDown() override { SetEnv("SDL_AUDIODRIVER", "dummy"); }
};

TEST_F(EngineAudioOutput, TheSamplesThatReachTheOutputAreTheFiles) {
    TempDir dir;
    auto samples = testing::Sweeps16(22050 / 2, 2, 22050, 20000);
    samples[0] = 1234;  // the first frame marks where the sound starts in the output
    testing::WriteSound(dir / "source.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2,
                        std::span<const std::int16_t>(samples));
    // The file played is one the converter wrote, as in the editor.
    ASSERT_TRUE(MakeConverter()->Convert(dir / "source.wav", dir / "converted.wav", nullptr, nullptr));
    const auto wav = testing::ReadCanonicalWav(dir / "converted.wav");
    ASSERT_EQ(wav.samples, samples);

    const auto output = dir / "output.raw";
    SetEnv("SDL_AUDIODRIVER", "disk");
    SetEnv("SDL_DISKAUDIOFILE", platform::PathToUtf8(output));
    SetEnv("SDL_DISKAUDIODELAY", "0");
    {
        auto stream = MakePlayer()->Open(dir / "converted.wav");
        ASSERT_TRUE(stream) << stream.message();
        ASSERT_STREQ(SDL_GetCurrentAudioDriver(), "disk");
        (*stream)->Play();
        const auto end = std::chrono::steady_clock::now() + 10s;
        while ((*stream)->PositionBytes() < (*stream)->LengthBytes() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(1ms);
        ASSERT_EQ((*stream)->PositionBytes(), (*stream)->LengthBytes());
    }  // closing the device finishes the output file

    const auto written = testing::ReadFile(output);
    // Silence while paused, then the sound, then silence after the end.
    std::size_t start = 0;
    while (start + 1 < written.size() && written[start] == 0 && written[start + 1] == 0) start += 2;
    ASSERT_EQ(start % 4, 0u) << "the sound must start on a whole frame";
    ASSERT_GE(written.size() - start, wav.data.size());
    EXPECT_TRUE(std::equal(wav.data.begin(), wav.data.end(), written.begin() + static_cast<std::ptrdiff_t>(start)));
    EXPECT_TRUE(std::all_of(written.begin() + static_cast<std::ptrdiff_t>(start + wav.data.size()), written.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST_F(EngineAudioOutput, AnAudioSystemThatCannotStartIsReportedAsSuch) {
    SetEnv("SDL_AUDIODRIVER", "no-such-driver");
    Status started = StartAudioOutput();
    ASSERT_FALSE(started);
    EXPECT_EQ(started.message(), "Audio initialization error");
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    TempDir dir;
    auto samples = testing::Sweeps16(1000, 1, 22050, 1000);
    testing::WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1,
                        std::span<const std::int16_t>(samples));
    auto stream = MakePlayer()->Open(dir / "in.wav");
    ASSERT_FALSE(stream);
    EXPECT_EQ(stream.message(), "Audio initialization error");
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

}  // namespace
}  // namespace brenzo::engine
