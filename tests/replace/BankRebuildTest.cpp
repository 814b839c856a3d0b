#include <gtest/gtest.h>

#include "codec/IMAADPCM.h"
#include "formats/BankFile.h"
#include "formats/Layout.h"
#include "replace/BankReplace.h"
#include "support/Builders.h"

namespace brenzo::replace {
namespace {

using formats::BankKind;
using formats::ReadBank;
using testing::BuildBank;
using testing::TestSound;
using testing::Tone;

TestSound sound(std::uint32_t hash, std::size_t samples, std::uint32_t compression = 1024) {
    TestSound s;
    s.hash = hash;
    s.compression = compression;
    s.pcm = Tone(samples, 200.0 + hash, 22050);
    s.wFA = 1000 + hash;
    s.iUnknown = -static_cast<std::int32_t>(hash);
    s.animation.assign(9 + hash, static_cast<std::uint8_t>(0xA0 + hash));
    return s;
}

struct Encoded {
    std::vector<std::uint8_t> coded, states;
};

Encoded encode(std::uint32_t dataSize) {
    auto pcm = testing::ToBytes(Tone(dataSize / 2 + 1, 777, 44100));
    Encoded e;
    codec::ADPCMEncodeStream(pcm, e.coded, e.states, static_cast<std::int32_t>(dataSize));
    return e;
}

std::vector<std::uint8_t> storedBytes(const RebuiltBank& r, std::uint32_t i) {
    const auto& info = r.model.BanksInfo[i];
    const Bytes image = r.Image();
    auto stored = std::span(image).subspan(r.model.HeaderFullSize + info.Offset, info.Size);
    return {stored.begin(), stored.end()};
}

bool zeroFrom(const RebuiltBank& r, std::size_t from, std::size_t to) {
    const Bytes image = r.Image();
    return std::all_of(image.begin() + static_cast<std::ptrdiff_t>(from),
                       image.begin() + static_cast<std::ptrdiff_t>(to), [](std::uint8_t b) { return b == 0; });
}

// A rebuilt bank reopens as the same kind and model, with every other sound's and every
// animation block's bytes unchanged.
void expectFaithful(const testing::BuiltBank& before, const RebuiltBank& after, BankKind kind, std::uint32_t n) {
    const Bytes image = after.Image();
    auto read = ReadBank(image, kind);
    EXPECT_TRUE(read.damage.empty());
    auto model = after.model;
    // A PCM record has no Samples field: the rebuild keeps the replaced sound's count in the
    // model only.
    for (auto& info : model.BanksInfo)
        if (kind == BankKind::Plain && info.Compression == formats::kCompressionPcm) info.Samples = 0;
    EXPECT_EQ(read.bank, model);
    EXPECT_TRUE(formats::CheckRebuildable(read.bank, kind, image));
    for (std::uint32_t i = 0; i < after.model.AudioCount; ++i) {
        if (i == n) continue;
        auto now = storedBytes(after, i);
        EXPECT_TRUE(std::equal(now.begin(), now.end(), before.stored[i].begin(), before.stored[i].end())) << i;
        EXPECT_EQ(after.model.BanksInfo[i].States, before.model.BanksInfo[i].States) << i;
        EXPECT_EQ(after.model.BanksInfo[i]._wFA, before.model.BanksInfo[i]._wFA) << i;
    }
    if (kind == BankKind::WithAnimations) {
        const std::size_t animBase = after.model.HeaderSize + 16 * after.model.AudioCount;
        for (std::uint32_t i = 0; i < after.model.AudioCount; ++i) {
            const auto& anim = after.model.AnimsInfo[i];
            const auto& original = before.model.AnimsInfo[i];
            auto now = std::span(image).subspan(animBase + static_cast<std::size_t>(anim.Offset), anim.Size);
            auto was = std::span(before.image)
                           .subspan(before.model.HeaderSize + 16 * before.model.AudioCount +
                                        static_cast<std::size_t>(original.Offset),
                                    original.Size);
            EXPECT_TRUE(std::equal(now.begin(), now.end(), was.begin(), was.end())) << i;
        }
    }
}

TEST(RebuildBankAdpcm, AWholeBlockNeedsNoPadding) {
    auto before = BuildBank(BankKind::WithAnimations, {sound(1, 3000), sound(2, 5000), sound(3, 100)});
    auto e = encode(8192);
    auto r = RebuildBankAdpcm(before.model, BankKind::WithAnimations, before.image, 1, e.coded, e.states, 44100);
    ASSERT_TRUE(r) << r.message();
    const auto& info = r->model.BanksInfo[1];
    EXPECT_EQ(info.Size, 2048u);
    EXPECT_EQ(info.StatesCount, 1u);
    EXPECT_EQ(r->model.BanksHeadInfo[1].Size, 59u);
    EXPECT_EQ(info.Frequency, 44100);
    EXPECT_EQ(info.Samples, 4096u);
    EXPECT_EQ(r->model.BanksInfo[2].Offset, info.Offset + 2048);
    expectFaithful(before, *r, BankKind::WithAnimations, 1);
}

TEST(RebuildBankAdpcm, OneByteIntoANewBlockAddsAStateAndPadding) {
    auto before = BuildBank(BankKind::WithAnimations, {sound(1, 3000), sound(2, 5000)});
    auto e = encode(8196);
    auto r = RebuildBankAdpcm(before.model, BankKind::WithAnimations, before.image, 0, e.coded, e.states, 22050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.BanksInfo[0].Size, 2049u);
    EXPECT_EQ(r->model.BanksInfo[0].StatesCount, 2u);
    EXPECT_EQ(r->model.BanksHeadInfo[0].Size, 62u);
    const std::size_t end = r->model.HeaderFullSize + 2049;
    EXPECT_TRUE(zeroFrom(*r, end, end + 2047));
    EXPECT_EQ(r->model.BanksInfo[1].Offset, 4096u);
    expectFaithful(before, *r, BankKind::WithAnimations, 0);
}

TEST(RebuildBankAdpcm, AnOddSampleCountDropsTheLastSample) {
    auto before = BuildBank(BankKind::Plain, {sound(1, 3000)});
    auto e = encode(8194);
    auto r = RebuildBankAdpcm(before.model, BankKind::Plain, before.image, 0, e.coded, e.states, 22050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.BanksInfo[0].Size2, 4096u);
}

TEST(RebuildBankAdpcm, AnEmptySoundKeepsLaterSoundsAligned) {
    auto before = BuildBank(BankKind::WithAnimations, {sound(1, 9000), sound(2, 5000), sound(3, 7000)});
    auto r = RebuildBankAdpcm(before.model, BankKind::WithAnimations, before.image, 1, {}, {}, 22050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.BanksInfo[1].Size, 0u);
    EXPECT_EQ(r->model.BanksInfo[1].StatesCount, 0u);
    EXPECT_EQ(r->model.BanksHeadInfo[1].Size, 56u);
    EXPECT_EQ(r->model.BanksInfo[2].Offset, r->model.BanksInfo[1].Offset);
    EXPECT_EQ(r->model.BanksInfo[2].Offset % 2048, 0u);
    expectFaithful(before, *r, BankKind::WithAnimations, 1);
}

TEST(RebuildBankAdpcm, GrowingAcrossBoundariesMovesWhatFollows) {
    auto before = BuildBank(BankKind::WithAnimations, {sound(1, 100), sound(2, 5000), sound(3, 7000)});
    // Sound 0 grows by many blocks: later samples move by whole slots, and the header grows
    // past a 2048-byte boundary with the new states, moving every sample.
    auto e = encode(4096 * 2 * 700);
    auto r = RebuildBankAdpcm(before.model, BankKind::WithAnimations, before.image, 0, e.coded, e.states, 22050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.BanksInfo[0].StatesCount, 700u);
    EXPECT_GT(r->model.HeaderFullSize, before.model.HeaderFullSize);
    EXPECT_EQ(r->model.BanksInfo[1].Offset, 700u * 2048);
    EXPECT_EQ(r->model.BanksHeadInfo[1].Offset, 56u + 3 * 700);
    expectFaithful(before, *r, BankKind::WithAnimations, 0);
}

TEST(RebuildBankAdpcm, RewritesSize2OfEverySoundAndKeepsTheKind) {
    auto before = BuildBank(BankKind::Plain, {sound(1, 3000), sound(2, 5000)});
    auto lying = before;
    lying.model.BanksInfo[1].Size2 = 12345;  // as a loaded bank might hold it
    auto e = encode(1000);
    auto r = RebuildBankAdpcm(lying.model, BankKind::Plain, before.image, 0, e.coded, e.states, 22050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.BanksInfo[1].Size2, 2 * r->model.BanksInfo[1].Size);
    EXPECT_EQ(testing::U32At(r->Image(), 20), 0u);
    EXPECT_EQ(r->model.HeaderFullSize, formats::AlignTo2048(r->model.HeaderSize));
    expectFaithful(before, *r, BankKind::Plain, 0);
}

TEST(RebuildBankAdpcm, AOneSoundBank) {
    auto before = BuildBank(BankKind::WithAnimations, {sound(1, 3000)});
    auto e = encode(20000);
    auto r = RebuildBankAdpcm(before.model, BankKind::WithAnimations, before.image, 0, e.coded, e.states, 8000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.BanksInfo[0].Size, 5000u);
    expectFaithful(before, *r, BankKind::WithAnimations, 0);
}

TEST(RebuildBankPcm, TheNewSamplesAreStoredAsConverted) {
    auto before = BuildBank(BankKind::Plain, {sound(1, 3000, 1), sound(2, 5000, 1), sound(3, 10, 1)});
    auto pcm = testing::ToBytes(Tone(50000, 440, 22050));
    auto r = RebuildBankPcm(before.model, before.image, 1, pcm, 100000, 32000);
    ASSERT_TRUE(r);
    const auto& info = r->model.BanksInfo[1];
    EXPECT_EQ(info.Size, 100000u);
    EXPECT_EQ(info.Size2, 50000u);
    EXPECT_EQ(info.Frequency, 32000);
    auto stored = storedBytes(*r, 1);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), pcm.begin(), pcm.end()));
    const std::size_t end = r->model.HeaderFullSize + info.Offset + 100000;
    EXPECT_TRUE(zeroFrom(*r, end, end + 352));
    EXPECT_EQ(r->model.BanksInfo[2].Offset, info.Offset + 49 * 2048);
    // The records keep their length: the header does not move.
    EXPECT_EQ(r->model.HeaderSize, before.model.HeaderSize);
    EXPECT_EQ(r->model.HeaderFullSize, before.model.HeaderFullSize);
    expectFaithful(before, *r, BankKind::Plain, 1);
}

TEST(RebuildBankPcm, AnExactSlotAndMissingSamplesAsSilence) {
    auto before = BuildBank(BankKind::Plain, {sound(1, 3000, 1), sound(2, 10, 1)});
    std::vector<std::uint8_t> half(1024, 0x7F);
    auto r = RebuildBankPcm(before.model, before.image, 0, half, 2048, 22050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->model.BanksInfo[1].Offset, 2048u);
    auto stored = storedBytes(*r, 0);
    EXPECT_EQ(stored[1023], 0x7F);
    EXPECT_EQ(stored[1024], 0);
    EXPECT_EQ(stored[2047], 0);
    EXPECT_EQ(testing::U32At(r->Image(), 20), 0u);
    expectFaithful(before, *r, BankKind::Plain, 0);
}

}  // namespace
}  // namespace brenzo::replace
