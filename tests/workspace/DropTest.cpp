#include "workspace/Drop.h"

#include <gtest/gtest.h>

#include "support/Builders.h"
#include "support/WorkspaceFixture.h"

namespace brenzo::workspace {
namespace {

TEST(DecideDrop, AudioOnARowReplacesEverythingElseOpens) {
    struct Case {
        const char* file;
        bool onRow;
        DropAction action;
    };
    const Case cases[] = {
        {"horn.wav", true, DropAction::AskReplace}, {"Horn.MP3", true, DropAction::AskReplace},
        {"a.b.ogg", true, DropAction::AskReplace},  {"x.flac", true, DropAction::AskReplace},
        {"horn.wav", false, DropAction::Open},      {"sfx_vehicle.bin", true, DropAction::Open},
        {"noextension", true, DropAction::Open},    {"wav", true, DropAction::Open},
        {"music.wav.bin", true, DropAction::Open},
    };
    for (const Case& c : cases) EXPECT_EQ(DecideDrop(c.file, c.onRow), c.action) << c.file << " " << c.onRow;
    EXPECT_EQ(ReplaceQuestion("horn", "my horn.mp3"), "Replace horn with my horn.mp3?");
}

TEST(ReplaceQuestion, NamesTheSoundOfTheRowOrTheWholeMultichannelFile) {
    struct Case {
        bool multichannel;
        std::size_t entry;
        const char* question;
    };
    const Case cases[] = {
        {false, 0, "Replace horn with new.wav?"},
        {false, 1, "Replace 0x0002 with new.wav?"},
        {true, 0, "Replace music.bin with new.wav?"},
        {true, 1, "Replace music.bin with new.wav?"},
    };
    for (const Case& c : cases) {
        testing::WorkspaceFixture f;
        testing::WriteText(f.dir / "Hashes.ini", "[Hashes]\n1=horn\n");
        const auto tone = testing::Tone(800, 300, 8000);
        std::vector<testing::TestSound> sounds(2);
        for (std::size_t i = 0; i < sounds.size(); ++i) {
            sounds[i].hash = static_cast<std::uint32_t>(i + 1);
            sounds[i].pcm = tone;
        }
        if (c.multichannel)
            f.open("music.bin", testing::BuildMulti(true, {tone, tone}, 8000).image);
        else
            f.open("b.bin", testing::BuildBank(formats::BankKind::Plain, sounds).image);
        EXPECT_EQ(ReplaceQuestion(f.ws, c.entry, "new.wav"), c.question) << c.multichannel << " " << c.entry;
    }
}

}  // namespace
}  // namespace brenzo::workspace
