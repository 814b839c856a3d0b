// Playback through SDL's dummy driver: real devices, real audio thread, no sound card.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <functional>
#include <thread>

#include "engine/Engine.h"
#include "engine/SoundFiles.h"
#include "support/TempDir.h"

namespace brenzo::engine {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;
namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(2ms);
    }
    return condition();
}

class EnginePlayer : public ::testing::Test {
protected:
    void SetUp() override {
        testing::UseDummyAudioUnlessChosen();
        ASSERT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "a test left the audio running";
    }

    // A 16-bit WAV of `seconds` at 22050 Hz.
    fs::path MakeWav(double seconds, int channels, const std::string& name = "in.wav") {
        auto samples = testing::Sweeps16(static_cast<std::size_t>(22050 * seconds), channels, 22050, 12000);
        testing::WriteSound(dir / name, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, channels,
                            std::span<const std::int16_t>(samples));
        return dir / name;
    }

    std::unique_ptr<Stream> Open(const fs::path& file) {
        auto stream = MakePlayer()->Open(file);
        EXPECT_TRUE(stream) << stream.message();
        return stream ? std::move(*stream) : nullptr;
    }

    TempDir dir;
};

TEST_F(EnginePlayer, LengthCountsSixteenBitBytesAtTheFilesOwnFormat) {
    {
        auto stream = Open(MakeWav(1.0, 2));
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->LengthBytes(), 22050u * 2 * 2);
        EXPECT_DOUBLE_EQ(stream->BytesToSeconds(stream->LengthBytes()), 1.0);
        EXPECT_DOUBLE_EQ(stream->BytesToSeconds(22050), 0.25);
    }

    // A float file is played as 16 bits too; its length is counted that way.
    auto floats = testing::Sweeps(11025, 1, 44100, 0.5);
    testing::WriteSound(dir / "f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, std::span<const float>(floats));
    auto mono = Open(dir / "f.wav");
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->LengthBytes(), 11025u * 2);
    EXPECT_DOUBLE_EQ(mono->BytesToSeconds(mono->LengthBytes()), 0.25);
}

TEST_F(EnginePlayer, OpensPausedAtTheStart) {
    auto stream = Open(MakeWav(1.0, 1));
    ASSERT_TRUE(stream);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(stream->PositionBytes(), 0u);
}

TEST_F(EnginePlayer, PlayingAdvancesAndPausingHolds) {
    auto stream = Open(MakeWav(3.0, 2));
    ASSERT_TRUE(stream);
    stream->Play();
    ASSERT_TRUE(WaitFor([&] { return stream->PositionBytes() > 0; }));
    stream->Pause();
    const std::uint64_t held = stream->PositionBytes();
    EXPECT_LT(held, stream->LengthBytes());
    EXPECT_EQ(held % 4, 0u);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(stream->PositionBytes(), held);
    stream->Play();
    EXPECT_TRUE(WaitFor([&] { return stream->PositionBytes() > held; }));
}

TEST_F(EnginePlayer, SeekingWhilePausedStaysPausedOnAWholeFrame) {
    auto stream = Open(MakeWav(2.0, 2));
    ASSERT_TRUE(stream);
    stream->SetPositionBytes(40003);
    EXPECT_EQ(stream->PositionBytes(), 40000u);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(stream->PositionBytes(), 40000u);
    stream->Play();
    EXPECT_TRUE(WaitFor([&] { return stream->PositionBytes() > 40000; }));
    stream->Pause();
    stream->SetPositionBytes(stream->LengthBytes() + 12345);
    EXPECT_EQ(stream->PositionBytes(), stream->LengthBytes());
}

TEST_F(EnginePlayer, PlayingToTheEndLeavesThePositionAtTheLength) {
    auto stream = Open(MakeWav(0.3, 2));
    ASSERT_TRUE(stream);
    stream->Play();
    ASSERT_TRUE(WaitFor([&] { return stream->PositionBytes() == stream->LengthBytes(); }));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(stream->PositionBytes(), stream->LengthBytes());
    // From the end a seek back plays again.
    stream->SetPositionBytes(0);
    EXPECT_TRUE(WaitFor([&] { return stream->PositionBytes() > 0; }));
}

TEST_F(EnginePlayer, StopGoesBackToTheStartAndStaysThere) {
    auto stream = Open(MakeWav(2.0, 1));
    ASSERT_TRUE(stream);
    stream->Play();
    ASSERT_TRUE(WaitFor([&] { return stream->PositionBytes() > 0; }));
    stream->Stop();
    EXPECT_EQ(stream->PositionBytes(), 0u);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(stream->PositionBytes(), 0u);
}

TEST_F(EnginePlayer, SeeksWhilePlayingAlwaysLandOnWholeFrames) {
    auto stream = Open(MakeWav(2.0, 2));
    ASSERT_TRUE(stream);
    stream->Play();
    for (std::uint64_t i = 0; i < 300; ++i) {
        stream->SetPositionBytes(i * 977 % stream->LengthBytes());
        const std::uint64_t p = stream->PositionBytes();
        EXPECT_EQ(p % 4, 0u);
        EXPECT_LE(p, stream->LengthBytes());
        if (i % 50 == 0) std::this_thread::sleep_for(5ms);
    }
}

TEST_F(EnginePlayer, PlaysMp3) {
    auto tone = testing::Sweeps(44100, 2, 44100, 0.5);
    testing::WriteSound(dir / "in.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2,
                        std::span<const float>(tone));
    auto mp3 = Open(dir / "in.mp3");
    ASSERT_TRUE(mp3);
    EXPECT_NEAR(static_cast<double>(mp3->LengthBytes()), 44100.0 * 4, 1152.0 * 4);
    EXPECT_EQ(mp3->LengthBytes() % 4, 0u);
    mp3->Play();
    EXPECT_TRUE(WaitFor([&] { return mp3->PositionBytes() > 0; }));
}

// Some drivers (the dummy one, and single-device systems) have one output device: a stream
// must give it back when it goes, so that the next one can open.
TEST_F(EnginePlayer, TheNextStreamOpensOnceTheLastIsGone) {
    const auto file = MakeWav(0.2, 1);
    for (int i = 0; i < 3; ++i) {
        auto stream = Open(file);
        ASSERT_TRUE(stream);
        stream->Play();
        EXPECT_TRUE(WaitFor([&] { return stream->PositionBytes() > 0; }));
    }
}

TEST_F(EnginePlayer, AStreamHoldsTheAudioUntilItIsGone) {
    // Nothing started the audio output; opening starts it for the stream's lifetime.
    {
        auto stream = Open(MakeWav(0.2, 1));
        ASSERT_TRUE(stream);
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
        ASSERT_TRUE(StartAudioOutput());
        StopAudioOutput();
        // The editor's own start and stop do not take it from an open stream.
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
        stream->Play();
        EXPECT_TRUE(WaitFor([&] { return stream->PositionBytes() == stream->LengthBytes(); }));
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(EnginePlayer, RefusesWhatItCannotDecode) {
    testing::WriteText(dir / "junk.wav", "not a sound at all, just words");
    auto stream = MakePlayer()->Open(dir / "junk.wav");
    ASSERT_FALSE(stream);
    EXPECT_EQ(stream.message().rfind("cannot decode junk.wav: ", 0), 0u) << stream.message();
    EXPECT_FALSE(stream.isFileSystemError());

    stream = MakePlayer()->Open(dir / "missing.wav");
    ASSERT_FALSE(stream);
    EXPECT_TRUE(stream.isFileSystemError());
}

}  // namespace
}  // namespace brenzo::engine
