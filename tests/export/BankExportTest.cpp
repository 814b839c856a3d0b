#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "codec/IMAADPCM.h"
#include "export/Export.h"
#include "formats/BankFile.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/RecordingPort.h"
#include "support/TempDir.h"

namespace brenzo::exporting {
namespace {

using formats::BankKind;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::U32At;

// A plain bank whose one sound is given as its stored bytes, states and form.
struct OneSound {
    formats::TBankAudio bank;
    std::vector<std::uint8_t> image;
};

OneSound oneSound(std::vector<std::uint8_t> stored, std::size_t states, std::uint32_t compression,
                  std::uint16_t rate = 22050) {
    using namespace formats;
    OneSound s;
    TBankChannelInfo info;
    info.Size = static_cast<std::uint32_t>(stored.size());
    info.Frequency = rate;
    info.Compression = compression;
    for (std::size_t k = 0; k < states; ++k) info.States.push_back({static_cast<std::int16_t>(100 * k), 10});
    s.bank.BanksHeadInfo.push_back({});
    s.bank.BanksInfo.push_back(info);
    const RecordForm form = compression == kCompressionAdpcm ? RecordForm::Adpcm : RecordForm::Pcm;
    EXPECT_TRUE(LayoutBank(s.bank, BankKind::Plain, form));
    BankSources sources;
    sources.samples.emplace_back(stored);
    auto image = *WriteBank(s.bank, BankKind::Plain, form, sources);
    s.image.assign(image.begin(), image.end());
    return s;
}

std::vector<std::uint8_t> run(const OneSound& s, SoundForm form) {
    MemorySink sink;
    Status st = ExportBankSound(s.image, s.bank, 0, form, sink);
    EXPECT_TRUE(st) << st.message();
    return sink.bytes();
}

std::vector<std::uint8_t> pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 13 + 7);
    return v;
}

TEST(ExportBankSound, AdpcmDecodesWholeBlocksBehindTheDeclaredSize) {
    auto whole = run(oneSound(pattern(4096), 2, 1024), SoundForm::Adpcm);
    EXPECT_EQ(whole.size(), 44u + 16384);
    EXPECT_EQ(U32At(whole, 40), 16384u);

    auto s = oneSound(pattern(3000), 2, 1024);
    auto partial = run(s, SoundForm::Adpcm);
    EXPECT_EQ(U32At(partial, 40), 12000u);
    EXPECT_EQ(U32At(partial, 4), 12036u);
    ASSERT_EQ(partial.size(), 44u + 16384);
    // Samples 6000 on come from the slot's zero padding, decoded from where byte 2999 left off.
    codec::TADPCMState st = s.bank.BanksInfo[0].States[1];
    auto stored = pattern(3000);
    for (std::size_t i = 2048; i < 3000; ++i) {
        codec::ADPCMDecodeNibble(stored[i] & 15, st);
        codec::ADPCMDecodeNibble(stored[i] >> 4, st);
    }
    auto samples = testing::ToSamples(std::span(partial).subspan(44));
    EXPECT_EQ(samples[6000], codec::ADPCMDecodeNibble(0, st));
}

TEST(ExportBankSound, PcmIsCopiedAsStored) {
    auto s = oneSound(pattern(88200), 0, 1, 44100);
    auto out = run(s, SoundForm::Pcm);
    ASSERT_EQ(out.size(), 44u + 88200);
    EXPECT_EQ(U32At(out, 40), 88200u);
    EXPECT_EQ(U32At(out, 24), 44100u);
    EXPECT_TRUE(std::equal(out.begin() + 44, out.end(), pattern(88200).begin()));

    auto empty = run(oneSound({}, 0, 1), SoundForm::Pcm);
    EXPECT_EQ(empty.size(), 44u);
    EXPECT_EQ(U32At(empty, 40), 0u);
}

TEST(ExportBankSound, AnUnknownCompressionGivesAHeaderThatDeclaresNoData) {
    auto out = run(oneSound(pattern(5000), 0, 7), FormOfCompression(7));
    EXPECT_EQ(out.size(), 44u);
    EXPECT_EQ(U32At(out, 40), 0u);
    EXPECT_EQ(U32At(out, 4), 36u);
}

TEST(ExportBankSound, ASoundWithoutStatesIsTheHeaderAlone) {
    auto out = run(oneSound(pattern(5000), 0, 1024), SoundForm::Adpcm);
    EXPECT_EQ(out.size(), 44u);
    EXPECT_EQ(U32At(out, 40), 20000u);  // the declared size still follows Size
}

TEST(ExportBankSound, RepeatsExactlyAndLeavesTheStatesAlone) {
    auto s = oneSound(pattern(9000), 5, 1024);
    const auto before = s.bank;
    EXPECT_EQ(run(s, SoundForm::Adpcm), run(s, SoundForm::Adpcm));
    EXPECT_EQ(s.bank, before);
}

TEST(ExportBankSound, CodedBytesPastTheEndDecodeAsZerosButPcmPastTheEndIsRefused) {
    auto adpcm = oneSound(pattern(4096), 2, 1024);
    auto cut = adpcm.image;
    cut.resize(cut.size() - 3000);
    MemorySink sink;
    EXPECT_TRUE(ExportBankSound(cut, adpcm.bank, 0, SoundForm::Adpcm, sink));
    EXPECT_EQ(sink.bytes().size(), 44u + 16384);

    auto pcm = oneSound(pattern(4096), 0, 1);
    auto pcmCut = pcm.image;
    pcmCut.resize(pcmCut.size() - 10);
    MemorySink none;
    Status st = ExportBankSound(pcmCut, pcm.bank, 0, SoundForm::Pcm, none);
    ASSERT_FALSE(st);
    EXPECT_THAT(st.message(), HasSubstr("past the end"));

    MemorySink outOfRange;
    EXPECT_FALSE(ExportBankSound(pcm.image, pcm.bank, 5, SoundForm::Pcm, outOfRange));
}

TEST(ExportBANK_PCM, AFailedExportLeavesNothingAtThePath) {
    testing::TempDir dir;
    auto pcm = oneSound(pattern(4096), 0, 1);
    auto cut = pcm.image;
    cut.resize(cut.size() - 10);
    workspace::Workspace ws(workspace::HashNames(dir / "none.ini"), nullptr);
    testing::WriteFile(dir / "bank.bin", cut);
    testing::RecordingPort port;
    ws.Open(dir / "bank.bin", port);
    Status st = ExportBANK_PCM(ws, dir / "out.wav", 0, 1, port);
    EXPECT_FALSE(st);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_THAT(platform::FileNameUtf8(e.path()), Not(HasSubstr(".brenzo-"))) << e.path();
}

}  // namespace
}  // namespace brenzo::exporting
