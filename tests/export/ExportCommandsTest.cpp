#include "export/ExportCommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Path.h"
#include "support/Builders.h"
#include "support/WorkspaceFixture.h"

namespace brenzo::exporting {
namespace {

using ::testing::HasSubstr;
using Fixture = testing::WorkspaceFixture;

std::vector<std::uint8_t> bankOf(std::size_t sounds, std::uint32_t compression = 1024) {
    std::vector<testing::TestSound> list;
    for (std::size_t i = 0; i < sounds; ++i) {
        testing::TestSound s;
        s.hash = static_cast<std::uint32_t>(i + 1);
        s.compression = compression;
        s.pcm = testing::Tone(500 + 37 * i, 300 + 10.0 * static_cast<double>(i), 22050);
        list.push_back(s);
    }
    return testing::BuildBank(formats::BankKind::Plain, list).image;
}

std::string str(const std::filesystem::path& p) { return platform::PathToUtf8(p); }

TEST(ExportCommands, DoNothingWhileNothingIsLoaded) {
    Fixture f;
    f.port.answers = {str(f.dir / "x.wav"), str(f.dir.path())};
    Export1Click(f.ws, f.port, 0);
    Export2Click(f.ws, f.port, 0);
    Exportall1Click(f.ws, f.port);
    EXPECT_TRUE(f.port.calls.empty());
    EXPECT_TRUE(f.port.dialogs.empty());
}

TEST(ExportCommands, NeedASelectedRow) {
    Fixture f;
    f.open("b.bin", bankOf(2));
    Export1Click(f.ws, f.port, std::nullopt);
    Export2Click(f.ws, f.port, 7);
    EXPECT_TRUE(f.port.dialogs.empty());
}

TEST(Export1Click, LocksBeforeTheDialogAndUnlocksAfterACancel) {
    Fixture f;
    f.open("b.bin", bankOf(2));
    f.port.answers = {std::nullopt};
    Export1Click(f.ws, f.port, 1);
    ASSERT_EQ(f.port.dialogs.size(), 1u);
    EXPECT_EQ(f.port.dialogs[0], "save WAV-file (*.wav)|*.wav 0x0002.wav");
    EXPECT_TRUE(f.port.lockedDuringDialog);
    EXPECT_EQ(f.port.statusDuringDialog, "Exporting...");
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.status, "");
}

TEST(ExportCommands, TheDialogOffersTheSafeName) {
    Fixture f;
    testing::WriteText(f.dir / "Hashes.ini", "[Hashes]\n1=../up\n2=a/b\n");
    f.open("b.bin", bankOf(2));
    f.port.answers = {std::nullopt, std::nullopt};
    Export1Click(f.ws, f.port, 0);
    Export2Click(f.ws, f.port, 1);
    EXPECT_EQ(f.port.dialogs, (std::vector<std::string>{"save WAV-file (*.wav)|*.wav .._up.wav",
                                                        "save WAV-file (*.wav)|*.wav a_b.wav"}));
}

TEST(Export2Click, ShowsNothingBusyUntilTheDialogIsConfirmed) {
    Fixture f;
    f.open("b.bin", bankOf(2));
    f.port.answers = {std::nullopt};
    Export2Click(f.ws, f.port, 0);
    EXPECT_FALSE(f.port.lockedDuringDialog);
    EXPECT_EQ(f.port.count("lock"), 0u);

    f.port.answers = {str(f.dir / "out.wav")};
    Export2Click(f.ws, f.port, 0);
    EXPECT_FALSE(f.port.lockedDuringDialog);
    EXPECT_EQ(f.port.count("lock"), 1u);
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "out.wav"));
}

TEST(MakeTargetFile, ACachedSoundIsCopiedWithoutDecoding) {
    Fixture f;
    f.open("b.bin", bankOf(2));
    auto cache = EnsureCacheWav(f.ws, 1, f.port);
    ASSERT_TRUE(cache);
    testing::WriteText(*cache, "what the preview left");
    f.port.answers = {str(f.dir / "t.wav")};
    Export1Click(f.ws, f.port, 1);
    EXPECT_EQ(testing::ReadFile(f.dir / "t.wav").size(), std::string("what the preview left").size());
}

TEST(Exportall1Click, WritesEveryOneOf120Sounds) {
    Fixture f;
    f.open("big.bin", bankOf(120));
    f.port.answers = {str(f.folder("all"))};
    Exportall1Click(f.ws, f.port);
    EXPECT_EQ(f.port.dialogs[0], "folder Select directory");
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(f.dir / "all")) files += e.path().extension() == ".wav";
    EXPECT_EQ(files, 120u);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "all" / "0x0078.wav"));
    EXPECT_TRUE(f.port.errors().empty());
    EXPECT_EQ(f.port.lockDepth, 0);
}

TEST(Exportall1Click, RowsOfOneNameKeepTheirOwnAudio) {
    Fixture f;
    testing::WriteText(f.dir / "Hashes.ini", "[Hashes]\n1=boom\n2=boom\n3=BOOM\n4=../escape\n");
    f.open("b.bin", bankOf(4));
    EXPECT_EQ(ExportAllFileNames(f.ws),
              (std::vector<std::string>{"boom.wav", "boom (2).wav", "BOOM (3).wav", ".._escape.wav"}));
    f.port.answers = {str(f.folder("out"))};
    Exportall1Click(f.ws, f.port);
    auto first = testing::ReadFile(f.dir / "out" / "boom.wav");
    auto second = testing::ReadFile(f.dir / "out" / "boom (2).wav");
    EXPECT_NE(first, second);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "out" / ".._escape.wav"));
    EXPECT_NE(CacheWavPath(f.ws, 0), CacheWavPath(f.ws, 1));
}

// On Windows "É" and "é" name one file, and a name in a legacy code page has no UTF-16 form:
// neither may cost a sound its file.
// A names file that is not UTF-8 is read as Windows-1252, so its names are UTF-8 here too.
TEST(Exportall1Click, AccentedNamesThatDifferInCaseKeepTheirOwnFiles) {
    Fixture f;
    testing::WriteText(f.dir / "Hashes.ini",
                       "[Hashes]\n1=\xC3\xA9"
                       "cho\n2=\xC3\x89"
                       "CHO\n3=caf?\n");
    f.open("b.bin", bankOf(3));
    EXPECT_EQ(ExportAllFileNames(f.ws), (std::vector<std::string>{"\xC3\xA9"
                                                                  "cho.wav",
                                                                  "\xC3\x89"
                                                                  "CHO (2).wav",
                                                                  "caf_.wav"}));
    f.port.answers = {str(f.folder("out"))};
    Exportall1Click(f.ws, f.port);
    EXPECT_TRUE(f.port.errors().empty());
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(f.dir / "out")) files += (void(e), 1);
    EXPECT_EQ(files, 3u);
    EXPECT_NE(testing::ReadFile(f.dir / "out" /
                                platform::PathFromUtf8("\xC3\xA9"
                                                       "cho.wav")),
              testing::ReadFile(f.dir / "out" /
                                platform::PathFromUtf8("\xC3\x89"
                                                       "CHO (2).wav")));
    EXPECT_TRUE(std::filesystem::exists(f.dir / "out" / "caf_.wav"));
}

TEST(ExportCommands, AMultichannelFileIsExportedWholeByBothCommands) {
    Fixture f;
    auto tone = testing::Tone(9000, 300, 32000);
    f.open("music.bin", testing::BuildMulti(true, {tone, tone}, 32000).image);
    f.port.answers = {str(f.folder("a"))};
    Export1Click(f.ws, f.port, std::nullopt);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "a" / "music.bin.wav"));
    f.port.answers = {str(f.folder("b"))};
    Exportall1Click(f.ws, f.port);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "b" / "music.bin.wav"));
    f.port.answers = {str(f.dir / "c.wav")};
    Export2Click(f.ws, f.port, 0);  // File > Export does nothing for a multichannel file
    EXPECT_FALSE(std::filesystem::exists(f.dir / "c.wav"));
    EXPECT_EQ(f.port.lockDepth, 0);
}

TEST(ExportCommands, AMultichannelFileWhoseBlocksAreMissingWritesNothing) {
    Fixture f;
    auto tone = testing::Tone(600000, 300, 44100);
    auto image = testing::BuildMulti(true, {tone, tone}, 44100).image;
    image.resize(image.size() / 2);  // the second block is gone
    f.open("cut.bin", image);
    f.port.answers = {str(f.folder("out"))};
    Exportall1Click(f.ws, f.port);
    ASSERT_EQ(f.port.errors().size(), 1u);
    EXPECT_THAT(f.port.errors()[0], HasSubstr("past the end of the file"));
    EXPECT_TRUE(std::filesystem::is_empty(f.dir / "out"));
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.status, "");
}

TEST(ExportCommands, AFailedWriteIsReportedWithItsReason) {
    Fixture f;
    f.open("b.bin", bankOf(1));
    f.port.answers = {str(f.dir / "no" / "such" / "folder" / "x.wav")};
    Export2Click(f.ws, f.port, 0);
    ASSERT_EQ(f.port.errors().size(), 1u);
    EXPECT_THAT(f.port.errors()[0], HasSubstr("cannot write x.wav"));
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.status, "");
}

}  // namespace
}  // namespace brenzo::exporting
