#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>

#include "common/Version.h"
#include "export/Export.h"
#include "formats/BankFile.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace brenzo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::RunCli;
using testing::TempDir;

std::string str(const std::filesystem::path& p) { return platform::PathToUtf8(p); }

class Cli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        auto run = RunCli({"samples", str(dir_->path())});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::string sample(const std::string& name) { return str(dir_->path() / name); }
    static testing::CliRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--hashes", sample("Hashes.ini")});
        return RunCli(args);
    }
    static TempDir* dir_;
};
TempDir* Cli::dir_ = nullptr;

TEST_F(Cli, InfoPrintsTheCaptionOfEveryKind) {
    EXPECT_EQ(run({"info", sample("sfx_vehicle.bin")}).out,
              "Sound Bank ADPCM with animations (4 sounds) - sfx_vehicle.bin\n");
    EXPECT_EQ(run({"info", sample("sfx_ui.bin")}).out, "Sound Bank ADPCM (3 sounds) - sfx_ui.bin\n");
    EXPECT_EQ(run({"info", sample("voice_pcm.bin")}).out, "Sound Bank PCM (3 sounds) - voice_pcm.bin\n");
    EXPECT_EQ(run({"info", sample("music_stereo.bin")}).out, "Multichannel ADPCM (2 channels) - music_stereo.bin\n");
    EXPECT_EQ(run({"info", sample("music_5ch.bin")}).out, "Multichannel ADPCM (5 channels) - music_5ch.bin\n");
    EXPECT_EQ(run({"info", sample("music_pcm.bin")}).out, "Multichannel PCM (2 channels) - music_pcm.bin\n");
}

TEST_F(Cli, ListPrintsTabSeparatedRowsAndQuietStderr) {
    auto r = run({"list", sample("sfx_vehicle.bin")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "0\tengine_idle\t00:00:02\t22050 Hz\n"
              "1\thorn\t00:00:00\t22050 Hz\n"
              "2\tdoor_slam\t00:00:00\t22050 Hz\n"
              "3\ttire_screech\t00:00:01\t22050 Hz\n");
    EXPECT_EQ(r.err, "");  // progress only on a terminal
    // A hash missing from "Hashes.ini" shows its default name.
    EXPECT_THAT(run({"list", sample("sfx_ui.bin")}).out, HasSubstr("\t0x"));
}

TEST_F(Cli, ListKeepsControlCharactersOfNamesOffTheTerminal) {
    TempDir d;
    auto bank = formats::ReadBank(testing::ReadFile(dir_->path() / "sfx_ui.bin"), formats::BankKind::Plain).bank;
    testing::WriteText(d / "Hashes.ini",
                       "[Hashes]\n" + std::to_string(bank.BanksHeadInfo[0].Hash) + "=a\tb\x1b[31mc\n");
    auto r = RunCli({"--hashes", str(d / "Hashes.ini"), "list", sample("sfx_ui.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "0\ta\xEF\xBF\xBD"
              "b\xEF\xBF\xBD[31mc\t00:00:00\t22050 Hz");
    auto json = RunCli({"--hashes", str(d / "Hashes.ini"), "list", "--json", sample("sfx_ui.bin")});
    EXPECT_EQ(nlohmann::json::parse(json.out)[0]["name"], "a\tb\x1b[31mc");
}

#ifndef _WIN32
// File names reach the terminal in captions and messages too: the same rule holds there.
TEST_F(Cli, CaptionsAndErrorsKeepControlCharactersOffTheTerminal) {
    TempDir d;
    const std::string escaped = "a\x1b[31mb\x07.bin", shown = "a\xEF\xBF\xBD[31mb\xEF\xBF\xBD.bin";
    std::filesystem::copy_file(dir_->path() / "sfx_ui.bin", d / escaped);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, errPart;
    };
    const std::vector<Case> cases = {
        {{"info", str(d / escaped)}, 0, "Sound Bank ADPCM (3 sounds) - " + shown + "\n", ""},
        {{"info", str(d / ("gone" + escaped))}, 3, "", "cannot read gone" + shown},
        {{"export", str(d / escaped), "--index", "0", "-o", str(d / "no" / escaped)}, 3, "", shown},
    };
    for (const auto& c : cases) {
        auto r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << ": " << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_THAT(r.err, HasSubstr(c.errPart));
        EXPECT_EQ(r.err.find_first_of("\x1b\x07"), std::string::npos) << r.err;
    }
}
#endif

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// An allocation that fails is reported and ends nothing badly (the sanitizers reserve more
// address space than the limit allows, so this runs without them only).
TEST(CliMemory, AFileLargerThanTheMemoryLimitIsReportedNotFatal) {
    TempDir d;
    // 600 MB of nothing, under a limit of 400 MB of address space.
    testing::WriteText(d / "big.bin", "");
    std::filesystem::resize_file(d / "big.bin", 600u << 20);
    const std::string command = "ulimit -v 400000; \"" + str(testing::CliPath()) + "\" info \"" + str(d / "big.bin") +
                                "\" 2>\"" + str(d / "err.txt") + "\"";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 3);
    const auto err = testing::ReadFile(d / "err.txt");
    EXPECT_EQ(std::string(err.begin(), err.end()), "brenzo-cli: not enough memory to open big.bin\n");
}
#endif

TEST(CliVersion, NamesTheVersionAndEveryLinkedLibrary) {
    auto r = RunCli({"--version"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(std::string("brenzo-cli ") + std::string(kVersion) + "\n", 0), 0u) << r.out;
    std::vector<std::string> names;
    // Each line is "NAME VERSION"; a name may hold a space ("Media Foundation").
    for (std::size_t at = r.out.find('\n') + 1; at < r.out.size(); at = r.out.find('\n', at) + 1) {
        const std::string line = r.out.substr(at, r.out.find('\n', at) - at);
        names.push_back(line.substr(0, line.rfind(' ')));
    }
    // The CLI never plays: the player's audio output (SDL2, waveOut) is not linked, nor named.
#if defined(BRENZO_TEST_ENGINE) && defined(_WIN32)
    EXPECT_EQ(names, (std::vector<std::string>{"Media Foundation", "stb_vorbis", "CLI11", "nlohmann-json"}));
#elif defined(BRENZO_TEST_ENGINE)
    EXPECT_EQ(names, (std::vector<std::string>{"libsndfile", "libmpg123", "libvorbisfile", "libsoxr", "CLI11",
                                               "nlohmann-json"}));
#else
    EXPECT_EQ(names, (std::vector<std::string>{"CLI11", "nlohmann-json"}));
#endif
}

TEST_F(Cli, ListJsonGivesTheStoredFields) {
    auto r = run({"list", "--json", sample("voice_pcm.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0]["index"], 0);
    EXPECT_EQ(j[0]["name"], "radio_static");
    EXPECT_EQ(j[0]["rate"], 16000);
    EXPECT_EQ(j[0]["compression"], 1);
    EXPECT_EQ(j[0]["samples"], 24000);
    EXPECT_EQ(j[0]["size"], 48000);
    EXPECT_EQ(j[0]["duration"], "00:00:01");
    EXPECT_TRUE(j[0]["hash"].is_number_unsigned());
    auto keys = std::vector<std::string>();
    const auto ordered = nlohmann::ordered_json::parse(r.out);
    for (const auto& [key, value] : ordered[0].items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"index", "name", "hash", "duration", "rate", "samples", "size",
                                              "compression"}));
}

TEST_F(Cli, ExportWritesWhatTheWindowsExportWrites) {
    TempDir out;
    auto r = run({"export", sample("sfx_vehicle.bin"), "--name", "horn", "-o", str(out / "horn.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto image = testing::ReadFile(dir_->path() / "sfx_vehicle.bin");
    auto bank = formats::ReadBank(image, formats::BankKind::WithAnimations).bank;
    exporting::MemorySink expected;
    ASSERT_TRUE(exporting::ExportBankSound(image, bank, 1, exporting::SoundForm::Adpcm, expected));
    EXPECT_EQ(testing::ReadFile(out / "horn.wav"), expected.bytes());

    ASSERT_EQ(run({"export", sample("music_5ch.bin"), "-o", str(out / "m.wav")}).status, 0);
    EXPECT_EQ(testing::U32At(testing::ReadFile(out / "m.wav"), 22) & 0xFFFF, 5u);
}

TEST_F(Cli, SelectionErrorsAreUsageErrors) {
    TempDir out;
    const auto o = str(out / "x.wav");
    EXPECT_EQ(run({"export", sample("sfx_ui.bin"), "-o", o}).status, 1);
    EXPECT_EQ(run({"export", sample("sfx_ui.bin"), "--index", "0", "--name", "menu_back", "-o", o}).status, 1);
    auto past = run({"export", sample("sfx_ui.bin"), "--index", "3", "-o", o});
    EXPECT_EQ(past.status, 1);
    EXPECT_THAT(past.err, HasSubstr("has no entry 3 (it has 3)"));
    EXPECT_EQ(run({"export", sample("sfx_ui.bin"), "--index", "-1", "-o", o}).status, 1);
    EXPECT_EQ(run({"export", sample("sfx_ui.bin"), "--name", "nothing", "-o", o}).status, 1);
    // A multichannel file is taken whole: a selection is refused, saying so, before any work.
    auto whole = run({"export", sample("music_pcm.bin"), "--index", "0", "-o", o});
    EXPECT_EQ(whole.status, 1);
    EXPECT_EQ(whole.err, "brenzo-cli: a multichannel file is exported whole; --index and --name do not apply\n");
#ifdef BRENZO_TEST_ENGINE
    auto replaced = run({"replace", sample("music_pcm.bin"), "--name", "0x00001000", str(out / "none.wav")});
    EXPECT_EQ(replaced.status, 1);
    EXPECT_EQ(replaced.err,
              "brenzo-cli: all channels of a multichannel file are replaced; --index and --name do not apply\n");
#endif
    EXPECT_EQ(run({"list"}).status, 1);
    EXPECT_EQ(run({"list", "--bogus", sample("sfx_ui.bin")}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(out / "x.wav"));
}

TEST_F(Cli, AMistypedCommandIsNamedWithTheCommandsThereAre) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"lst", sample("sfx_ui.bin")},
                                                 {"frobnicate"},
                                                 {"--hashes", sample("Hashes.ini"), "lst"}}) {
        auto r = RunCli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr("unknown command '" + args[args.size() > 2 ? 2 : 0] + "'"));
        EXPECT_THAT(r.err, HasSubstr("info, list, export, export-all, replace, import-all, restore, radio, samples"));
    }
    auto none = RunCli({});
    EXPECT_EQ(none.status, 1);
    EXPECT_THAT(none.err, Not(HasSubstr("unknown command")));
}

TEST_F(Cli, RefusedAndUnreadableFilesHaveTheirOwnStatus) {
    TempDir d;
    testing::WriteText(d / "junk.bin", "not a container at all");
    auto junk = run({"list", str(d / "junk.bin")});
    EXPECT_EQ(junk.status, 2);
    EXPECT_EQ(junk.err, "brenzo-cli: Invalid file!\n");
    auto missing = run({"info", str(d / "missing.bin")});
    EXPECT_EQ(missing.status, 3);
    EXPECT_THAT(missing.err, HasSubstr("cannot read missing.bin"));
    auto unwritable = run({"export", sample("sfx_ui.bin"), "--index", "0", "-o", str(d / "no" / "dir" / "x.wav")});
    EXPECT_EQ(unwritable.status, 3);
    // One sound of "export-all" that cannot be written fails the same way.
    std::filesystem::create_directories(d / "out" / "horn.wav");
    auto blocked = run({"export-all", sample("sfx_vehicle.bin"), "-d", str(d / "out")});
    EXPECT_EQ(blocked.status, 3) << blocked.err;
    EXPECT_THAT(blocked.err, HasSubstr("1 of 4 sounds could not be exported"));
    // A names file asked for by name is there, or nothing is listed under hex names.
    auto noNames = RunCli({"--hashes", str(d / "Hashse.ini"), "list", sample("sfx_ui.bin")});
    EXPECT_EQ(noNames.status, 3);
    EXPECT_THAT(noNames.err, HasSubstr("cannot read Hashse.ini"));
    EXPECT_EQ(noNames.out, "");
}

TEST_F(Cli, ExportAllWritesEverySoundUnderSafeUniqueNames) {
    TempDir d;
    testing::WriteText(d / "Hashes.ini", "");
    auto bankImage = testing::ReadFile(dir_->path() / "sfx_vehicle.bin");
    auto bank = formats::ReadBank(bankImage, formats::BankKind::WithAnimations).bank;
    std::string ini = "[Hashes]\n";
    const char* names[] = {"CON", "what?", "what?", "trailing. "};
    for (int i = 0; i < 4; ++i) ini += std::to_string(bank.BanksHeadInfo[i].Hash) + "=" + names[i] + "\n";
    testing::WriteText(d / "Hashes.ini", ini);
    auto r = RunCli({"--hashes", str(d / "Hashes.ini"), "export-all", sample("sfx_vehicle.bin"), "-d", str(d / "out")});
    ASSERT_EQ(r.status, 0) << r.err;
    // "Hashes.ini" drops the value's trailing blank; the dot is made safe.
    for (const char* f : {"_CON.wav", "what_.wav", "what_ (2).wav", "trailing_.wav"})
        EXPECT_TRUE(std::filesystem::exists(d / "out" / f)) << f;

    auto multi = run({"export-all", sample("music_stereo.bin"), "-d", str(d / "m")});
    ASSERT_EQ(multi.status, 0) << multi.err;
    EXPECT_TRUE(std::filesystem::exists(d / "m" / "music_stereo.bin.wav"));
}

// Windows takes a path from the root of the current drive ("/mods/bank.bin") as it is; it is
// never an option there either.
TEST_F(Cli, APathFromTheRootIsAFileOnEverySystem) {
    auto r = run({"info", "/no such folder/bank.bin"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_THAT(r.err, HasSubstr("cannot read bank.bin"));
    auto e = run({"export", sample("sfx_ui.bin"), "--index", "0", "-o", "/no such folder/x.wav"});
    EXPECT_EQ(e.status, 3) << e.err;
}

TEST_F(Cli, NonAsciiContainerAndHashesPaths) {
    TempDir d;
    const std::string folder = str(d.path()) + "/m\xC3\xBAsica \xE6\x97\xA5";
    std::filesystem::create_directories(platform::PathFromUtf8(folder));
    // Copied by hand: MinGW's std::filesystem::copy_file takes any two files of one drive for
    // the same file (its stat has no inode numbers) and refuses to overwrite.
    testing::WriteFile(platform::PathFromUtf8(folder + "/b\xC3\xA4nk.bin"),
                       testing::ReadFile(dir_->path() / "sfx_ui.bin"));
    testing::WriteFile(platform::PathFromUtf8(folder + "/H\xC3\xA4shes.ini"),
                       testing::ReadFile(dir_->path() / "Hashes.ini"));
    auto r = RunCli({"--hashes", folder + "/H\xC3\xA4shes.ini", "info", folder + "/b\xC3\xA4nk.bin"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Sound Bank ADPCM (3 sounds) - b\xC3\xA4nk.bin\n");
    auto e = RunCli({"--hashes", folder + "/H\xC3\xA4shes.ini", "export", folder + "/b\xC3\xA4nk.bin", "--name",
                     "menu_click", "-o",
                     folder + "/cl\xC3\xAF"
                              "ck.wav"});
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_TRUE(std::filesystem::exists(platform::PathFromUtf8(folder + "/cl\xC3\xAF"
                                                                        "ck.wav")));
}

#ifdef _WIN32
// Without it Windows hands brenzo-cli's C runtime, and every "A" call it makes, text in the
// ANSI code page, where most of the world's characters are lost.
TEST(CliExecutable, DeclaresUtf8AsItsCodePage) {
    HMODULE exe =
        LoadLibraryExW(testing::CliPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // the manifest
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string manifest(bytes, SizeofResource(exe, found));
    FreeLibrary(exe);
    EXPECT_THAT(manifest, HasSubstr("<activeCodePage"));
    EXPECT_THAT(manifest, HasSubstr(">UTF-8</activeCodePage>"));
}
#endif

}  // namespace
}  // namespace brenzo
