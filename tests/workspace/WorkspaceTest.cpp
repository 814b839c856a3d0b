#include "workspace/Workspace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/ByteWriter.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/WorkspaceFixture.h"
#include "workspace/Loaders.h"

namespace brenzo::workspace {
namespace {

using ::testing::HasSubstr;
using testing::TempDir;

std::vector<std::uint8_t> bytes(std::initializer_list<std::uint32_t> words) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    for (auto v : words) w.u32(v);
    return out;
}

TEST(DetectKind, TwoNumbersDecide) {
    EXPECT_EQ(DetectKind(bytes({28, 0, 0, 0, 0, 3})), kKindBankWithAnimations);
    EXPECT_EQ(DetectKind(bytes({28, 0, 0, 0, 0, 48})), kKindBankWithAnimations);
    EXPECT_EQ(DetectKind(bytes({28, 0, 0, 0, 0, 0})), kKindPlainBank);
    EXPECT_EQ(DetectKind(bytes({12, 0, 0, 0, 0, 48})), kKindMultichannel);
    EXPECT_EQ(DetectKind(bytes({12, 0, 0, 0, 0, 47})), kKindNone);
    EXPECT_EQ(DetectKind(bytes({28})), kKindPlainBank);  // a short file reads zeros past its end
    EXPECT_EQ(DetectKind(bytes({29})), kKindNone);
    EXPECT_EQ(DetectKind({}), kKindNone);
}

using Fixture = testing::WorkspaceFixture;

testing::TestSound sound(std::uint32_t hash, std::size_t samples, std::uint32_t compression = 1024,
                         std::uint16_t rate = 22050) {
    testing::TestSound s;
    s.hash = hash;
    s.rate = rate;
    s.compression = compression;
    s.pcm = testing::Tone(samples, 500, rate);
    s.animation.assign(12, 1);
    return s;
}

TEST(OpenBank, ListsTheSoundsWithCaptionMenusAndProgress) {
    Fixture f;
    testing::WriteText(f.dir / "Hashes.ini", "[Hashes]\n2=door\n");
    auto built = testing::BuildBank(formats::BankKind::WithAnimations,
                                    {sound(1, 44100), sound(2, 100), sound(3, 22050), sound(4, 5)});
    EXPECT_EQ(f.ws.Open(f.write("sfx.bin", built.image), f.port), OpenOutcome::Loaded);

    EXPECT_EQ(f.ws.FileKind(), kKindBankWithAnimations);
    EXPECT_EQ(f.ws.Caption, "Sound Bank ADPCM with animations (4 sounds) - sfx.bin");
    EXPECT_EQ(
        f.port.texts("caption"),
        (std::vector<std::string>{"Loading... - sfx.bin", "Sound Bank ADPCM with animations (4 sounds) - sfx.bin"}));
    EXPECT_EQ(f.port.texts("status"), (std::vector<std::string>{"Loading... - 0%", "Loading... - 25%",
                                                                "Loading... - 50%", "Loading... - 75%", ""}));
    ASSERT_EQ(f.ws.EntryCount(), 4u);
    EXPECT_EQ(f.ws.ListRowCount(), 5u);
    EXPECT_EQ(f.ws.Row(0).name, "0x0001");
    EXPECT_EQ(f.ws.Row(1).name, "door");
    EXPECT_EQ(f.ws.Row(0).duration, "00:00:02");  // 44100 samples encode to 44100: 2 s at 22050
    EXPECT_EQ(f.ws.Row(0).rate, "22050 Hz");
    EXPECT_TRUE(f.ws.Menus.export2Visible);
    EXPECT_EQ(f.ws.Menus.export1Caption, "Export");
    EXPECT_EQ(f.ws.Menus.replace1Caption, "Replace");
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.count("lock"), 1u);
    EXPECT_TRUE(f.port.errors().empty());
    EXPECT_TRUE(std::filesystem::is_directory(f.scratch.FileWorkFolder("sfx.bin")));
}

TEST(OpenBank, PlainBanksAreCaptionedByTheFirstSoundsCompression) {
    Fixture f;
    auto pcm = testing::BuildBank(formats::BankKind::Plain, {sound(1, 10, 1), sound(2, 10, 1), sound(3, 10, 1)});
    f.ws.Open(f.write("v.bin", pcm.image), f.port);
    EXPECT_EQ(f.ws.Caption, "Sound Bank PCM (3 sounds) - v.bin");
    auto adpcm = testing::BuildBank(formats::BankKind::Plain, {sound(1, 10)});
    f.ws.Open(f.write("a.bin", adpcm.image), f.port);
    EXPECT_EQ(f.ws.Caption, "Sound Bank ADPCM (1 sounds) - a.bin");
}

TEST(OpenBank, ADamagedBankIsListedAsFarAsItReadsAndSaysSo) {
    Fixture f;
    auto built = testing::BuildBank(formats::BankKind::Plain, {sound(1, 1000), sound(2, 1000)});
    testing::PutU32(built.image, 16, 1000000);  // claims a million sounds
    EXPECT_EQ(f.ws.Open(f.write("bad.bin", built.image), f.port), OpenOutcome::Loaded);
    EXPECT_FALSE(f.ws.Damage.empty());
    ASSERT_EQ(f.port.errors().size(), 1u);
    EXPECT_THAT(f.port.errors()[0], HasSubstr("bad.bin is damaged"));
    EXPECT_EQ(f.port.lockDepth, 0);
}

TEST(OpenBank, EmptyBanksZeroRatesAndZeroStatesOpen) {
    Fixture f;
    auto empty = testing::BuildBank(formats::BankKind::Plain, {});
    EXPECT_EQ(f.ws.Open(f.write("e.bin", empty.image), f.port), OpenOutcome::Loaded);
    EXPECT_EQ(f.ws.Caption, "Sound Bank PCM (0 sounds) - e.bin");
    EXPECT_EQ(f.ws.ListRowCount(), 2u);

    auto zero = testing::BuildBank(formats::BankKind::WithAnimations, {sound(1, 0, 1024, 0)});
    EXPECT_EQ(f.ws.Open(f.write("z.bin", zero.image), f.port), OpenOutcome::Loaded);
    EXPECT_EQ(f.ws.Row(0).duration, "00:00:00");
    EXPECT_EQ(f.ws.Row(0).rate, "0 Hz");
}

TEST(OpenInvalid, ShortOrUnknownFilesAreRefusedAndTheListEmptied) {
    Fixture f;
    auto built = testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)});
    f.ws.Open(f.write("good.bin", built.image), f.port);
    f.ws.Menus.replace1Enabled = false;
    f.port.clear();
    EXPECT_EQ(f.ws.Open(f.write("x.bin", bytes({12, 1, 2})), f.port), OpenOutcome::Invalid);
    EXPECT_EQ(f.ws.FileKind(), kKindNone);
    EXPECT_EQ(f.ws.Caption, "Invalid file! - x.bin");
    EXPECT_EQ(f.port.errors(), std::vector<std::string>{"Invalid file!"});
    EXPECT_EQ(f.ws.EntryCount(), 0u);
    EXPECT_EQ(f.ws.ListRowCount(), 2u);
    EXPECT_FALSE(f.ws.CurrentBank());
    EXPECT_EQ(f.ws.SourceImage.size(), 12u);   // kept until the next open
    EXPECT_FALSE(f.ws.Menus.replace1Enabled);  // a refused file changes no menu
}

TEST(OpenUnreadable, NothingIsLoadedAndTheReasonIsShown) {
    Fixture f;
    auto built = testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)});
    f.ws.Open(f.write("good.bin", built.image), f.port);
    EXPECT_EQ(f.ws.Open(f.dir / "missing.bin", f.port), OpenOutcome::Unreadable);
    EXPECT_EQ(f.ws.FileKind(), kKindNone);
    EXPECT_FALSE(f.ws.CurrentBank());
    EXPECT_TRUE(f.ws.SourceImage.empty());
    ASSERT_EQ(f.port.errors().size(), 1u);
    EXPECT_THAT(f.port.errors()[0], HasSubstr("cannot read missing.bin"));
}

// The read of a large file comes before anything can be counted: the bar runs as a marquee
// through it, and stops before whatever the open shows next.
TEST(Open, TheBarRunsAsAMarqueeOnlyWhileTheFileIsRead) {
    Fixture f;
    const auto bank = f.write("sfx.bin", testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)}).image);
    const auto invalid = f.write("x.bin", bytes({12, 1, 2}));
    struct Case {
        std::filesystem::path file;
        std::string shownNext;
    };
    for (const Case& c : {Case{bank, "caption Loading... - sfx.bin"}, Case{invalid, "caption Invalid file! - x.bin"},
                          Case{f.dir / "missing.bin", "caption " + std::string(kNotLoadedCaption)}}) {
        f.port.clear();
        f.ws.Open(c.file, f.port);
        std::vector<std::string> shown;
        for (const auto& call : f.port.calls)
            if (call.what == "marquee")
                shown.push_back(call.a ? "marquee on" : "marquee off");
            else if (call.what != "menus" && call.what != "rows" && call.what != "pump")
                shown.push_back(call.what + (call.text.empty() ? "" : " " + call.text));
        ASSERT_GE(shown.size(), 3u) << c.file;
        EXPECT_EQ(shown[0], "marquee on") << c.file;
        EXPECT_EQ(shown[1], "marquee off") << c.file;
        EXPECT_EQ(shown[2], c.shownNext) << c.file;
        EXPECT_EQ(f.port.count("marquee"), 2u) << c.file;
    }
}

TEST(OpenMultichannel, CaptionMenusAndReplaceAvailability) {
    Fixture f;
    auto tone = testing::Tone(5000, 300, 32000);
    auto one = testing::BuildMulti(true, {tone}, 32000);
    f.ws.Open(f.write("one.bin", one.image), f.port);
    EXPECT_EQ(f.ws.Caption, "Multichannel ADPCM (1 channels) - one.bin");
    EXPECT_FALSE(f.ws.Menus.export2Visible);
    EXPECT_EQ(f.ws.Menus.export1Caption, "Export all");
    EXPECT_EQ(f.ws.Menus.replace1Caption, "Replace all");
    EXPECT_TRUE(f.ws.Menus.replace1Enabled);

    auto three = testing::BuildMulti(true, {tone, tone, tone}, 32000);
    f.port.clear();
    f.ws.Open(f.write("three.bin", three.image), f.port);
    EXPECT_EQ(f.port.texts("status"),
              (std::vector<std::string>{"Loading... - 0%", "Loading... - 33%", "Loading... - 66%", ""}));
    // Four ADPCM channels (without states here): listed normally, Replace disabled.
    std::vector<std::uint8_t> four;
    ByteWriter w(four);
    for (std::uint32_t v : {48u + 64 + 4 * 56, 0u, 1u, 0x80000u, 0u, 48u, 0u, 48u + 64 + 4 * 56, 0u, 4u, 0u, 2048u})
        w.u32(v);
    for (std::uint32_t i = 0; i < 4; ++i) {
        w.i64(56 * i);
        w.u32(0x77 + i);
        w.u32(56);
    }
    for (std::uint32_t i = 0; i < 4; ++i) {
        for (std::uint32_t v : {0u, 0u, 0x77 + i, 0u, 44100u, 0u}) w.u32(v);
        w.u16(44100);
        w.u16(0);
        w.u16(0x400);
        w.u16(0);
        w.zeros(24);
    }
    four.resize(4096, 0);
    EXPECT_EQ(f.ws.Open(f.write("four.bin", four), f.port), OpenOutcome::Loaded);
    EXPECT_EQ(f.ws.EntryCount(), 4u);
    EXPECT_FALSE(f.ws.Menus.replace1Enabled);

    auto pcm = testing::BuildMulti(false, {tone, tone}, 32000);
    f.ws.Open(f.write("pcm.bin", pcm.image), f.port);
    EXPECT_EQ(f.ws.Caption, "Multichannel PCM (2 channels) - pcm.bin");
    EXPECT_TRUE(f.ws.Menus.replace1Enabled);

    // Then a bank brings "Export" and "Replace" back.
    auto bank = testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)});
    f.ws.Open(f.write("b.bin", bank.image), f.port);
    EXPECT_TRUE(f.ws.Menus.export2Visible);
    EXPECT_EQ(f.ws.Menus.export1Caption, "Export");
    EXPECT_EQ(f.ws.Menus.replace1Caption, "Replace");
}

TEST(OpenMultichannel, UnsupportedChannelCountsDisableReplace) {
    formats::TMultiADPCM m;
    m.ChHeaders.resize(1);
    m.ChHeaders[0].Compression = formats::kMultiCompressionAdpcm;
    for (std::uint32_t n : {1u, 2u, 3u, 5u, 7u}) {
        m.Channels = n;
        EXPECT_TRUE(MultiReplaceSupported(m)) << n;
    }
    for (std::uint32_t n : {4u, 6u, 8u}) {
        m.Channels = n;
        EXPECT_FALSE(MultiReplaceSupported(m)) << n;
    }
    m.ChHeaders[0].Compression = 1;
    m.Channels = 2;
    EXPECT_TRUE(MultiReplaceSupported(m));
    m.Channels = 3;
    EXPECT_FALSE(MultiReplaceSupported(m));
}

TEST(OpenMultichannel, AFileWithoutChannelsIsRefusedClearly) {
    Fixture f;
    std::vector<std::uint8_t> image(4096, 0);
    testing::PutU32(image, 20, 48);
    EXPECT_EQ(f.ws.Open(f.write("m.bin", image), f.port), OpenOutcome::Invalid);
    EXPECT_EQ(f.ws.FileKind(), kKindNone);
    ASSERT_EQ(f.port.errors().size(), 1u);
    EXPECT_EQ(f.port.errors()[0], "Invalid file! m.bin cannot be read: it has no channels.");
    EXPECT_EQ(f.port.lockDepth, 0);
}

TEST(Open, ARefusedFileChangesNoMenuAndEveryOpenEmptiesTheStatus) {
    Fixture f;
    auto bank = f.write("b.bin", testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)}).image);
    std::vector<std::uint8_t> noChannels(4096, 0);
    testing::PutU32(noChannels, 20, 48);
    const std::vector<std::filesystem::path> refused = {f.write("m.bin", noChannels), f.write("x.bin", bytes({12})),
                                                        f.dir / "missing.bin"};
    for (const auto& path : refused) {
        f.ws.Open(bank, f.port);
        const MenuState before = f.ws.Menus;
        f.port.SetStatus("Paused - 00:00:03");
        EXPECT_NE(f.ws.Open(path, f.port), OpenOutcome::Loaded);
        EXPECT_EQ(f.ws.FileKind(), kKindNone);
        EXPECT_EQ(f.ws.Menus.export2Visible, before.export2Visible) << path;
        EXPECT_EQ(f.ws.Menus.export1Caption, before.export1Caption) << path;
        EXPECT_EQ(f.ws.Menus.replace1Caption, before.replace1Caption) << path;
        EXPECT_EQ(f.ws.Menus.replace1Enabled, before.replace1Enabled) << path;
        EXPECT_EQ(f.port.status, "") << path;
    }
}

TEST(Open, StopsThePreviewAndEmptiesTheFileFolderEveryTime) {
    Fixture f;
    int stops = 0;
    f.ws.StopPreview = [&] { ++stops; };
    auto built = testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)});
    auto path = f.write("same.bin", built.image);
    f.ws.Open(path, f.port);
    testing::WriteText(f.scratch.FileWorkFolder("same.bin") / "stale.wav", "old");
    f.ws.Open(path, f.port);
    EXPECT_EQ(stops, 2);
    EXPECT_FALSE(std::filesystem::exists(f.scratch.FileWorkFolder("same.bin") / "stale.wav"));
    EXPECT_TRUE(std::filesystem::is_directory(f.scratch.FileWorkFolder("same.bin")));
}

TEST(Open, ACacheThatCannotBeEmptiedFailsTheOpen) {
    Fixture f;
    auto built = testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)});
    auto path = f.write("same.bin", built.image);
    // The per-file folders' parent is a file: the cache folder can be neither emptied nor made.
    const auto files = f.scratch.FileWorkFolder("same.bin").parent_path();
    std::filesystem::remove_all(files);
    testing::WriteText(files, "in the way");
    EXPECT_EQ(f.ws.Open(path, f.port), OpenOutcome::Unreadable);
    EXPECT_EQ(f.ws.FileKind(), kKindNone);
    EXPECT_EQ(f.ws.EntryCount(), 0u);
    ASSERT_EQ(f.port.errors().size(), 1u);
    EXPECT_EQ(f.port.errors()[0].rfind("cannot open same.bin: its preview cache cannot be emptied (", 0), 0u);
}

TEST(Load1Click, ACancelledDialogChangesNothing) {
    Fixture f;
    auto built = testing::BuildBank(formats::BankKind::Plain, {sound(1, 100)});
    f.ws.Open(f.write("b.bin", built.image), f.port);
    const auto rows = f.ws.EntryCount();
    f.port.clear();
    f.port.answers.push_back(std::nullopt);
    Load1Click(f.ws, f.port);
    EXPECT_EQ(f.port.dialogs.back(), "open All files (*.*)|*.*");
    EXPECT_TRUE(f.port.calls.empty());
    EXPECT_EQ(f.ws.EntryCount(), rows);
    EXPECT_TRUE(f.ws.CurrentBank());
}

TEST(ScratchFolders, EachInstanceGetsItsOwnPrivateFolder) {
    TempDir dir;
    auto a = ScratchFolders::Create(dir.path());
    auto b = ScratchFolders::Create(dir.path());
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_NE(a->WorkFolder(), b->WorkFolder());
    EXPECT_EQ(platform::FileNameUtf8(a->WorkFolder()).rfind("Q7ZK", 0), 0u);
#ifndef _WIN32
    auto perms = std::filesystem::status(a->WorkFolder()).permissions();
    EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);
#endif
    // A hostile file name stays inside WorkFolder, and no container's name meets the converted
    // input's.
    EXPECT_EQ(a->FileWorkFolder("../../x").parent_path().parent_path(), a->WorkFolder());
    EXPECT_NE(a->FileWorkFolder("conv_res.wav"), a->ConvertedWav());
    a->Remove();
    EXPECT_FALSE(std::filesystem::exists(a->WorkFolder()));
    a->Remove();  // already gone: nothing to do
    EXPECT_TRUE(std::filesystem::exists(b->WorkFolder()));
}

TEST(ScratchFolders, AStartRemovesOnlyTheFoldersOfRunsThatAreGone) {
    namespace fs = std::filesystem;
    TempDir dir;
    auto live = ScratchFolders::Create(dir.path());
    ASSERT_TRUE(live);
    auto make = [&](const std::string& name, bool lockFile) {
        fs::create_directory(dir / name);
        testing::WriteText(dir / name / "conv_res.wav", "left behind");
        if (lockFile) testing::WriteText(dir / name / "owner.lock", "");
    };
    make("Q7ZK-deadrun123", true);   // a killed run's: its lock is free
    make("Q7ZK-notours1234", true);  // not the name pattern
    make("Q7ZK-nolockfile", false);  // no lock file: not known to be ours
    make("elsewhere", true);
    testing::WriteText(dir / "Q7ZK-plainfile1", "a file, not a folder");
#ifndef _WIN32
    fs::create_directory_symlink(dir / "elsewhere", dir / "Q7ZK-linkedone");  // never followed
#endif
    auto next = ScratchFolders::Create(dir.path());
    ASSERT_TRUE(next);
    EXPECT_FALSE(fs::exists(dir / "Q7ZK-deadrun123"));
    for (const char* kept : {"Q7ZK-notours1234", "Q7ZK-nolockfile", "Q7ZK-plainfile1", "elsewhere"})
        EXPECT_TRUE(fs::exists(dir / kept)) << kept;
    EXPECT_TRUE(fs::exists(dir / "elsewhere" / "conv_res.wav"));
    EXPECT_TRUE(fs::exists(live->WorkFolder() / "owner.lock"));
    live->Remove();
    next->Remove();

    // A temporary directory that cannot be used is named whole: the folder's own name is random.
    auto unusable = ScratchFolders::Create(dir / "no such folder");
    ASSERT_FALSE(unusable);
    EXPECT_NE(unusable.message().find(platform::PathToUtf8(dir / "no such folder")), std::string::npos)
        << unusable.message();
}

}  // namespace
}  // namespace brenzo::workspace
