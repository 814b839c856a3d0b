#include "codec/IMAADPCM.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "support/Builders.h"

namespace brenzo::codec {
namespace {

using testing::ToBytes;

TEST(AdpcmDecodeNibble, KnownAnswersFromTheZeroState) {
    TADPCMState s;
    EXPECT_EQ(ADPCMDecodeNibble(7, s), 11);
    EXPECT_EQ(s.index, 8);
    s = {};
    EXPECT_EQ(ADPCMDecodeNibble(15, s), -11);
    EXPECT_EQ(s.index, 8);
    s = {};
    EXPECT_EQ(ADPCMDecodeNibble(0, s), 0);
    EXPECT_EQ(s.index, 0);  // -1 clamped
}

TEST(AdpcmDecodeNibble, MatchesAnIndependentReferenceOverASequence) {
    // Worked out by hand-checked reference arithmetic, low nibble first.
    const std::uint8_t coded[] = {0x07, 0x7F, 0x88, 0x1A, 0xF3, 0x42, 0x00, 0xFF};
    const std::int16_t expected[] = {1093, 1106, 925,  1316, 1260, 1209, 978, 1104,
                                     1371, 850,  1223, 1835, 1917, 1991, 971, -1214};
    TADPCMState s{1000, 20};
    std::size_t k = 0;
    for (std::uint8_t b : coded) {
        EXPECT_EQ(ADPCMDecodeNibble(b & 15, s), expected[k++]);
        EXPECT_EQ(ADPCMDecodeNibble(b >> 4, s), expected[k++]);
    }
    EXPECT_EQ(s, (TADPCMState{-1214, 61}));
}

TEST(AdpcmDecodeNibble, SaturatesWithoutOverflow) {
    TADPCMState up;
    for (int i = 0; i < 200; ++i) ADPCMDecodeNibble(7, up);
    EXPECT_EQ(up, (TADPCMState{32767, 88}));
    TADPCMState down;
    for (int i = 0; i < 200; ++i) ADPCMDecodeNibble(15, down);
    EXPECT_EQ(down, (TADPCMState{-32768, 88}));
}

TEST(AdpcmDecodeNibble, TreatsADamagedIndexAbove88As88) {
    TADPCMState damaged{0, 200};
    TADPCMState sane{0, 88};
    EXPECT_EQ(ADPCMDecodeNibble(5, damaged), ADPCMDecodeNibble(5, sane));
    EXPECT_EQ(damaged, sane);
}

TEST(AdpcmEncodeSample, KnownAnswersAndLockstepWithTheDecoder) {
    TADPCMState s;
    EXPECT_EQ(ADPCMEncodeSample(11, s), 7);
    EXPECT_EQ(s, (TADPCMState{11, 8}));

    const std::int16_t input[] = {0, 500, 1200, 3000, -2000, -32768, 32767, 100, 90, 80};
    const std::uint8_t codes[] = {0, 7, 7, 7, 15, 15, 7, 9, 0, 8};
    const std::int16_t recon[] = {0, 11, 41, 104, -32, -325, 306, 35, 117, 43};
    TADPCMState enc, dec;
    for (std::size_t i = 0; i < std::size(input); ++i) {
        std::uint8_t code = ADPCMEncodeSample(input[i], enc);
        EXPECT_EQ(code, codes[i]) << "sample " << i;
        EXPECT_EQ(enc.valprev, recon[i]) << "sample " << i;
        ADPCMDecodeNibble(code, dec);
        EXPECT_EQ(enc, dec) << "sample " << i;
    }
    EXPECT_EQ(enc, (TADPCMState{43, 45}));
}

TEST(AdpcmEncodeSample, FullScaleRunsSaturate) {
    TADPCMState s;
    for (int i = 0; i < 300; ++i) {
        ADPCMEncodeSample(32767, s);
        ASSERT_LE(s.index, 88);
    }
    EXPECT_EQ(s.valprev, 32767);
    int highest = 0;
    // Jumping to the other extreme climbs to the top of the table without wrapping.
    for (int i = 0; i < 300; ++i) {
        ADPCMEncodeSample(-32768, s);
        highest = std::max<int>(highest, s.index);
        ASSERT_LE(s.index, 88);
    }
    EXPECT_EQ(highest, 88);
    EXPECT_EQ(s.valprev, -32768);
}

// The quantiser written the plain way, one halving of the step after another, for the
// encoder's table-driven one to be held to.
std::uint8_t plainEncode(std::int16_t sample, TADPCMState& state) {
    static const int kSteps[89] = {
        7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
        31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
        130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
        544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
        2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
        9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    static const int kIndexMoves[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    const int step = kSteps[state.index];
    int diff = sample - state.valprev;
    std::uint8_t code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    int moved = step >> 3;
    if (diff >= step) {
        code |= 4;
        diff -= step;
        moved += step;
    }
    if (diff >= step >> 1) {
        code |= 2;
        diff -= step >> 1;
        moved += step >> 1;
    }
    if (diff >= step >> 2) {
        code |= 1;
        moved += step >> 2;
    }
    const int value = state.valprev + ((code & 8) ? -moved : moved);
    state.valprev = static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
    state.index = static_cast<std::uint8_t>(std::clamp(state.index + kIndexMoves[code & 7], 0, 88));
    return code;
}

TEST(AdpcmEncodeSample, EveryStepAndDistanceGivesThePlainQuantisersCode) {
    // From each index and previous value, samples across the whole 16-bit range: every
    // distance the three halvings tell apart, and both clamps.
    const struct {
        std::int16_t previous;
        int stride;  // between the samples tried
    } rows[] = {{0, 1}, {32767, 5}, {-32768, 5}, {-1, 3}, {20000, 7}, {-12345, 7}};
    for (const auto& row : rows) {
        for (int index = 0; index <= 88; ++index) {
            for (int sample = -32768; sample <= 32767; sample += row.stride) {
                const TADPCMState from{row.previous, static_cast<std::uint8_t>(index)};
                TADPCMState ours = from, plain = from;
                const std::uint8_t code = ADPCMEncodeSample(static_cast<std::int16_t>(sample), ours);
                const std::uint8_t expected = plainEncode(static_cast<std::int16_t>(sample), plain);
                if (code != expected || ours != plain) {
                    ADD_FAILURE() << "from " << row.previous << " at index " << index << ", sample " << sample
                                  << ": code " << int{code} << ", expected " << int{expected};
                    return;
                }
            }
        }
    }
}

struct Encoded {
    std::vector<std::uint8_t> coded;
    std::vector<std::uint8_t> states;
};

Encoded encode(const std::vector<std::int16_t>& pcm, std::int32_t byteCount) {
    Encoded e;
    auto bytes = ToBytes(pcm);
    ADPCMEncodeStream(bytes, e.coded, e.states, byteCount);
    return e;
}

TEST(AdpcmEncodeStream, FewerThanFourBytesGiveNothing) {
    auto pcm = testing::Tone(2, 440, 22050);
    for (std::int32_t n = 0; n <= 3; ++n) {
        Encoded e = encode(pcm, n);
        EXPECT_TRUE(e.coded.empty()) << n;
        EXPECT_TRUE(e.states.empty()) << n;
    }
}

TEST(AdpcmEncodeStream, StoresOneStatePerStartedBlock) {
    auto pcm = testing::Tone(4098, 440, 22050);
    Encoded exact = encode(pcm, 8192);
    EXPECT_EQ(exact.coded.size(), 2048u);
    EXPECT_EQ(exact.states.size(), 3u);

    Encoded over = encode(pcm, 8196);
    EXPECT_EQ(over.coded.size(), 2049u);
    ASSERT_EQ(over.states.size(), 6u);
    // The same first 2048 bytes as the exact run.
    EXPECT_TRUE(std::equal(exact.coded.begin(), exact.coded.end(), over.coded.begin()));

    // Block 0 stores the state after coded byte 0; block 1 the state after byte 2047.
    TADPCMState s;
    ADPCMEncodeSample(pcm[0], s);
    ADPCMEncodeSample(pcm[1], s);
    EXPECT_EQ(ParseStoredStates(over.states)[0], s);
    TADPCMState t;
    for (std::size_t i = 0; i < 4096; ++i) ADPCMEncodeSample(pcm[i], t);
    EXPECT_EQ(ParseStoredStates(over.states)[1], t);
}

TEST(AdpcmEncodeStream, DropsAnOddLastSampleAndTrailingBytes) {
    auto pcm = testing::Tone(4097, 440, 22050);
    Encoded odd = encode(pcm, 8194);
    EXPECT_EQ(odd.coded.size(), 2048u);
    EXPECT_EQ(odd.states.size(), 3u);
    Encoded even = encode(pcm, 8192);
    EXPECT_EQ(odd.coded, even.coded);
}

TEST(AdpcmEncodeStream, ReadsMissingInputAsSilence) {
    // Samples present of the 200 claimed; none at all is a sound of silence only.
    for (std::size_t present : {std::size_t{100}, std::size_t{0}}) {
        auto pcm = testing::Tone(present, 440, 22050);
        Encoded shortInput = encode(pcm, 400);
        auto padded = pcm;
        padded.resize(200, 0);
        Encoded full = encode(padded, 400);
        EXPECT_EQ(shortInput.coded, full.coded) << present;
        EXPECT_EQ(shortInput.states, full.states) << present;
    }
}

TEST(AdpcmEncodeChannels, EachChannelEncodesAsItsSamplesAlone) {
    struct Case {
        std::size_t channels, first, count, frames, keptBytes;  // keptBytes: of the frames' bytes
        std::int32_t byteCount;                                 // of one channel
        const char* what;
    };
    const Case cases[] = {
        {1, 0, 1, 9000, 18000, 18000, "mono"},
        {2, 0, 2, 9000, 36000, 18000, "a stereo pair, past two blocks"},
        {2, 1, 1, 9000, 36000, 18000, "the second channel alone"},
        {5, 1, 3, 5000, 50000, 10000, "a pair, then one channel left"},
        {3, 0, 3, 6000, 20003, 12000, "frames missing, the last one cut short"},
        {2, 0, 2, 6000, 36000, 6002, "an odd byte count"},
        {2, 0, 2, 10, 40, 3, "fewer than four bytes"},
    };
    for (const auto& c : cases) {
        // Every channel a tone of its own, interleaved.
        std::vector<std::vector<std::int16_t>> tones;
        for (std::size_t j = 0; j < c.channels; ++j)
            tones.push_back(testing::Tone(c.frames, 300.0 + 170.0 * static_cast<double>(j), 22050,
                                          9000 + 3000.0 * static_cast<double>(j)));
        std::vector<std::int16_t> interleaved;
        for (std::size_t f = 0; f < c.frames; ++f)
            for (std::size_t j = 0; j < c.channels; ++j) interleaved.push_back(tones[j][f]);
        auto frames = ToBytes(interleaved);
        frames.resize(c.keptBytes);

        std::vector<std::vector<std::uint8_t>> coded(c.count), states(c.count);
        ADPCMEncodeChannels(frames, c.channels, c.first, coded, states, c.byteCount);
        const std::size_t whole = c.keptBytes / (2 * c.channels);
        for (std::size_t k = 0; k < c.count; ++k) {
            auto alone = tones[c.first + k];
            alone.resize(whole);  // the samples of whole frames; the rest is silence
            Encoded e = encode(alone, c.byteCount);
            EXPECT_EQ(coded[k], e.coded) << c.what << ", channel " << c.first + k;
            EXPECT_EQ(states[k], e.states) << c.what << ", channel " << c.first + k;
        }
    }
}

TEST(ChannelEncoder, PiecesGiveWhatTheFramesJoinedGive) {
    struct Case {
        std::size_t channels, first, count, frames;
        std::vector<std::size_t> pieces;  // frames a piece, repeated until the frames run out
        const char* what;
    };
    const Case cases[] = {
        {2, 0, 2, 9001, {9001}, "one piece, an odd frame left out"},
        {2, 0, 2, 9000, {1}, "a frame at a time"},
        {2, 0, 2, 9000, {3, 4, 5}, "odd and even pieces, one frame held across each odd one"},
        {2, 0, 2, 12000, {4095, 1, 4097}, "pieces that end next to a block's edge"},
        {3, 1, 2, 8193, {2048, 2049}, "a pair of three channels"},
        {5, 4, 1, 7000, {333}, "the last channel alone"},
        {1, 0, 1, 3, {1}, "a single coded byte"},
    };
    for (const auto& c : cases) {
        std::vector<std::int16_t> interleaved;
        for (std::size_t f = 0; f < c.frames; ++f)
            for (std::size_t j = 0; j < c.channels; ++j)
                interleaved.push_back(static_cast<std::int16_t>(
                    12000 * std::sin(static_cast<double>(f) * (0.01 + 0.013 * static_cast<double>(j))) +
                    static_cast<double>((f * 7919 + j * 104729) % 2001) - 1000.0));
        const auto frames = ToBytes(interleaved);

        std::vector<std::vector<std::uint8_t>> coded(c.count), states(c.count);
        ADPCMEncodeChannels(frames, c.channels, c.first, coded, states, static_cast<std::int32_t>(2 * c.frames));

        ChannelEncoder encoder(c.channels, c.first, c.count);
        encoder.Reserve(c.frames);
        const std::size_t stride = 2 * c.channels;
        for (std::size_t at = 0, p = 0; at < c.frames; ++p) {
            const std::size_t n = std::min(c.pieces[p % c.pieces.size()], c.frames - at);
            encoder.Add(std::span(frames).subspan(at * stride, n * stride));
            at += n;
        }
        for (std::size_t k = 0; k < c.count; ++k) {
            EXPECT_EQ(encoder.coded(k), coded[k]) << c.what << ", channel " << c.first + k;
            EXPECT_EQ(encoder.states(k), states[k]) << c.what << ", channel " << c.first + k;
        }
    }
}

TEST(AdpcmRoundTrip, BlocksFromTheSecondOnDecodeToTheEncodersReconstruction) {
    auto pcm = testing::Tone(3 * 4096 + 1000, 1234.5, 44100, 20000);
    Encoded e = encode(pcm, static_cast<std::int32_t>(pcm.size() * 2));
    auto states = ParseStoredStates(e.states);
    ASSERT_EQ(states.size(), 4u);

    std::vector<std::int16_t> reconstruction;
    TADPCMState enc;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        ADPCMEncodeSample(pcm[i], enc);
        reconstruction.push_back(enc.valprev);
    }
    std::vector<std::int16_t> decoded(states.size() * kStateBlockSamples);
    DecodeStateBlocks(std::span<const std::uint8_t>(e.coded), states, decoded.data());
    for (std::size_t i = kStateBlockSamples; i < pcm.size(); ++i)
        ASSERT_EQ(decoded[i], reconstruction[i]) << "sample " << i;
}

TEST(DecodeStateBlocks, EveryPathIsBitExactWithTheNibbleDecoder) {
    // Each row: what the coded bytes and the states are, and how many blocks. The counts run
    // below, at and past the lanes' widths (32 blocks a call) so that the lanes, the groups of
    // four and the single blocks all run, and the last block is only partly present.
    enum class Bytes { Random, RisingCodes, FallingCodes, Zeros, Alternating };
    enum class States { Random, Lowest, Highest, PastTheTable };
    struct Case {
        const char* what;
        Bytes bytes;
        States states;
        std::size_t blocks;
    };
    const Case cases[] = {
        {"random, one block", Bytes::Random, States::Random, 1},
        {"random, a group of four and one", Bytes::Random, States::Random, 5},
        {"random, below the lanes", Bytes::Random, States::Random, 31},
        {"random, one lane call", Bytes::Random, States::Random, 32},
        {"random, lanes and a tail", Bytes::Random, States::Random, 70},
        {"random, two lane calls and an odd tail", Bytes::Random, States::Random, 67},
        // Codes 7: the largest step up, the sample held at the top and the index at 88.
        {"clamping at the top", Bytes::RisingCodes, States::Highest, 33},
        // Codes 15: the largest step down, from the top of the range to its bottom.
        {"clamping at the bottom", Bytes::FallingCodes, States::Highest, 33},
        // Codes 0: the index falls and stays at 0.
        {"the index held at 0", Bytes::Zeros, States::Lowest, 32},
        {"up and down by the largest steps", Bytes::Alternating, States::Highest, 36},
        {"indexes past 88 count as 88", Bytes::Random, States::PastTheTable, 40},
    };
    for (LanePath path : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512}) {
        for (const Case& c : cases) {
            std::mt19937 rng(static_cast<std::uint32_t>(c.blocks));
            std::vector<std::uint8_t> coded(c.blocks * kStateBlockBytes - 777);
            for (auto& b : coded) {
                switch (c.bytes) {
                    case Bytes::Random:
                        b = static_cast<std::uint8_t>(rng());
                        break;
                    case Bytes::RisingCodes:
                        b = 0x77;
                        break;
                    case Bytes::FallingCodes:
                        b = 0xFF;
                        break;
                    case Bytes::Zeros:
                        b = 0;
                        break;
                    case Bytes::Alternating:
                        b = 0xF7;
                        break;
                }
            }
            std::vector<TADPCMState> states(c.blocks);
            for (std::size_t k = 0; k < states.size(); ++k) {
                auto value = static_cast<std::int16_t>(rng());
                switch (c.states) {
                    case States::Random:
                        states[k] = {value, static_cast<std::uint8_t>(rng() % 89)};
                        break;
                    case States::Lowest:
                        states[k] = {value, 0};
                        break;
                    case States::Highest:
                        states[k] = {k % 2 ? std::int16_t{32767} : std::int16_t{-32768}, 88};
                        break;
                    case States::PastTheTable:
                        states[k] = {value, static_cast<std::uint8_t>(89 + rng() % 167)};
                        break;
                }
            }

            std::vector<std::int16_t> fast(c.blocks * kStateBlockSamples);
            DecodeStateBlocksOn(path, std::span<const std::uint8_t>(coded), states, fast.data());
            for (std::size_t k = 0; k < c.blocks; ++k) {
                TADPCMState s = states[k];
                for (std::size_t i = 0; i < kStateBlockBytes; ++i) {
                    std::size_t at = k * kStateBlockBytes + i;
                    std::uint8_t b = at < coded.size() ? coded[at] : 0;
                    ASSERT_EQ(fast[k * kStateBlockSamples + 2 * i], ADPCMDecodeNibble(b & 15, s))
                        << static_cast<int>(path) << " " << c.what << ", block " << k << ":" << i;
                    ASSERT_EQ(fast[k * kStateBlockSamples + 2 * i + 1], ADPCMDecodeNibble(b >> 4, s))
                        << static_cast<int>(path) << " " << c.what << ", block " << k << ":" << i;
                }
            }
        }
    }
}

TEST(DecodeStateBlocks, ScatteredBlocksDecodeLikeContiguousOnesAndNullsAsZeros) {
    // Enough blocks for the lanes, two of them out of order, one null, the list ending early.
    constexpr std::size_t kBlocks = 40, kListed = 37;
    std::mt19937 rng(11);
    std::vector<std::uint8_t> coded(kBlocks * kStateBlockBytes);
    for (auto& b : coded) b = static_cast<std::uint8_t>(rng());
    std::vector<TADPCMState> states(kBlocks, TADPCMState{100, 30});
    std::vector<const std::uint8_t*> pointers;
    for (std::size_t k = 0; k < kListed; ++k) pointers.push_back(coded.data() + k * kStateBlockBytes);
    pointers[2] = nullptr;
    std::swap(pointers[20], pointers[21]);

    auto ordered = coded;
    std::fill_n(ordered.begin() + 2 * kStateBlockBytes, kStateBlockBytes, 0);
    std::swap_ranges(ordered.begin() + 20 * kStateBlockBytes, ordered.begin() + 21 * kStateBlockBytes,
                     ordered.begin() + 21 * kStateBlockBytes);
    std::fill(ordered.begin() + kListed * kStateBlockBytes, ordered.end(), 0);  // past the pointer list
    std::vector<std::int16_t> expected(kBlocks * kStateBlockSamples), got(kBlocks * kStateBlockSamples);
    DecodeStateBlocksOn(LanePath::Portable, std::span<const std::uint8_t>(ordered), states, expected.data());
    DecodeStateBlocks(std::span<const std::uint8_t* const>(pointers), states, got.data());
    EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace brenzo::codec
