// The replace routines end to end: real inputs converted by the real engine, the container
// rebuilt and saved, the workspace checked against the file on disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <sndfile.h>

#include <functional>

#include "codec/IMAADPCM.h"
#include "engine/Engine.h"
#include "engine/Loudness.h"
#include "engine/SoundFiles.h"
#include "export/Export.h"
#include "export/ExportCommands.h"
#include "formats/BankFile.h"
#include "formats/MultiFile.h"
#include "platform/Backup.h"
#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "replace/ImportAll.h"
#include "replace/MultiReplace.h"
#include "replace/ReplaceCommand.h"
#include "support/Builders.h"
#include "support/WorkspaceFixture.h"

namespace brenzo::replace {
namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;
using formats::BankKind;
using testing::Tone;

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

struct Fixture : testing::WorkspaceFixture {
    std::unique_ptr<engine::Converter> converter = engine::MakeConverter();
    int previewStops = 0;

    Fixture() {
        ws.StopPreview = [this] { ++previewStops; };
    }

    fs::path open(const std::string& name, std::span<const std::uint8_t> image) {
        auto path = WorkspaceFixture::open(name, image);
        previewStops = 0;
        return path;
    }
    fs::path input(const std::string& name, int format, int rate, int channels, const std::vector<std::int16_t>& pcm) {
        testing::WriteSound(dir / name, format, rate, channels, std::span<const std::int16_t>(pcm));
        return dir / name;
    }
    // The workspace describes the file on disk exactly.
    void expectWorkspaceMatchesDisk(const fs::path& file) {
        auto disk = testing::ReadFile(file);
        EXPECT_EQ(disk, ws.SourceImage);
        if (ws.CurrentBank()) {
            auto read = formats::ReadBank(disk, static_cast<BankKind>(ws.FileKind()));
            auto model = *ws.CurrentBank();
            for (auto& info : model.BanksInfo)
                if (ws.FileKind() == 1 && info.Compression == 1) info.Samples = 0;
            EXPECT_EQ(read.bank, model);
        }
        if (ws.CurrentMulti()) {
            auto read = formats::ReadMulti(disk);
            ASSERT_TRUE(read);
            auto model = *ws.CurrentMulti();
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
    const auto& info = f.ws.CurrentBank()->BanksInfo[1];
    EXPECT_EQ(info.Frequency, 22050);
    EXPECT_NEAR(static_cast<double>(info.Size2), 44100.0, 2000.0);
    EXPECT_EQ(f.ws.Row(1).duration, "00:00:02");
    EXPECT_EQ(f.ws.Row(1).rate, "22050 Hz");
    EXPECT_FALSE(fs::exists(exporting::CacheWavPath(f.ws, 1)));
    EXPECT_EQ(f.previewStops, 1);
    f.expectWorkspaceMatchesDisk(file);
    // The other sounds kept their bytes.
    for (std::uint32_t i : {0u, 2u}) {
        const auto& now = f.ws.CurrentBank()->BanksInfo[i];
        auto bytes = std::span(f.ws.SourceImage).subspan(f.ws.CurrentBank()->HeaderFullSize + now.Offset, now.Size);
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
        auto in =
            f.input("in.x", c.format, c.rate, 1, Tone(static_cast<std::size_t>(c.rate * 3 / 2), 440, c.rate, 9000));
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
    const auto& info = f.ws.CurrentBank()->BanksInfo[2];
    EXPECT_EQ(info.Size, 100000u);
    EXPECT_EQ(info.Size2, 50000u);
    auto stored = testing::ToSamples(
        std::span(f.ws.SourceImage).subspan(f.ws.CurrentBank()->HeaderFullSize + info.Offset, info.Size));
    EXPECT_EQ(stored, pcm);
    f.expectWorkspaceMatchesDisk(file);
}

TEST(ReplaceBank, RefusalsChangeNothing) {
    Fixture f;
    auto original = testing::BuildBank(BankKind::WithAnimations, sounds(2)).image;
    auto file = f.open("b.bin", original);
    ASSERT_TRUE(exporting::EnsureCacheWav(f.ws, 0, f.port));
    const auto cacheBefore = testing::ReadFile(exporting::CacheWavPath(f.ws, 0));
    const auto modelBefore = *f.ws.CurrentBank();
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
    EXPECT_EQ(*f.ws.CurrentBank(), modelBefore);
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
    EXPECT_THAT(s.message(), HasSubstr("neither PCM (1) nor IMA ADPCM (1024)"));
    EXPECT_EQ(testing::ReadFile(file), unknown);

    auto damaged = testing::BuildBank(BankKind::Plain, sounds(2)).image;
    damaged.resize(damaged.size() - 100);
    file = f.open("d.bin", damaged);
    s = ReplaceEntry(f.ws, f.port, *f.converter, mono, 0);
    ASSERT_FALSE(s);
    EXPECT_THAT(s.message(), HasSubstr("cannot be replaced"));
    EXPECT_EQ(testing::ReadFile(file), damaged);
}

#ifndef _WIN32
TEST(ReplaceBank, AFailedSaveLeavesFileAndWorkspaceAsTheyWere) {
    Fixture f;
    auto original = testing::BuildBank(BankKind::Plain, sounds(2)).image;
    auto file = f.open("ro.bin", original);
    fs::permissions(file, fs::perms::owner_read);
    const auto modelBefore = *f.ws.CurrentBank();
    auto mono = f.input("m.wav", kWav16, 22050, 1, Tone(5000, 440, 22050));
    Status s = ReplaceBANK_ADPCM(f.ws, f.port, *f.converter, mono, 0);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.isFileSystemError());
    EXPECT_EQ(s.message(), "cannot write ro.bin: the file is read-only");
    EXPECT_EQ(testing::ReadFile(file), original);
    EXPECT_EQ(f.ws.SourceImage, original);
    EXPECT_EQ(*f.ws.CurrentBank(), modelBefore);
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
    EXPECT_EQ(f.port.dialogs.back(), "open " + std::string(kReplaceFilter));
    EXPECT_EQ(f.port.count("lock"), 0u);
    EXPECT_EQ(f.previewStops, 0);

    f.port.answers = {platform::PathToUtf8(mono)};
    f.port.clear();
    Replace1Click(f.ws, f.port, *f.converter, 1);
    EXPECT_EQ(f.port.texts("status").front(), "Replacing...");
    // The marquee runs through the rebuild and save, past the conversion's own, and stops at the end.
    auto isMarquee = [](const testing::RecordingPort::Call& c) { return c.what == "marquee"; };
    const auto row = std::find_if(f.port.calls.begin(), f.port.calls.end(),
                                  [](const testing::RecordingPort::Call& c) { return c.what == "row"; });
    ASSERT_NE(row, f.port.calls.end());
    const auto beforeRow = std::find_if(std::make_reverse_iterator(row), f.port.calls.rend(), isMarquee);
    ASSERT_NE(beforeRow, f.port.calls.rend());
    EXPECT_EQ(beforeRow->a, 1);
    EXPECT_EQ(std::find_if(f.port.calls.rbegin(), f.port.calls.rend(), isMarquee)->a, 0);
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
    f.ws.SetModel(std::monostate{});
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
    const auto& m = *f.ws.CurrentMulti();
    EXPECT_EQ(m.ChHeaders[0].StatesCount, 147u);
    EXPECT_EQ(m.HeadSize, 1074u);
    EXPECT_EQ(m.BlocksCount, 2u);
    EXPECT_EQ(f.ws.Row(0).duration, "00:00:13");
    EXPECT_EQ(f.ws.Row(1).rate, "44100 Hz");
    f.expectWorkspaceMatchesDisk(file);
    // Encoded while converting, the file is what the rebuild makes of the converted file.
    auto converted = LoadConvertedWav(f.scratch.ConvertedWav());
    ASSERT_TRUE(converted);
    auto expected = RebuildMulti(old.model, converted->samples(), converted->info.DataSize, 44100);
    ASSERT_TRUE(expected);
    EXPECT_EQ(testing::ReadFile(file), expected->Image());
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

TEST(ReplaceMulti, AMonoSourceGoesToEveryChannelAsTheFittingWouldPutIt) {
    const struct {
        MixChoice mix;
        std::deque<bool> answers;
        const char* error;  // nullptr when it is done
    } rows[] = {
        {MixChoice::Mix, {}, nullptr},
        {MixChoice::Ask, {true}, nullptr},
        {MixChoice::Ask, {false}, ""},
        {MixChoice::Refuse, {}, "WAV-file should have 2 channels"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.mix));
        Fixture f;
        auto old = testing::BuildMulti(true, {Tone(9000, 100, 22050), Tone(9000, 150, 22050)}, 22050);
        auto file = f.open("music.bin", old.image);
        auto in = f.input("in.wav", kWav16, 44100, 1, Tone(300001, 440, 44100, 12000));
        f.port.choices = row.answers;
        ReplaceOptions options;
        options.mix = row.mix;
        Status s = ReplaceMULTI_ADPCM(f.ws, f.port, *f.converter, in, options);
        if (row.error) {
            EXPECT_EQ(s.message(), row.error);
            EXPECT_EQ(testing::ReadFile(file), old.image);
            continue;
        }
        ASSERT_TRUE(s) << s.message();
        f.expectWorkspaceMatchesDisk(file);
        // The file is what the rebuild makes of the converted file copied to both channels.
        auto converted = LoadConvertedWav(f.scratch.ConvertedWav());
        ASSERT_TRUE(converted);
        ReplaceOptions copy;
        copy.mix = MixChoice::Mix;
        auto fitted = FitConverted(*converted, 2, true, copy, f.ws, 0, f.port, "in.wav");
        ASSERT_TRUE(fitted);
        auto expected = RebuildMulti(old.model, fitted->bytes, fitted->dataSize, 44100);
        ASSERT_TRUE(expected);
        EXPECT_EQ(testing::ReadFile(file), expected->Image());
        EXPECT_FALSE(fs::exists(exporting::CacheWavPath(f.ws, 0))) << "the cache is not the mono converted file";
    }
}

TEST(ReplaceMulti, APcmPairTakesTheConvertedFramesExactly) {
    Fixture f;
    auto old = testing::BuildMulti(false, {Tone(900, 100, 22050), Tone(900, 150, 22050)}, 22050);
    auto file = f.open("pcm.bin", old.image);
    auto frames = interleave({Tone(0x1EC00 + 3333, 440, 22050), Tone(0x1EC00 + 3333, 660, 22050)});
    auto in = f.input("in.wav", kWav16, 22050, 2, frames);
    ASSERT_TRUE(ReplaceMULTI_ADPCM(f.ws, f.port, *f.converter, in));
    EXPECT_EQ(f.ws.CurrentMulti()->HeadSize, 144u);
    f.expectWorkspaceMatchesDisk(file);
    exporting::MemorySink sink;
    ASSERT_TRUE(exporting::ExportMultichannel(f.ws.SourceImage, *f.ws.CurrentMulti(), sink));
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
    EXPECT_EQ(f.ws.CurrentMulti()->BlocksCount, 2u);
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

TEST(ReplaceMulti, UnsupportedAndDamagedFilesAreRefusedBeforeConverting) {
    auto tone = Tone(9000, 100, 22050);
    const auto built = testing::BuildMulti(true, {tone, tone}, 22050);
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"BlockSize too small for a full block", [](auto& image) { testing::PutU32(image, 12, 100 * 2048); },
         "cannot hold a full block"},
        // The rebuild would keep this BlockSize and write a file of 4 GiB.
        {"BlockSize of about 4 GiB", [](auto& image) { testing::PutU32(image, 12, 0xFFFFF800u); },
         "the file is damaged (its block size of 4294965248 bytes puts its 1 block past the end of the file)"},
        {"the last block cut short", [](auto& image) { image.resize(image.size() - 2048); },
         "past the end of the file"},
        {"no block, a BlockSize of about 3 GiB",
         [](auto& image) {
             testing::PutU32(image, 8, 0);
             testing::PutU32(image, 12, 0xC9080000u);
         },
         "the file is damaged (it holds no block to bear out its block size of 3372744704 bytes)"},
    };
    for (const auto& c : cases) {
        Fixture f;
        auto image = built.image;
        c.damage(image);
        auto file = f.open("music.bin", image);
        auto stereo = f.input("s.wav", kWav16, 22050, 2, testing::Sweeps16(5000, 2, 22050, 9000));
        Status s = ReplaceMULTI_ADPCM(f.ws, f.port, *f.converter, stereo);
        ASSERT_FALSE(s) << c.what;
        EXPECT_THAT(s.message(), HasSubstr(c.message)) << c.what << ": " << s.message();
        EXPECT_EQ(f.port.count("status"), 0u) << c.what;  // no conversion ran
        EXPECT_EQ(testing::ReadFile(file), image) << c.what;
    }
}

// The samples a sound of a PCM bank stores now.
std::vector<std::int16_t> storedPcm(const workspace::Workspace& ws, std::size_t n) {
    const auto& info = ws.CurrentBank()->BanksInfo[n];
    return testing::ToSamples(
        std::span(ws.SourceImage).subspan(ws.CurrentBank()->HeaderFullSize + info.Offset, info.Size));
}

std::vector<std::int16_t> averaged(const std::vector<std::int16_t>& frames, int channels) {
    std::vector<std::int16_t> out;
    for (std::size_t f = 0; f + static_cast<std::size_t>(channels) <= frames.size();
         f += static_cast<std::size_t>(channels)) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) sum += frames[f + static_cast<std::size_t>(c)];
        out.push_back(static_cast<std::int16_t>(std::lround(sum / channels)));
    }
    return out;
}

TEST(FitOnReplace, ChannelCountsAreMixedDownCopiedAskedOrRefused) {
    struct Case {
        bool multi;
        int channels;
        MixChoice mix;
        std::deque<bool> answers;
        std::string error;  // "" when it is done, "cancel" when cancelled
        std::string asked;
    };
    const Case cases[] = {
        {false, 2, MixChoice::Refuse, {}, "WAV-file should have 1 channel", ""},
        {false,
         2,
         MixChoice::Ask,
         {false},
         "cancel",
         "Mix down: in.wav has 2 channels. Mix them down to one? [Mix down/Cancel]"},
        {false,
         2,
         MixChoice::Ask,
         {true},
         "",
         "Mix down: in.wav has 2 channels. Mix them down to one? [Mix down/Cancel]"},
        {false, 3, MixChoice::Mix, {}, "", ""},
        {true, 1, MixChoice::Mix, {}, "", ""},
        {true, 1, MixChoice::Refuse, {}, "WAV-file should have 2 channels", ""},
        {true, 3, MixChoice::Mix, {}, "WAV-file should have 2 channels", ""},
    };
    for (const Case& c : cases) {
        const std::string row = (c.multi ? "multi " : "bank ") + std::to_string(c.channels);
        Fixture f;
        const auto original =
            c.multi ? testing::BuildMulti(false, {Tone(3000, 100, 22050), Tone(3000, 150, 22050)}, 22050).image
                    : testing::BuildBank(BankKind::Plain, sounds(2, 1)).image;
        auto file = f.open("c.bin", original);
        const auto frames = testing::Sweeps16(6000, c.channels, 22050, 9000);
        auto in = f.input("in.wav", kWav16, 22050, c.channels, frames);
        f.port.choices = c.answers;
        ReplaceOptions options;
        options.mix = c.mix;
        Status s = ReplaceEntry(f.ws, f.port, *f.converter, in, 0, options);
        EXPECT_EQ(f.port.texts("ask"), c.asked.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.asked})
            << row;
        if (!c.error.empty()) {
            EXPECT_EQ(s.message(), c.error == "cancel" ? "" : c.error) << row;
            EXPECT_EQ(testing::ReadFile(file), original) << row;
            continue;
        }
        ASSERT_TRUE(s) << row << ": " << s.message();
        f.expectWorkspaceMatchesDisk(file);
        if (c.multi) {
            auto audio = CurrentAudio(f.ws, 0);
            ASSERT_TRUE(audio);
            std::vector<float> expected;
            for (auto v : frames) expected.insert(expected.end(), 2, static_cast<float>(v));
            EXPECT_EQ(audio->samples, expected) << row;
        } else {
            EXPECT_EQ(storedPcm(f.ws, 0), averaged(frames, c.channels)) << row;
        }
    }
}

TEST(FitOnReplace, ASineComesOutAtTheLoudnessOfTheSoundItReplaces) {
    // A 1 kHz sine at amplitude A in one channel measures 20 log10(A / 32768) - 3.01 LUFS.
    const double quiet = 20 * std::log10(3000.0 / 32768) - 3.01;
    for (BankKind kind : {BankKind::Plain, BankKind::WithAnimations}) {
        Fixture f;
        auto list = sounds(2, kind == BankKind::Plain ? 1 : 1024);
        list[0].pcm = Tone(96000, 1000, 48000, 3000);
        list[0].rate = 48000;
        auto file = f.open("l.bin", testing::BuildBank(kind, list).image);
        auto before = CurrentAudio(f.ws, 0);
        ASSERT_TRUE(before);
        std::vector<std::int16_t> reference(before->samples.begin(), before->samples.end());
        // K-weighting lifts 1 kHz by about 0.15 dB more than the rule of thumb says.
        ASSERT_NEAR(*engine::IntegratedLoudness(reference, 1, 48000), quiet, 0.25);

        auto loud = f.input("loud.wav", kWav16, 48000, 1, Tone(144000, 440, 48000, 20000));
        ReplaceOptions options;
        options.matchLoudness = true;
        options.loudness = engine::IntegratedLoudness;
        std::vector<std::string> notes;
        options.note = [&](std::size_t n, std::string_view text) {
            notes.push_back(std::to_string(n) + " " + std::string(text));
        };
        ASSERT_TRUE(ReplaceEntry(f.ws, f.port, *f.converter, loud, 0, options));
        f.expectWorkspaceMatchesDisk(file);

        auto after = CurrentAudio(f.ws, 0);
        ASSERT_TRUE(after);
        std::vector<std::int16_t> stored(after->samples.begin(), after->samples.end());
        EXPECT_NEAR(*engine::IntegratedLoudness(stored, 1, 48000), quiet, 0.5);
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0].rfind("0 gain -", 0), 0u) << notes[0];
    }
}

TEST(ImportPlanned, AnyRefusalSavesNothingElseOneSaveTakesEverySound) {
    Fixture f;
    const auto original = testing::BuildBank(BankKind::Plain, sounds(3, 1)).image;
    auto file = f.open("v.bin", original);
    const auto folder = f.dir / "out";
    fs::create_directory(folder);
    ASSERT_TRUE(exporting::ExportAllInto(f.ws, folder, f.port));
    const auto tone = Tone(8000, 900, 22050, 10000);
    testing::WriteSound(folder / "0x000A.wav", kWav16, 22050, 1, std::span<const std::int16_t>(tone));
    testing::WriteText(folder / "0x000B.wav", "not audio");

    auto plan = PlanImport(f.ws, folder);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->replaced.size(), 2u);
    ASSERT_EQ(plan->unchanged.size(), 1u);
    // Cancelled after the first file: nothing is saved.
    f.port.cancelAtLook = 2;
    Status cancelled = ImportPlanned(f.ws, f.port, *f.converter, *plan, {});
    EXPECT_TRUE(IsCancelled(cancelled)) << cancelled.message();
    EXPECT_EQ(testing::ReadFile(file), original);
    f.port.cancelAtLook = 0;

    Status refused = ImportPlanned(f.ws, f.port, *f.converter, *plan, {});
    ASSERT_FALSE(refused);
    EXPECT_THAT(refused.message(),
                ::testing::HasSubstr("1 file was refused; nothing was saved:\n0x000B.wav: cannot decode"));
    EXPECT_EQ(testing::ReadFile(file), original);
    EXPECT_FALSE(platform::HasBackup(file));

    // A stereo file in its place is mixed down when asked to, and both go in with one save.
    const auto stereo = testing::Sweeps16(5000, 2, 22050, 8000);
    testing::WriteSound(folder / "0x000B.wav", kWav16, 22050, 2, std::span<const std::int16_t>(stereo));
    ReplaceOptions options;
    options.mix = MixChoice::Mix;
    Status s = ImportPlanned(f.ws, f.port, *f.converter, *plan, options);
    ASSERT_TRUE(s) << s.message();
    f.expectWorkspaceMatchesDisk(file);
    EXPECT_EQ(storedPcm(f.ws, 0), tone);
    EXPECT_EQ(storedPcm(f.ws, 1), averaged(stereo, 2));
    EXPECT_EQ(testing::ReadFile(platform::BackupPath(file)), original);
    const auto unchanged = testing::BuildBank(BankKind::Plain, sounds(3, 1)).stored[2];
    EXPECT_EQ(testing::ToBytes(storedPcm(f.ws, 2)), unchanged);
}

TEST(RestoreOriginal, AsksPutsTheFirstOriginalBackAndOpensIt) {
    Fixture f;
    const auto original = testing::BuildBank(BankKind::Plain, sounds(2, 1)).image;
    auto file = f.open("r.bin", original);
    auto mono = f.input("m.wav", kWav16, 22050, 1, Tone(5000, 440, 22050));
    ReplaceOptions noBackup;
    noBackup.keepBackup = false;
    ASSERT_TRUE(ReplaceEntry(f.ws, f.port, *f.converter, mono, 0, noBackup));
    EXPECT_FALSE(RestoreAvailable(f.ws));

    auto kept = f.open("k.bin", original);
    ASSERT_TRUE(ReplaceEntry(f.ws, f.port, *f.converter, mono, 0));
    ASSERT_TRUE(ReplaceEntry(f.ws, f.port, *f.converter, mono, 1));
    ASSERT_TRUE(RestoreAvailable(f.ws));
    const auto replaced = testing::ReadFile(kept);

    f.port.choices = {false};
    RestoreOriginalClick(f.ws, f.port);
    EXPECT_EQ(testing::ReadFile(kept), replaced);
    f.port.choices = {true};
    RestoreOriginalClick(f.ws, f.port);
    EXPECT_EQ(f.port.texts("ask").back(),
              "Restore original: Put k.bin.bak back over k.bin? Every change saved since it was kept is lost. "
              "[Restore/Cancel]");
    EXPECT_EQ(testing::ReadFile(kept), original);
    EXPECT_TRUE(f.ws.SourceImage == original);
    EXPECT_TRUE(RestoreAvailable(f.ws));
    EXPECT_GE(f.port.count("rows"), 1u);  // the list was read again
}

TEST(ImportFolderClick, TheSummaryComesFirstAndImportReplaces) {
    Fixture f;
    auto file = f.open("w.bin", testing::BuildBank(BankKind::Plain, sounds(2, 1)).image);
    const auto folder = f.dir / "in";
    fs::create_directory(folder);
    const auto tone = Tone(4000, 900, 22050, 10000);
    testing::WriteSound(folder / "0x000B.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1,
                        std::span<const std::int16_t>(tone));
    testing::WriteText(folder / "readme.txt", "x");

    for (bool import : {false, true}) {
        f.port.clear();
        f.port.answers = {platform::PathToUtf8(folder)};
        f.port.choices = {import};
        const auto before = testing::ReadFile(file);
        ImportFolderClick(f.ws, f.port, *f.converter, {});
        EXPECT_EQ(f.port.dialogs.back(), "folder Import folder");
        EXPECT_EQ(
            f.port.texts("ask"),
            std::vector<std::string>{"Import folder: To replace (1):\n  0x000B <- 0x000B.flac\n\nNot used (1):\n  "
                                     "readme.txt\n [Import/Cancel]"});
        if (!import) {
            EXPECT_EQ(testing::ReadFile(file), before);
            EXPECT_EQ(f.port.count("lock"), 0u);
            continue;
        }
        EXPECT_EQ(storedPcm(f.ws, 1), tone);
        EXPECT_EQ(f.port.lockDepth, 0);
        EXPECT_EQ(f.port.status, "1 of 2 sounds replaced");
        EXPECT_TRUE(f.port.errors().empty());
    }
}

}  // namespace
}  // namespace brenzo::replace
