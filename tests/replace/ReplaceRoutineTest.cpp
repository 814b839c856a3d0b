// The replace routines end to end: real inputs converted by the real engine, the container
// rebuilt and saved, the workspace checked against the file on disk.
#include <gtest/gtest.h>
#include <sndfile.h>

#include "codec/IMAADPCM.h"
#include "engine/Engine.h"
#include "engine/SoundFiles.h"
#include "export/Export.h"
#include "export/ExportCommands.h"
#include "formats/BankFile.h"
#include "formats/MultiFile.h"
#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "replace/MultiReplace.h"
#include "replace/ReplaceCommand.h"
#include "support/Builders.h"
#include "support/RecordingPort.h"
#include "support/TempDir.h"

namespace brenzo::replace {
namespace {

namespace fs = std::filesystem;
using formats::BankKind;
using testing::RecordingPort;
using testing::TempDir;
using testing::Tone;

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

struct Fixture {
    TempDir dir;
    workspace::ScratchFolders scratch = *workspace::ScratchFolders::Create(dir.path());
    workspace::Workspace ws{workspace::HashNames(dir / "Hashes.ini"), &scratch};
    RecordingPort port;
    std::unique_ptr<engine::Converter> converter = engine::MakeConverter();
    int previewStops = 0;

    Fixture() { ws.StopPreview = [this] { ++previewStops; }; }

    fs::path open(const std::string& name, const std::vector<std::uint8_t>& image) {
        testing::WriteFile(dir / name, image);
        EXPECT_EQ(ws.Open(dir / name, port), workspace::OpenOutcome::Loaded);
        port.clear();
        previewStops = 0;
        return dir / name;
    }
    fs::path input(const std::string& name, int format, int rate, int channels, const std::vector<std::int16_t>& pcm) {
        testing::WriteSound(dir / name, format, rate, channels, std::span<const std::int16_t>(pcm));
        return dir / name;
    }
    // The workspace describes the file on disk exactly.
    void expectWorkspaceMatchesDisk(const fs::path& file) {
        auto disk = testing::ReadFile(file);
        EXPECT_EQ(disk, ws.SourceImage);
        if (ws.CurrentBank) {
            auto read = formats::ReadBank(disk, static_cast<BankKind>(ws.FileKind));
            auto model = *ws.CurrentBank;
            for (auto& info : model.BanksInfo)
                if (ws.FileKind == 1 && info.Compression == 1) info.Samples = 0;
            EXPECT_EQ(read.bank, model);
        }
        if (ws.CurrentMulti) {
            auto read = formats::ReadMulti(disk);
            ASSERT_TRUE(read);
            auto model = *ws.CurrentMulti;
            // A PCM description has no Samples field; the model keeps the count.
            if (!model.IsAdpcm())
                for (auto& ch : model.ChHeaders) ch.Samples = 0;
            EXPECT_EQ(*read, model);
        }
    }
};

std::vector<testing::TestSound> sounds(std::size_t n, std::uint32_t compression = 1024) {
    std::vector<testing::TestSound> list;
    for (std::size_t i = 0; i < n; ++i) {
        testing::TestSound s;
        s.hash = static_cast<std::uint32_t>(i + 10);
        s.compression = compression;
        s.pcm = Tone(3000 + 1000 * i, 300, 22050);
        s.animation.assign(20 + i, static_cast<std::uint8_t>(i));
        list.push_back(s);
    }
    return list;
}

TEST(ReplaceBank, AnMp3ReplacesASoundOfABankWithAnimations) {
    Fixture f;
    auto before = testing::BuildBank(BankKind::WithAnimations, sounds(3));
    auto file = f.open("sfx.bin", before.image);
    // A cache the sound had before: it must not survive the replace.
    ASSERT_TRUE(exporting::EnsureCacheWav(f.ws, 1, f.port));
    auto mp3 = f.input("new.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050, 1, Tone(44100, 500, 22050));

    Status s = ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, mp3, 1);
    ASSERT_TRUE(s) << s.message();
    const auto& info = f.ws.CurrentBank->BanksInfo[1];
    EXPECT_EQ(info.Frequency, 22050);
    EXPECT_NEAR(static_cast<double>(info.Size2), 44100.0, 2000.0);
    EXPECT_EQ(f.ws.Row(1).duration, "00:00:02");
    EXPECT_EQ(f.ws.Row(1).rate, "22050 Hz");
    EXPECT_FALSE(fs::exists(exporting::CacheWavPath(f.ws, 1)));
    EXPECT_EQ(f.previewStops, 1);
    f.expectWorkspaceMatchesDisk(file);
    // The other sounds kept their bytes.
    for (std::uint32_t i : {0u, 2u}) {
        const auto& now = f.ws.CurrentBank->BanksInfo[i];
        auto bytes = std::span(f.ws.SourceImage).subspan(f.ws.CurrentBank->HeaderFullSize + now.Offset, now.Size);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), before.stored[i].begin(), before.stored[i].end()));
    }
    EXPECT_EQ(f.port.texts("status").front(), "Converting to WAV...");
}

TEST(ReplaceBank, AContainerNamedLikeTheConvertedInputIsReplaced) {
    Fixture f;
    auto file = f.open("conv_res.wav", testing::BuildBank(BankKind::Plain, sounds(2)).image);
    auto wav = f.input("new.wav", kWav16, 22050, 1, Tone(500, 300, 22050));
    Status s = ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, wav, 0);
    ASSERT_TRUE(s) << s.message();
    f.expectWorkspaceMatchesDisk(file);
}

TEST(ReplaceBank, ACacheThatCannotBeRemovedIsNeverPlayedAgain) {
    Fixture f;
    f.open("sfx.bin", testing::BuildBank(BankKind::Plain, sounds(2)).image);
    // The cached WAV cannot be removed (a folder with a file in it stands in for a file that
    // another program holds open).
    const auto cache = exporting::CacheWavPath(f.ws, 1);
    fs::create_directories(cache);
    testing::WriteText(cache / "held", "old");
    auto wav = f.input("new.wav", kWav16, 22050, 1, Tone(500, 300, 22050));
    ASSERT_TRUE(ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, wav, 1));
    EXPECT_FALSE(exporting::EnsureCacheWav(f.ws, 1, f.port));
    fs::remove_all(cache);
    auto fresh = exporting::EnsureCacheWav(f.ws, 1, f.port);
    ASSERT_TRUE(fresh) << fresh.message();
    EXPECT_TRUE(f.ws.StaleCache.empty());
}

TEST(ReplaceBank, WavInputsOfEveryDepthAndRateAreConvertedAndClamped) {
    struct Case {
        int format;
        int rate;
        std::string shown;
    };
    for (const Case& c : {Case{SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, "22050 Hz"}, Case{kWav16, 44100, "44100 Hz"},
                          Case{SF_FORMAT_WAV | SF_FORMAT_PCM_24, 65535, "65535 Hz"},
                          Case{SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, "48000 Hz"},
                          Case{SF_FORMAT_OGG | SF_FORMAT_VORBIS, 32000, "32000 Hz"}}) {
        Fixture f;
        auto file = f.open("b.bin", testing::BuildBank(BankKind::Plain, sounds(2)).image);
        auto in = f.input("in.x", c.format, c.rate, 1, Tone(static_cast<std::size_t>(c.rate * 3 / 2), 440, c.rate, 9000));
        Status s = ReplaceBANK_PCM(f.ws, f.port, *f.converter, in, 0, 1024);
        ASSERT_TRUE(s) << c.shown << ": " << s.message();
        EXPECT_EQ(f.ws.Row(0).rate, c.shown);
        EXPECT_EQ(f.ws.Row(0).duration, "00:00:01") << c.shown;
        EXPECT_EQ(testing::U32At(f.ws.SourceImage, 20), 0u);  // still a plain bank
        f.expectWorkspaceMatchesDisk(file);
    }
}

TEST(ReplaceBank, APcmBankStoresTheConvertedSamplesExactly) {
    Fixture f;
    auto file = f.open("v.bin", testing::BuildBank(BankKind::Plain, sounds(3, 1)).image);
    auto pcm = Tone(50000, 700, 22050, 15000);
    auto in = f.input("in.wav", kWav16, 22050, 1, pcm);
    ASSERT_TRUE(ReplaceBANK_PCM(f.ws, f.port, *f.converter, in, 2, 1));
    const auto& info = f.ws.CurrentBank->BanksInfo[2];
    EXPECT_EQ(info.Size, 100000u);
    EXPECT_EQ(info.Size2, 50000u);
    auto stored = testing::ToSamples(std::span(f.ws.SourceImage).subspan(f.ws.CurrentBank->HeaderFullSize + info.Offset, info.Size));
    EXPECT_EQ(stored, pcm);
    f.expectWorkspaceMatchesDisk(file);
}

TEST(ReplaceBank, RefusalsChangeNothing) {
    Fixture f;
    auto original = testing::BuildBank(BankKind::WithAnimations, sounds(2)).image;
    auto file = f.open("b.bin", original);
    ASSERT_TRUE(exporting::EnsureCacheWav(f.ws, 0, f.port));
    const auto cacheBefore = testing::ReadFile(exporting::CacheWavPath(f.ws, 0));
    const auto modelBefore = *f.ws.CurrentBank;
    const auto rowsBefore = f.ws.EntryCount();

    auto stereo = f.input("stereo.wav", kWav16, 44100, 2, testing::Sweeps16(20000, 2, 44100, 10000));
    Status s = ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, stereo, 0);
    EXPECT_EQ(s.message(), "WAV-file should have 1 channel");

    testing::WriteText(f.dir / "junk.mp3", "this is not a sound at all, whatever its name says");
    Status junk = ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, f.dir / "junk.mp3", 0);
    ASSERT_FALSE(junk);
    EXPECT_EQ(junk.message().rfind("cannot decode junk.mp3", 0), 0u) << junk.message();
    // The stereo file's conversion is not taken for the failed one.
    EXPECT_FALSE(fs::exists(f.scratch.ConvertedWav()));

    EXPECT_EQ(testing::ReadFile(file), original);
    EXPECT_EQ(*f.ws.CurrentBank, modelBefore);
    EXPECT_EQ(f.ws.EntryCount(), rowsBefore);
    EXPECT_EQ(testing::ReadFile(exporting::CacheWavPath(f.ws, 0)), cacheBefore);
    EXPECT_EQ(f.previewStops, 0);
}

TEST(ReplaceBank, BanksTheRebuildCannotWriteFaithfullyAreRefusedFirst) {
    Fixture f;
    auto mono = f.input("m.wav", kWav16, 22050, 1, Tone(1000, 440, 22050));

    auto unknown = testing::BuildBank(BankKind::Plain, sounds(2, 7)).image;
    auto file = f.open("u.bin", unknown);
    Status s = ReplaceEntry(f.ws, f.port, *f.converter, mono, 0);
    ASSERT_FALSE(s);
    EXPECT_NE(s.message().find("neither PCM (1) nor IMA ADPCM (1024)"), std::string::npos);
    EXPECT_EQ(testing::ReadFile(file), unknown);

    auto damaged = testing::BuildBank(BankKind::Plain, sounds(2)).image;
    damaged.resize(damaged.size() - 100);
    file = f.open("d.bin", damaged);
    s = ReplaceEntry(f.ws, f.port, *f.converter, mono, 0);
    ASSERT_FALSE(s);
    EXPECT_NE(s.message().find("cannot be replaced"), std::string::npos);
    EXPECT_EQ(testing::ReadFile(file), damaged);
}

#ifndef _WIN32
TEST(ReplaceBank, AFailedSaveLeavesFileAndWorkspaceAsTheyWere) {
    Fixture f;
    auto original = testing::BuildBank(BankKind::Plain, sounds(2)).image;
    auto file = f.open("ro.bin", original);
    fs::permissions(file, fs::perms::owner_read);
    const auto modelBefore = *f.ws.CurrentBank;
    auto mono = f.input("m.wav", kWav16, 22050, 1, Tone(5000, 440, 22050));
    Status s = ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, mono, 0);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.isFileSystemError());
    EXPECT_EQ(s.message(), "cannot write ro.bin: the file is read-only");
    EXPECT_EQ(testing::ReadFile(file), original);
    EXPECT_EQ(f.ws.SourceImage, original);
    EXPECT_EQ(*f.ws.CurrentBank, modelBefore);
    EXPECT_EQ(testing::FileNames(f.dir.path()).size(), 3u);  // ro.bin, m.wav and the scratch folder
    // Found out before the conversion ran.
    EXPECT_EQ(f.port.count("status"), 0u);
}

TEST(ReplaceBank, ThroughALinkTheLinkedFileIsReplaced) {
    Fixture f;
    auto original = testing::BuildBank(BankKind::Plain, sounds(2)).image;
    fs::create_directory(f.dir / "real");
    testing::WriteFile(f.dir / "real" / "b.bin", original);
    fs::create_symlink(f.dir / "real" / "b.bin", f.dir / "link.bin");
    ASSERT_EQ(f.ws.Open(f.dir / "link.bin", f.port), workspace::OpenOutcome::Loaded);
    auto mono = f.input("m.wav", kWav16, 22050, 1, Tone(5000, 440, 22050));
    ASSERT_TRUE(ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, mono, 0));
    EXPECT_TRUE(fs::is_symlink(f.dir / "link.bin"));
    EXPECT_EQ(testing::ReadFile(f.dir / "real" / "b.bin"), f.ws.SourceImage);
}
#endif

TEST(Replace1Click, BanksShowReplacingAndAlwaysUnlock) {
    Fixture f;
    f.open("b.bin", testing::BuildBank(BankKind::Plain, sounds(2)).image);
    auto mono = f.input("m.wav", kWav16, 22050, 1, Tone(5000, 440, 22050));

    f.port.answers = {std::nullopt};
    Replace1Click(f.ws, f.port, *f.converter, 0);
    EXPECT_EQ(f.port.dialogs.back(),
              "open Audio files (*.wav, *.mp3, *.ogg)|*.wav;*.mp3;*.ogg|WAV files (*.wav)|*.wav|MP3 files "
              "(*.mp3)|*.mp3|OGG Vorbis files (*.ogg)|*.ogg");
    EXPECT_EQ(f.port.count("lock"), 0u);
    EXPECT_EQ(f.previewStops, 0);

    f.port.answers = {platform::PathToUtf8(mono)};
    Replace1Click(f.ws, f.port, *f.converter, 1);
    EXPECT_EQ(f.port.texts("status").front(), "Replacing...");
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.status, "");
    EXPECT_TRUE(f.port.errors().empty());
    EXPECT_GE(f.previewStops, 1);

    auto stereo = f.input("s.wav", kWav16, 22050, 2, testing::Sweeps16(5000, 2, 22050, 9000));
    f.port.answers = {platform::PathToUtf8(stereo)};
    Replace1Click(f.ws, f.port, *f.converter, 0);
    EXPECT_EQ(f.port.errors(), std::vector<std::string>{"WAV-file should have 1 channel"});
    EXPECT_EQ(f.port.lockDepth, 0);

    // Without a selected row, or with nothing loaded, the command does nothing.
    f.port.clear();
    Replace1Click(f.ws, f.port, *f.converter, std::nullopt);
    f.ws.FileKind = workspace::kKindNone;
    Replace1Click(f.ws, f.port, *f.converter, 0);
    EXPECT_TRUE(f.port.calls.empty());
}

std::vector<std::int16_t> interleave(const std::vector<std::vector<std::int16_t>>& channels) {
    std::vector<std::int16_t> out;
    for (std::size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& c : channels) out.push_back(c[i]);
    return out;
}

TEST(ReplaceMulti, StereoAudioRebuildsAStereoFileAndItsCache) {
    Fixture f;
    auto old = testing::BuildMulti(true, {Tone(9000, 100, 22050), Tone(9000, 150, 22050)}, 22050);
    auto file = f.open("music.bin", old.image);
    auto frames = interleave({Tone(600000, 440, 44100, 12000), Tone(600000, 660, 44100, 12000)});
    auto in = f.input("in.wav", kWav16, 44100, 2, frames);

    Status s = ReplaceMULTI_ADPCM(f.ws, f.port, *f.converter, in);
    ASSERT_TRUE(s) << s.message();
    const auto& m = *f.ws.CurrentMulti;
    EXPECT_EQ(m.ChHeaders[0].StatesCount, 147u);
    EXPECT_EQ(m.HeadSize, 1074u);
    EXPECT_EQ(m.BlocksCount, 2u);
    EXPECT_EQ(f.ws.Row(0).duration, "00:00:13");
    EXPECT_EQ(f.ws.Row(1).rate, "44100 Hz");
    f.expectWorkspaceMatchesDisk(file);
    // The cache is the converted audio; the container exports to the encoder's reconstruction.
    EXPECT_EQ(testing::ReadFile(exporting::CacheWavPath(f.ws, 0)), testing::ReadFile(f.scratch.ConvertedWav()));
    exporting::MemorySink sink;
    ASSERT_TRUE(exporting::ExportMultichannel(f.ws.SourceImage, m, sink));
    auto out = testing::ToSamples(std::span(sink.bytes()).subspan(44));
    codec::TADPCMState left;
    for (std::size_t i = 0; i < 600000; ++i) {
        codec::ADPCMEncodeSample(frames[2 * i], left);
        if (i >= 4096) {
            ASSERT_EQ(out[2 * i], left.valprev) << i;
        }
    }
    EXPECT_TRUE(f.port.texts("status").size() >= 2);
}

TEST(ReplaceMulti, APcmPairTakesTheConvertedFramesExactly) {
    Fixture f;
    auto old = testing::BuildMulti(false, {Tone(900, 100, 22050), Tone(900, 150, 22050)}, 22050);
    auto file = f.open("pcm.bin", old.image);
    auto frames = interleave({Tone(0x1EC00 + 3333, 440, 22050), Tone(0x1EC00 + 3333, 660, 22050)});
    auto in = f.input("in.wav", kWav16, 22050, 2, frames);
    ASSERT_TRUE(ReplaceMULTI_ADPCM(f.ws, f.port, *f.converter, in));
    EXPECT_EQ(f.ws.CurrentMulti->HeadSize, 144u);
    f.expectWorkspaceMatchesDisk(file);
    exporting::MemorySink sink;
    ASSERT_TRUE(exporting::ExportMultichannel(f.ws.SourceImage, *f.ws.CurrentMulti, sink));
    EXPECT_EQ(testing::ToSamples(std::span(sink.bytes()).subspan(44)), frames);
}

TEST(ReplaceMulti, FiveChannels) {
    Fixture f;
    std::vector<std::vector<std::int16_t>> small;
    for (int c = 0; c < 5; ++c) small.push_back(Tone(5000, 100.0 + c, 32000));
    auto file = f.open("five.bin", testing::BuildMulti(true, small, 32000).image);
    std::vector<std::vector<std::int16_t>> big;
    for (int c = 0; c < 5; ++c) big.push_back(Tone(250000, 200.0 + 50 * c, 32000, 8000));
    auto in = f.input("in.wav", kWav16, 32000, 5, interleave(big));
    ASSERT_TRUE(ReplaceMULTI_ADPCM(f.ws, f.port, *f.converter, in));
    EXPECT_EQ(f.ws.CurrentMulti->BlocksCount, 2u);
    f.expectWorkspaceMatchesDisk(file);
}

TEST(ReplaceMulti, AWrongChannelCountChangesNothing) {
    Fixture f;
    auto original = testing::BuildMulti(true, {Tone(9000, 100, 22050), Tone(9000, 150, 22050)}, 22050).image;
    auto file = f.open("music.bin", original);
    ASSERT_TRUE(exporting::EnsureCacheWav(f.ws, 0, f.port));
    const auto cache = testing::ReadFile(exporting::CacheWavPath(f.ws, 0));
    auto mono = f.input("m.wav", kWav16, 22050, 1, Tone(5000, 440, 22050));
    f.port.answers = {platform::PathToUtf8(mono)};
    Replace1Click(f.ws, f.port, *f.converter, 0);
    EXPECT_EQ(f.port.errors(), std::vector<std::string>{"WAV-file should have 2 channels"});
    EXPECT_EQ(testing::ReadFile(file), original);
    EXPECT_EQ(testing::ReadFile(exporting::CacheWavPath(f.ws, 0)), cache);
    EXPECT_EQ(f.port.lockDepth, 0);
    EXPECT_EQ(f.port.status, "");
}

TEST(ReplaceMulti, UnsupportedFilesAreRefusedBeforeConverting) {
    Fixture f;
    auto tone = Tone(9000, 100, 22050);
    auto built = testing::BuildMulti(true, {tone, tone}, 22050);
    testing::PutU32(built.image, 12, 100 * 2048);  // BlockSize too small for a full block
    auto file = f.open("small.bin", built.image);
    auto stereo = f.input("s.wav", kWav16, 22050, 2, testing::Sweeps16(5000, 2, 22050, 9000));
    Status s = ReplaceMULTI_ADPCM(f.ws, f.port, *f.converter, stereo);
    ASSERT_FALSE(s);
    EXPECT_NE(s.message().find("cannot hold a full block"), std::string::npos);
    EXPECT_EQ(f.port.count("status"), 0u);  // no conversion ran
    EXPECT_EQ(testing::ReadFile(file), built.image);
}

}  // namespace
}  // namespace brenzo::replace
