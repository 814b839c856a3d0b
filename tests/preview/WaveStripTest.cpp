// The waveform strip's state over the real preview (SDL's dummy driver) and real cached WAVs.
#include "preview/WaveStrip.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "engine/Engine.h"
#include "support/Builders.h"
#include "support/WorkspaceFixture.h"

namespace brenzo::preview {
namespace {

using Change = WaveStrip::Change;

struct NoDisplay : PreviewDisplay {
    void ShowPauseIcon(bool) override {}
    void SetTimerEnabled(bool) override {}
};

struct StripFixture : testing::WorkspaceFixture {
    NoDisplay display;
    std::unique_ptr<engine::Player> player = engine::MakePlayer();
    Preview preview{ws, port, display, *player};
    WaveStrip strip{ws, preview};

    // A bank of three one-second sounds, or a multichannel file of two channels.
    void openFile(bool multichannel) {
        const auto tone = testing::Tone(8000, 300, 8000);
        std::vector<testing::TestSound> sounds(3);
        for (std::size_t i = 0; i < sounds.size(); ++i) {
            sounds[i].hash = static_cast<std::uint32_t>(i + 1);
            sounds[i].rate = 8000;
            sounds[i].pcm = tone;
        }
        if (multichannel)
            open("music.bin", testing::BuildMulti(true, {tone, tone}, 8000).image);
        else
            open("b.bin", testing::BuildBank(formats::BankKind::Plain, sounds).image);
    }
    // Polls until the columns are there (or the time is up).
    WaveStrip::Taken takeWhenDone() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        WaveStrip::Taken taken = strip.Take();
        while (!taken.done && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            taken = strip.Take();
        }
        return taken;
    }
};

TEST(WaveStrip, ShowsTheCurrentSoundOrTheWholeMultichannelFile) {
    struct Case {
        int file;  // 0: nothing opened, 1: a bank of three sounds, 2: a multichannel file
        std::optional<std::size_t> current;
        std::optional<std::size_t> shown;
    };
    const Case cases[] = {
        {0, std::nullopt, std::nullopt},
        {0, 0, std::nullopt},
        {1, std::nullopt, std::nullopt},
        {1, 0, 0},
        {1, 2, 2},
        {1, 3, std::nullopt},
        {2, std::nullopt, 0},
        {2, 1, 0},
    };
    for (const Case& c : cases) {
        StripFixture f;
        if (c.file > 0) f.openFile(c.file == 2);
        EXPECT_EQ(f.strip.EntryFor(c.current), c.shown) << c.file << " " << c.current.value_or(99);
    }
}

TEST(WaveStrip, ComputesColumnsOnceForEachSoundAndWidth) {
    StripFixture f;
    f.openFile(false);
    EXPECT_TRUE(f.strip.Take().done);  // nothing under way
    EXPECT_EQ(f.strip.Follow(std::nullopt, 100, false), Change::Cleared);
    EXPECT_EQ(f.strip.Follow(1, 0, false), Change::Cleared);

    EXPECT_EQ(f.strip.Follow(1, 100, false), Change::Computing);
    EXPECT_EQ(f.strip.Follow(1, 100, false), Change::None);  // its columns are on the way
    auto taken = f.takeWhenDone();
    ASSERT_TRUE(taken.done);
    ASSERT_TRUE(taken.wave);
    EXPECT_EQ(taken.wave->columns.size(), 1u);
    EXPECT_EQ(taken.wave->columns[0].size(), 100u);

    // Each row is one step: what follows the strip at (entry, width) while it shows columns or
    // not, after `before`.
    struct Step {
        const char* what;
        std::function<void()> before;
        std::optional<std::size_t> entry;
        int width;
        bool shows;
        Change change;
    };
    const Step steps[] = {
        {"the same sound", {}, 1, 100, true, Change::None},
        {"the strip lost its columns", {}, 1, 100, false, Change::Computing},
        {"another width", {}, 1, 60, true, Change::Computing},
        {"another row", {}, 2, 60, true, Change::Computing},
        {"another row replaced", [&] { f.strip.RowChanged(0); }, 2, 60, true, Change::None},
        {"its own row replaced", [&] { f.strip.RowChanged(2); }, 2, 60, true, Change::Computing},
        {"another file", [&] { f.strip.Forget(); }, 2, 60, true, Change::Computing},
    };
    for (const Step& s : steps) {
        if (s.before) s.before();
        EXPECT_EQ(f.strip.Follow(s.entry, s.width, s.shows), s.change) << s.what;
    }

    // The channels of a multichannel file are shown together: any replaced row draws them again.
    StripFixture multi;
    multi.openFile(true);
    EXPECT_EQ(multi.strip.Follow(0, 80, false), Change::Computing);
    ASSERT_TRUE(multi.takeWhenDone().wave);
    multi.strip.RowChanged(1);
    EXPECT_EQ(multi.strip.Follow(0, 80, true), Change::Computing);
    auto channels = multi.takeWhenDone();
    ASSERT_TRUE(channels.wave);
    EXPECT_EQ(channels.wave->columns.size(), 2u);
}

TEST(WaveStrip, ShowsThePositionOfTheSoundItShowsOnly) {
    for (const bool multichannel : {false, true}) {
        StripFixture f;
        f.openFile(multichannel);
        EXPECT_EQ(f.strip.Position(0), std::nullopt);  // nothing plays
        f.strip.Play(1);
        ASSERT_TRUE(f.preview.IsPlaying());
        // A multichannel file plays whole, so the strip (at entry 0) shows it from any row.
        EXPECT_EQ(f.strip.Position(0).has_value(), multichannel);
        EXPECT_EQ(f.strip.Position(std::nullopt), std::nullopt);

        // A press on the strip showing entry 0 starts it where another sound plays, then seeks.
        f.strip.Seek(0, 50, 100);
        ASSERT_TRUE(f.strip.Position(0));
        EXPECT_NEAR(*f.strip.Position(0), 0.5, 0.05);
        EXPECT_EQ(f.strip.Position(1).has_value(), multichannel);

        f.strip.Opening();
        EXPECT_EQ(f.strip.Position(0), std::nullopt);
        f.preview.Stop();
    }
}

}  // namespace
}  // namespace brenzo::preview
