#include <SDL.h>
#include <gtest/gtest.h>

#include <cctype>

#include "engine/Capabilities.h"
#include "engine/Engine.h"
#include "engine/SoundFiles.h"

namespace brenzo::engine {
namespace {

TEST(EngineStartup, TheInstalledLibrariesCanDoWhatTheEditorNeeds) {
    const SndfileAbilities found = ProbeSndfile();
    EXPECT_TRUE(found.mpeg);
    EXPECT_TRUE(found.vorbis);
    EXPECT_EQ(CheckEngineCapabilities(), std::nullopt);
}

TEST(EngineStartup, ALibsndfileWithoutMp3IsNamedWithItsVersion) {
    EXPECT_EQ(CapabilityProblem({"1.0.28", false, true}),
              "libsndfile 1.0.28 cannot decode MP3 files; Brenzo needs libsndfile 1.1 or later");
}

TEST(EngineStartup, ALibsndfileWithoutVorbisIsNamed) {
    auto problem = CapabilityProblem({"1.2.0", true, false});
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->rfind("libsndfile 1.2.0 cannot decode OGG Vorbis files", 0), 0u) << *problem;
}

bool LooksLikeAVersion(const std::string& v) {
    return !v.empty() && std::isdigit(static_cast<unsigned char>(v[0])) && v.find('.') != std::string::npos;
}

TEST(EngineStartup, EveryLinkedLibraryIsNamedWithABareVersion) {
    struct Row {
        const char* part;
        std::vector<Library> libraries;
        std::vector<std::string> names;
    };
    const Row rows[] = {
        {"decoding and conversion", LinkedLibraries(), {"libsndfile", "libmpg123", "libvorbisfile", "libsoxr"}},
        {"player", PlayerLibraries(), {"SDL2"}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> names;
        for (const auto& l : row.libraries) {
            names.push_back(l.name);
            EXPECT_TRUE(LooksLikeAVersion(l.version)) << row.part << ": " << l.name << " " << l.version;
        }
        EXPECT_EQ(names, row.names) << row.part;
    }
}

TEST(EngineStartup, AudioOutputStartsOnceAndStopsWhole) {
    testing::UseDummyAudioUnlessChosen();
    ASSERT_TRUE(StartAudioOutput());
    EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    ASSERT_TRUE(StartAudioOutput());  // a second start is no second reference
    StopAudioOutput();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    StopAudioOutput();  // a stop without a start is harmless
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

}  // namespace
}  // namespace brenzo::engine
