// The preview state machine over the real SDL engine (dummy driver).
#include "preview/Preview.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/Engine.h"
#include "export/ExportCommands.h"
#include "support/Builders.h"
#include "support/FrontThread.h"
#include "support/WorkspaceFixture.h"

namespace brenzo::preview {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;
using testing::Tone;

TEST(PreviewStepBytes, AboutAMillionStepsOrOneAByte) {
    EXPECT_EQ(PreviewStepBytes(0), 1u);
    EXPECT_EQ(PreviewStepBytes(1999999), 1u);
    EXPECT_EQ(PreviewStepBytes(2000000), 2u);
    EXPECT_EQ(PreviewStepBytes(25000000), 25u);
    EXPECT_EQ(25000000 / PreviewStepBytes(25000000), 1000000u);
}

TEST(SeekPosition, RoundsHalvesToEvenAndClamps) {
    EXPECT_EQ(SeekPosition(50, 100, 1000), 500);
    EXPECT_EQ(SeekPosition(1, 4, 2), 0);  // 0.5 goes to 0
    EXPECT_EQ(SeekPosition(3, 4, 2), 2);  // 1.5 goes to 2
    EXPECT_EQ(SeekPosition(-20, 100, 1000), 0);
    EXPECT_EQ(SeekPosition(150, 100, 1000), 1000);
    EXPECT_EQ(SeekPosition(10, 0, 1000), 0);
}

TEST(PositionText, WholeSecondsOfTheMillisecond) {
    EXPECT_EQ(PositionText(125.7), "00:02:05");
    EXPECT_EQ(PositionText(5.2), "00:00:05");
    EXPECT_EQ(PositionText(4.9996), "00:00:05");  // 5000 ms after rounding
    EXPECT_EQ(PositionText(-1), "00:00:00");
}

struct Display : PreviewDisplay {
    bool pause = false;
    bool timer = false;
    void ShowPauseIcon(bool p) override { pause = p; }
    void SetTimerEnabled(bool e) override { timer = e; }
};

struct Fixture : testing::WorkspaceFixture {
    Display display;
    std::unique_ptr<engine::Player> player = engine::MakePlayer();
    Preview preview{ws, port, display, *player};

    void openBank(double seconds = 3.0) {
        std::vector<testing::TestSound> list;
        for (int i = 0; i < 2; ++i) {
            testing::TestSound s;
            s.hash = static_cast<std::uint32_t>(i + 1);
            s.rate = 8000;
            s.pcm = Tone(static_cast<std::size_t>(seconds * 8000), 300 + 100 * i, 8000);
            list.push_back(s);
        }
        open("b.bin", testing::BuildBank(formats::BankKind::Plain, list).image);
    }
    // Ticks the timer until the condition holds or the time runs out.
    template <class Condition>
    bool tickUntil(Condition c, std::chrono::milliseconds limit = 5000ms) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            preview.Timer1Timer();
            if (c()) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
};

TEST(Preview, NothingHappensWithNothingLoadedOrNothingSelected) {
    Fixture f;
    f.preview.StringGrid1DblClick(0);
    f.preview.Image1Click(0);
    EXPECT_EQ(f.preview.BarMaximum(), 100);
    EXPECT_FALSE(f.preview.IsPlaying());
    EXPECT_EQ(f.port.count("lock"), 0u);
    f.openBank();
    f.preview.StringGrid1DblClick(std::nullopt);
    EXPECT_FALSE(f.preview.IsPlaying());
}

TEST(Preview, PlaysPausesResumesSeeksAndEnds) {
    Fixture f;
    f.openBank(1.0);
    f.preview.StringGrid1DblClick(1);
    ASSERT_TRUE(f.preview.IsPlaying()) << (f.port.errors().empty() ? "" : f.port.errors()[0]);
    EXPECT_TRUE(f.display.pause);
    EXPECT_TRUE(f.display.timer);
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.texts("status").front(), "Loading...");
    // The 16000 bytes the WAV declares (8000 samples), one step a byte.
    EXPECT_EQ(f.preview.BarMaximum(), 16000);
    EXPECT_TRUE(std::filesystem::exists(exporting::CacheWavPath(f.ws, 1)));

    ASSERT_TRUE(f.tickUntil([&] { return f.preview.BarPosition() > 0; }));
    EXPECT_EQ(f.port.status.rfind("Playing - 00:00:0", 0), 0u);

    f.preview.Image1Click(1);
    EXPECT_TRUE(f.preview.IsPaused());
    EXPECT_FALSE(f.display.pause);
    EXPECT_FALSE(f.display.timer);
    EXPECT_EQ(f.port.status.rfind("Paused - 00:00:0", 0), 0u);

    // Seeking while paused moves the position and stays paused.
    f.preview.ProgressBar1MouseMove(true, 50, 100);
    EXPECT_TRUE(f.preview.IsSeeking());
    EXPECT_EQ(f.preview.BarPosition(), 8000);
    EXPECT_TRUE(f.preview.IsPaused());
    f.preview.ProgressBar1MouseMove(true, 100, 100);
    EXPECT_EQ(f.port.status, "Paused - 00:00:01");
    f.preview.ProgressBar1MouseMove(false, 50, 100);
    EXPECT_FALSE(f.preview.IsSeeking());

    f.preview.Image1Click(1);
    EXPECT_FALSE(f.preview.IsPaused());
    EXPECT_TRUE(f.display.pause);
    ASSERT_TRUE(f.tickUntil([&] { return !f.preview.IsPlaying(); }));
    EXPECT_EQ(f.preview.BarPosition(), 0);
    EXPECT_EQ(f.preview.BarMaximum(), 100);
    EXPECT_EQ(f.port.status, "");
    EXPECT_FALSE(f.display.pause);
}

TEST(Preview, ADragKeepsWhetherItPlaysAndEndsWithItsStream) {
    // p: play row 0, i: the play/pause icon, d: drag on the bar, r: the button released, s: stop.
    struct Case {
        std::string steps;
        PreviewState state;
    };
    const Case cases[] = {
        {"d", PreviewState::Idle},
        {"pd", PreviewState::SeekingPlaying},
        {"pid", PreviewState::SeekingPaused},
        {"pdr", PreviewState::Playing},
        {"pidr", PreviewState::Paused},
        {"pdi", PreviewState::SeekingPaused},
        {"pidi", PreviewState::SeekingPlaying},
        {"pds", PreviewState::Idle},
        {"pdsp", PreviewState::Playing},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.openBank();
        for (char step : c.steps) {
            if (step == 'p') f.preview.StringGrid1DblClick(0);
            if (step == 'i') f.preview.Image1Click(0);
            if (step == 'd') f.preview.ProgressBar1MouseMove(true, 10, 100);
            if (step == 'r') f.preview.ProgressBar1MouseMove(false, 10, 100);
            if (step == 's') f.preview.Stop();
        }
        EXPECT_EQ(f.preview.State(), c.state) << c.steps;
        // A stream played after a drag ended with the last one shows its own position.
        if (c.state == PreviewState::Playing) {
            EXPECT_TRUE(f.tickUntil([&] { return f.preview.BarPosition() > 0; })) << c.steps;
        }
    }
}

TEST(Preview, ANewRowStopsThePausedOneAndStopEndsIdle) {
    Fixture f;
    f.openBank();
    f.preview.StringGrid1DblClick(0);
    f.preview.Image1Click(0);
    ASSERT_TRUE(f.preview.IsPaused());
    f.preview.StringGrid1DblClick(1);
    EXPECT_TRUE(f.preview.IsPlaying());
    EXPECT_FALSE(f.preview.IsPaused());
    f.preview.Image1Click(1);
    EXPECT_TRUE(f.preview.IsPaused());
    f.preview.Stop();
    EXPECT_FALSE(f.preview.IsPlaying());
    EXPECT_FALSE(f.preview.IsPaused());
    EXPECT_FALSE(f.display.pause);
    // Opening a file stops it too.
    f.preview.StringGrid1DblClick(0);
    f.ws.Open(f.dir / "b.bin", f.port);
    EXPECT_FALSE(f.preview.IsPlaying());
}

TEST(Preview, AFileThatCannotBePlayedEndsIdleAndUnlocked) {
    Fixture f;
    f.openBank();
    // The cache exists but holds no sound.
    testing::WriteText(exporting::CacheWavPath(f.ws, 0), "not audio");
    f.preview.StringGrid1DblClick(0);
    EXPECT_FALSE(f.preview.IsPlaying());
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.status, "");
    ASSERT_EQ(f.port.errors().size(), 1u);
    // Said once, of the sound the user knows.
    EXPECT_EQ(f.port.errors()[0].rfind("cannot play 0x0001: ", 0), 0u) << f.port.errors()[0];
    EXPECT_THAT(f.port.errors()[0], Not(HasSubstr(".wav")));
    EXPECT_FALSE(f.display.timer);
}

TEST(Preview, APreviewedRowIsExportedFromItsCache) {
    Fixture f;
    f.openBank();
    f.preview.StringGrid1DblClick(0);
    f.preview.Stop();
    const auto cache = exporting::CacheWavPath(f.ws, 0);
    testing::WriteText(cache, "cached");
    f.port.answers = {(f.dir / "out.wav").string()};
    exporting::Export2Click(f.ws, f.port, 0);
    EXPECT_EQ(testing::ReadFile(f.dir / "out.wav").size(), 6u);
}

TEST(Preview, EveryRowOfAMultichannelFilePlaysTheWholeFile) {
    Fixture f;
    auto tone = Tone(9000, 300, 8000);
    f.open("m.bin", testing::BuildMulti(true, {tone, tone}, 8000).image);
    f.preview.StringGrid1DblClick(1);
    ASSERT_TRUE(f.preview.IsPlaying());
    EXPECT_EQ(f.preview.BarMaximum(), 2 * 4500 * 4);  // the declared data of both channels
    EXPECT_EQ(exporting::CacheWavPath(f.ws, 0), exporting::CacheWavPath(f.ws, 1));
}

// A front end runs a first play's export through its long-command runner: on a worker, its
// texts reach the port in the order of an export on the preview's own thread; a runner that
// cannot run it (another command runs) leaves the preview Idle, unlocked and silent.
TEST(Preview, AFirstPlayBuildsItsCacheThroughTheFrontEndsRunner) {
    enum class Runner { None, Worker, Refuses };
    std::vector<std::string> alone;
    for (const Runner runner : {Runner::None, Runner::Worker, Runner::Refuses}) {
        SCOPED_TRACE(static_cast<int>(runner));
        Fixture f;
        f.openBank(1.0);
        testing::FrontThread thread;
        workspace::Worker worker(f.port, thread.Poster());
        int runs = 0;
        if (runner == Runner::Worker)
            f.preview.BuildCacheWith([&](const std::function<void(workspace::UiPort&)>& command) {
                ++runs;
                bool done = false;
                ASSERT_TRUE(worker.Start(command, [&](const std::optional<std::string>&) { done = true; }));
                ASSERT_TRUE(thread.RunUntil([&] { return done; }));
            });
        if (runner == Runner::Refuses)
            f.preview.BuildCacheWith([&](const std::function<void(workspace::UiPort&)>&) { ++runs; });
        f.port.clear();
        f.preview.StringGrid1DblClick(0);

        const bool plays = runner != Runner::Refuses;
        EXPECT_EQ(f.preview.IsPlaying(), plays);
        EXPECT_EQ(std::filesystem::exists(exporting::CacheWavPath(f.ws, 0)), plays);
        EXPECT_EQ(runs, runner == Runner::None ? 0 : 1);
        EXPECT_EQ(f.port.lockDepth, 0);
        EXPECT_EQ(f.port.status, "");
        EXPECT_TRUE(f.port.errors().empty());
        std::vector<std::string> shown;
        for (const auto& call : f.port.calls)
            if (call.what != "pump" && call.what != "progress") shown.push_back(call.what + " " + call.text);
        if (runner == Runner::None) alone = shown;
        if (runner == Runner::Worker) {
            EXPECT_EQ(shown, alone);
        } else if (runner == Runner::Refuses) {
            EXPECT_EQ(shown, (std::vector<std::string>{"lock ", "status Loading...", "marquee ", "status ", "marquee ",
                                                       "unlock "}));
        }
        f.preview.Stop();
    }
}

}  // namespace
}  // namespace brenzo::preview
