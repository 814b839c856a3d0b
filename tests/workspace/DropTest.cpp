#include "workspace/Drop.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace brenzo::workspace
