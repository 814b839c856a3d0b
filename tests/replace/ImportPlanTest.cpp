// Importing a folder without the engine: which file goes to which sound, what counts as
// unchanged, the one rebuild of many sounds, and the channel and loudness arithmetic.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "export/Export.h"
#include "export/Sink.h"
#include "formats/BankFile.h"
#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "replace/Fit.h"
#include "replace/ImportAll.h"
#include "support/Builders.h"
#include "support/TempDir.h"

namespace brenzo::replace {
namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;
using formats::BankKind;
using testing::TempDir;
using testing::Tone;

std::vector<testing::TestSound> fourSounds(std::uint32_t compression = formats::kCompressionAdpcm) {
    std::vector<testing::TestSound> list;
    for (std::uint32_t i = 0; i < 4; ++i) {
        testing::TestSound s;
        s.hash = 10 + i;
        s.compression = compression;
        s.pcm = Tone(3000 + 500 * i, 300 + 50 * i, 22050);
        s.animation.assign(12, static_cast<std::uint8_t>(i));
        list.push_back(s);
    }
    return list;
}

std::vector<std::string> names(const std::vector<ImportItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(std::to_string(i.entry) + " " + platform::FileNameUtf8(i.input));
    return out;
}

TEST(PlanImport, FilesGoToTheSoundsExportAllNamesOrToTheirHash) {
    // Sounds: "horn", "horn" again (exported as "horn (2)"), unnamed 0x000C, "bell" (0x000D).
    // A file starting with "=" holds what export-all writes for that sound today.
    struct Case {
        std::vector<std::string> files;
        std::vector<std::string> replaced, unchanged, unused;
        std::string refused;
    };
    const Case cases[] = {
        {{"HORN.mp3", "horn (2).WAV", "0x000d.flac", "notes.txt", "zzz.wav", "horn.bin"},
         {"0 HORN.mp3", "1 horn (2).WAV", "3 0x000d.flac"},
         {},
         {"horn.bin", "notes.txt", "zzz.wav"},
         ""},
        {{"=horn.wav", "=0x000C.wav", "0x000C.aiff.opus", "bell.Ogg"},
         {"3 bell.Ogg"},
         {"0 horn.wav", "2 0x000C.wav"},
         {"0x000C.aiff.opus"},
         ""},
        {{"bell.wav", "0x000D.oga", "horn.aif"}, {"0 horn.aif"}, {}, {}, "several files for bell: 0x000D.oga bell.wav"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        testing::WriteText(dir / "Hashes.ini", "[Hashes]\n10=horn\n11=horn\n13=bell\n");
        testing::WriteFile(dir / "b.bin", testing::BuildBank(BankKind::WithAnimations, fourSounds()).image);
        workspace::Workspace ws{workspace::HashNames(dir / "Hashes.ini"), nullptr};
        workspace::SilentPort port;
        ASSERT_EQ(ws.Open(dir / "b.bin", port), workspace::OpenOutcome::Loaded);
        fs::create_directory(dir / "in");
        for (const auto& f : c.files) {
            if (f[0] != '=') {
                testing::WriteText(dir / ("in/" + f), "new audio");
                continue;
            }
            const std::size_t entry = f.find("horn") == 1 ? 0 : 2;
            exporting::MemorySink sink;
            ASSERT_TRUE(exporting::ExportBankSound(ws.SourceImage, *ws.CurrentBank(), static_cast<std::uint32_t>(entry),
                                                   exporting::SoundForm::Adpcm, sink));
            testing::WriteFile(dir / ("in/" + f.substr(1)), sink.bytes());
        }
        auto plan = PlanImport(ws, dir / "in");
        ASSERT_TRUE(plan) << plan.message();
        EXPECT_EQ(names(plan->replaced), c.replaced) << c.files.front();
        EXPECT_EQ(names(plan->unchanged), c.unchanged) << c.files.front();
        std::vector<std::string> unused;
        for (const auto& f : plan->unused) unused.push_back(platform::FileNameUtf8(f));
        EXPECT_EQ(unused, c.unused) << c.files.front();
        EXPECT_EQ(plan->refused.empty() ? "" : plan->refused.front(), c.refused);
        // Refused plans save nothing, and say why.
        if (!c.refused.empty()) {
            EXPECT_THAT(DescribePlan(*plan), HasSubstr("Refused (1):\n  " + c.refused));
        }
    }
}

TEST(RebuildBankSounds, ManySoundsInOneRebuildEqualOneRebuildPerSound) {
    struct Case {
        BankKind kind;
        std::uint32_t compression;
        formats::RecordForm form;
    };
    for (const Case& c : {Case{BankKind::WithAnimations, formats::kCompressionAdpcm, formats::RecordForm::Adpcm},
                          Case{BankKind::Plain, formats::kCompressionAdpcm, formats::RecordForm::Adpcm},
                          Case{BankKind::Plain, formats::kCompressionPcm, formats::RecordForm::Pcm}}) {
        const auto built = testing::BuildBank(c.kind, fourSounds(c.compression));
        std::vector<NewSound> sounds;
        for (std::uint32_t n : {3u, 1u}) {
            NewSound s;
            s.n = n;
            s.pcm = testing::ToBytes(Tone(7000 + n, 500, 32000));
            s.dataSize = static_cast<std::uint32_t>(s.pcm.size()) + 100;  // the rest is silence
            s.rate = static_cast<std::uint16_t>(32000 + n);
            sounds.push_back(s);
        }
        auto together = RebuildBankSounds(built.model, c.kind, c.form, built.image, sounds);
        ASSERT_TRUE(together) << together.message();

        formats::TBankAudio model = built.model;
        Bytes image(built.image.begin(), built.image.end());
        for (const NewSound& s : sounds) {
            Result<RebuiltBank> one = Error{""};
            if (c.form == formats::RecordForm::Pcm) {
                one = RebuildBankPcm(model, image, s.n, s.pcm, s.dataSize, s.rate);
            } else {
                std::vector<std::uint8_t> coded, states;
                codec::ADPCMEncodeStream(s.pcm, coded, states, static_cast<std::int32_t>(s.dataSize));
                one = RebuildBankAdpcm(model, c.kind, image, s.n, coded, states, s.rate);
            }
            ASSERT_TRUE(one) << one.message();
            model = one->model;
            image = one->Image();
        }
        EXPECT_EQ(together->model, model);
        EXPECT_TRUE(SameBytes(together->Image(), image));
    }
}

TEST(MixChannels, AveragesIntoOneCopiesOneToAllRefusesTheRest) {
    struct Case {
        std::vector<std::int16_t> in;
        std::uint16_t from, to;
        std::optional<std::vector<float>> out;
    };
    const Case cases[] = {
        {{100, 201, -32768, -32767}, 2, 1, std::vector<float>{150.5f, -32767.5f}},
        {{3, 4, 5, -6, -7, -8}, 3, 1, std::vector<float>{4.0f, -7.0f}},
        {{7, -9}, 1, 3, std::vector<float>{7, 7, 7, -9, -9, -9}},
        {{1, 2, 3, 4}, 2, 2, std::vector<float>{1, 2, 3, 4}},
        {{1, 2, 3, 4, 5, 6}, 3, 2, std::nullopt},
        {{1, 2}, 2, 5, std::nullopt},
    };
    for (const Case& c : cases) {
        auto mixed = MixChannels(c.in, c.from, 22050, c.to);
        ASSERT_EQ(mixed.has_value(), c.out.has_value()) << c.from << " to " << c.to;
        if (mixed) {
            EXPECT_EQ(mixed->samples, *c.out) << c.from << " to " << c.to;
        }
    }
    // Rounded once, to nearest with ties away from zero, and clamped.
    EXPECT_EQ(testing::ToSamples(ToPcmBytes(std::vector<float>{150.5f, -32767.5f, 2.4f, -2.5f, 40000.0f})),
              (std::vector<std::int16_t>{151, -32768, 2, -3, 32767}));
    EXPECT_EQ(testing::ToSamples(ToPcmBytes(std::vector<float>{1000.0f, -300.0f}, 0.5)),
              (std::vector<std::int16_t>{500, -150}));
}

Audio sine(double amplitude, std::size_t frames) {
    Audio a;
    a.rate = 22050;
    for (std::size_t i = 0; i < frames; ++i)
        a.samples.push_back(
            static_cast<float>(amplitude * std::sin(2 * 3.14159265358979 * 441.0 * static_cast<double>(i) / 22050)));
    return a;
}

TEST(MatchLoudness, ShortSoundsMatchByRmsAndNothingClips) {
    struct Case {
        double reference, fresh;
        float spike;  // one sample of the new sound, when not 0
        double gainDb;
        bool capped, measured;
    };
    const Case cases[] = {
        {1000, 4000, 0, -12.04, false, true},    // quieter by a quarter
        {8000, 2000, 0, 12.04, false, true},     // louder by four
        {20000, 1000, 16000, 6.22, true, true},  // 26 dB wanted, but the spike may only reach 32767
        {0, 2000, 0, 0, false, false},           // a silent sound gives no gain
        {2000, 0, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        // 200 ms: shorter than loudness gating needs, so RMS even with a meter at hand.
        bool meterCalled = false;
        engine::LoudnessMeter meter = [&](std::span<const std::int16_t>, std::uint16_t, std::uint32_t) {
            meterCalled = true;
            return std::optional<double>(-23.0);
        };
        Audio fresh = sine(c.fresh, 4410);
        if (c.spike != 0) fresh.samples[10] = c.spike;
        auto m = MatchLoudness(sine(c.reference, 4410), fresh, meter);
        EXPECT_FALSE(meterCalled);
        EXPECT_EQ(m.measured, c.measured) << c.reference << " " << c.fresh;
        EXPECT_EQ(m.capped, c.capped) << c.reference << " " << c.fresh;
        EXPECT_NEAR(m.gainDb, c.gainDb, 0.02) << c.reference << " " << c.fresh;
    }
}

}  // namespace
}  // namespace brenzo::replace
