// The block decoder in vector lanes: every lane decodes a block of its own, so the predictor
// chains never wait on one another. Compiled for AVX2 and AVX-512 through function attributes
// and chosen at run time; other processors and compilers keep the portable decoder.
#include "codec/IMAADPCMLanes.h"

#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define BRENZO_LANES 1
// GCC 12's AVX-512 headers start some intrinsics from a deliberately undefined vector and warn
// about it where they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#endif

namespace brenzo::codec::detail {

#ifdef BRENZO_LANES
namespace {

// AVX-512: thirty-two blocks, one per 16-bit lane of a vector. The step table (89 entries)
// lives in three registers and is looked up by permutes instead of gathers; the difference is
// built from the step and the code's bits; the sample is added with 16-bit saturation in two
// parts of the same sign (the step, and the rest), which clamps exactly as one wide add would.
// The coded bytes come in rows of 16 a block, turned into one vector per byte pair by the same
// word transpose the samples go out by. Blocks 2048 bytes apart fall into the same few sets of
// the first-level cache, so the samples are collected in a tile of 512 bytes a block and leave
// it in runs of whole cache lines (a quarter faster than rows of one line a block).
constexpr int kWideLanes = 32;
constexpr std::size_t kRowBytes = 16;    // coded bytes a block read at a time
constexpr std::size_t kTileBytes = 128;  // coded bytes a block per tile (512 bytes of samples)

#define BRENZO_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx2")))

// Transposes eight vectors of 8 words in every 128-bit quarter: afterwards quarter q of r[j]
// holds word j of that quarter of every input, in input order.
BRENZO_AVX512 inline void transposeWords(__m512i r[8]) {
    __m512i a[8], b[8];
    for (int p = 0; p < 4; ++p) {
        a[2 * p] = _mm512_unpacklo_epi16(r[2 * p], r[2 * p + 1]);
        a[2 * p + 1] = _mm512_unpackhi_epi16(r[2 * p], r[2 * p + 1]);
    }
    for (int h = 0; h < 2; ++h) {
        b[4 * h + 0] = _mm512_unpacklo_epi32(a[4 * h], a[4 * h + 2]);
        b[4 * h + 1] = _mm512_unpackhi_epi32(a[4 * h], a[4 * h + 2]);
        b[4 * h + 2] = _mm512_unpacklo_epi32(a[4 * h + 1], a[4 * h + 3]);
        b[4 * h + 3] = _mm512_unpackhi_epi32(a[4 * h + 1], a[4 * h + 3]);
    }
    for (int p = 0; p < 4; ++p) {
        r[2 * p] = _mm512_unpacklo_epi64(b[p], b[p + 4]);
        r[2 * p + 1] = _mm512_unpackhi_epi64(b[p], b[p + 4]);
    }
}

BRENZO_AVX512 void decodeAvx512(const std::uint8_t* in, const TADPCMState* states, std::int16_t* out) {
    alignas(64) std::int16_t value0[kWideLanes], index0[kWideLanes], steps[96] = {};
    for (int l = 0; l < kWideLanes; ++l) {
        value0[l] = states[l].valprev;
        index0[l] = static_cast<std::int16_t>(states[l].index > 88 ? 88 : states[l].index);
    }
    for (int k = 0; k < 89; ++k) steps[k] = static_cast<std::int16_t>(kImaSteps[k]);
    alignas(64) std::int16_t adjust[32] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

    __m512i value = _mm512_load_si512(value0), index = _mm512_load_si512(index0);
    const __m512i t0 = _mm512_load_si512(steps), t1 = _mm512_load_si512(steps + 32), t2 = _mm512_load_si512(steps + 64),
                  adj = _mm512_load_si512(adjust);
    const __m512i nibble = _mm512_set1_epi16(15), top = _mm512_set1_epi16(88), zero = _mm512_setzero_si512();
    const __m512i bit0 = _mm512_set1_epi16(1), bit1 = _mm512_set1_epi16(2), bit2 = _mm512_set1_epi16(4),
                  bit3 = _mm512_set1_epi16(8), high = _mm512_set1_epi16(64);

    // One sample of every lane from its 4-bit code.
    auto step = [&](__m512i code) BRENZO_AVX512 {
        __m512i s = _mm512_permutex2var_epi16(t0, index, t1);
        s = _mm512_mask_permutexvar_epi16(s, _mm512_test_epi16_mask(index, high), index, t2);
        const __mmask32 negative = _mm512_test_epi16_mask(code, bit3);
        __m512i d = _mm512_srli_epi16(s, 3);
        d = _mm512_mask_add_epi16(d, _mm512_test_epi16_mask(code, bit1), d, _mm512_srli_epi16(s, 1));
        d = _mm512_mask_add_epi16(d, _mm512_test_epi16_mask(code, bit0), d, _mm512_srli_epi16(s, 2));
        d = _mm512_mask_sub_epi16(d, negative, zero, d);
        s = _mm512_maskz_mov_epi16(_mm512_test_epi16_mask(code, bit2), s);
        s = _mm512_mask_sub_epi16(s, negative, zero, s);
        value = _mm512_adds_epi16(_mm512_adds_epi16(value, d), s);
        index = _mm512_add_epi16(index, _mm512_permutexvar_epi16(code, adj));
        index = _mm512_min_epi16(_mm512_max_epi16(index, zero), top);
        return value;
    };

    alignas(64) std::int16_t tile[kWideLanes][2 * kTileBytes];
    for (std::size_t t = 0; t < kStateBlockBytes; t += kTileBytes) {
        for (std::size_t i = 0; i < kTileBytes; i += kRowBytes) {
            // Word c of lane l's row into word l of words[c].
            __m512i words[8];
            for (int a = 0; a < 8; ++a) {
                auto row = [&](int l) {
                    return _mm_loadu_si128(
                        reinterpret_cast<const __m128i*>(in + static_cast<std::size_t>(l) * kStateBlockBytes + t + i));
                };
                words[a] = _mm512_inserti32x4(_mm512_castsi128_si512(row(a)), row(a + 8), 1);
                words[a] = _mm512_inserti32x4(words[a], row(a + 16), 2);
                words[a] = _mm512_inserti32x4(words[a], row(a + 24), 3);
            }
            transposeWords(words);
            // Four coded bytes, eight samples of every lane, at a time.
            for (std::size_t j = 0; j < kRowBytes; j += 4) {
                __m512i r[8];
                for (int k = 0; k < 8; ++k) {
                    const __m512i w = words[j / 2 + static_cast<std::size_t>(k / 4)];
                    r[k] = step(_mm512_and_si512(_mm512_srli_epi16(w, static_cast<unsigned>(4 * (k % 4))), nibble));
                }
                transposeWords(r);
                // Quarter q of r[c] holds lane 8q + c's eight samples.
                const std::size_t at = 2 * (i + j);
                for (int c = 0; c < 8; ++c) {
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[c][at]), _mm512_castsi512_si128(r[c]));
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[8 + c][at]), _mm512_extracti32x4_epi32(r[c], 1));
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[16 + c][at]), _mm512_extracti32x4_epi32(r[c], 2));
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[24 + c][at]), _mm512_extracti32x4_epi32(r[c], 3));
                }
            }
        }
        for (int l = 0; l < kWideLanes; ++l) {
            std::int16_t* o = out + static_cast<std::size_t>(l) * kStateBlockSamples + 2 * t;
            for (std::size_t x = 0; x < 2 * kTileBytes; x += 32)
                _mm512_storeu_si512(o + x, _mm512_load_si512(&tile[l][x]));
        }
    }
}

// AVX2: thirty-two blocks. The step indexes sit in the bytes of one vector, the samples in the
// 16-bit lanes of two (words 0-7 and 16-23 of the index bytes in the first, 8-15 and 24-31 in
// the second, the order in which bytes unpack into words). The 89 step sizes are looked up by
// byte shuffles over tables held in registers: six tables of 16 low bytes and four of 16 high
// bytes (the steps below index 32 fit in a byte). A shuffle reads the low four bits of its
// index and gives zero where the top bit is set, so table j is read with the index minus 16j,
// which is negative below its range; the tables hold each range XOR the one before it, so that
// XOR-ing the reads of every table at or below the index leaves the entry of its own range.
// The difference is built from the step and the code's bits as on AVX-512, with sign
// operations for the masks and the negation. The coded bytes come in rows of 16 a block through
// a byte transpose, and the samples leave through a tile as on AVX-512 (without the tile the
// path took more than twice as long).
constexpr int kByteLanes = 32;

#define BRENZO_AVX2 __attribute__((target("avx2")))
#define BRENZO_AVX2_INLINE __attribute__((target("avx2"), always_inline))

// One pass of the transposes below: interleaves r[k] with r[k + N/2] by elements of Bits.
template <int Bits, int N>
BRENZO_AVX2_INLINE inline void interleave(const __m256i (&r)[N], __m256i (&t)[N]) {
#pragma GCC unroll 16
    for (int k = 0; k < N / 2; ++k) {
        if constexpr (Bits == 8) {
            t[2 * k] = _mm256_unpacklo_epi8(r[k], r[k + N / 2]);
            t[2 * k + 1] = _mm256_unpackhi_epi8(r[k], r[k + N / 2]);
        } else {
            t[2 * k] = _mm256_unpacklo_epi16(r[k], r[k + N / 2]);
            t[2 * k + 1] = _mm256_unpackhi_epi16(r[k], r[k + N / 2]);
        }
    }
}

// Transposes sixteen vectors of 16 bytes in each 128-bit half: afterwards half h of r[c] holds
// byte c of that half of every input, in input order. Each pass interleaves r[k] with r[k + 8],
// which turns the bits of (vector, byte) one place to the left; four passes swap them.
BRENZO_AVX2_INLINE inline void transposeBytes(__m256i (&r)[16]) {
    __m256i t[16];
    interleave<8>(r, t);
    interleave<8>(t, r);
    interleave<8>(r, t);
    interleave<8>(t, r);
}

// The same for eight vectors of 8 words in each half (three passes, the result in t).
BRENZO_AVX2_INLINE inline void transposeWords(__m256i (&r)[8], __m256i (&t)[8]) {
    interleave<16>(r, t);
    interleave<16>(t, r);
    interleave<16>(r, t);
}

struct Avx2Tables {
    alignas(32) std::uint8_t low[6][32], high[4][32];
    constexpr Avx2Tables() : low{}, high{} {
        auto stepAt = [](int i) { return i < 89 ? kImaSteps[static_cast<std::size_t>(i)] : 0; };
        for (int j = 0; j < 6; ++j)
            for (int l = 0; l < 32; ++l) {
                const int i = 16 * j + l % 16;
                const int below = j > 0 ? stepAt(i - 16) : 0;
                low[j][l] = static_cast<std::uint8_t>((stepAt(i) ^ below) & 0xFF);
                if (j >= 2) high[j - 2][l] = static_cast<std::uint8_t>(((stepAt(i) ^ (j > 2 ? below : 0)) >> 8) & 0xFF);
            }
    }
};
constexpr Avx2Tables kAvx2Tables;

BRENZO_AVX2 void decodeAvx2(const std::uint8_t* in, const TADPCMState* states, std::int16_t* out) {
    alignas(32) std::int8_t index0[kByteLanes];
    alignas(32) std::int16_t value0[2][16];
    for (int l = 0; l < kByteLanes; ++l) {
        index0[l] = static_cast<std::int8_t>(states[l].index > 88 ? 88 : states[l].index);
        value0[(l / 8) % 2][8 * (l / 16) + l % 8] = states[l].valprev;
    }
    __m256i index = _mm256_load_si256(reinterpret_cast<const __m256i*>(index0));
    __m256i valueA = _mm256_load_si256(reinterpret_cast<const __m256i*>(value0[0]));
    __m256i valueB = _mm256_load_si256(reinterpret_cast<const __m256i*>(value0[1]));
    __m256i low[6], high[4];
    for (int j = 0; j < 6; ++j) low[j] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kAvx2Tables.low[j]));
    for (int j = 0; j < 4; ++j) high[j] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kAvx2Tables.high[j]));
    const __m256i adj = _mm256_setr_epi8(-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4,
                                         6, 8, -1, -1, -1, -1, 2, 4, 6, 8);
    const __m256i top = _mm256_set1_epi8(88), zero = _mm256_setzero_si256();
    const __m256i sub1 = _mm256_set1_epi8(16), sub2 = _mm256_set1_epi8(32), sub3 = _mm256_set1_epi8(48),
                  sub4 = _mm256_set1_epi8(64), sub5 = _mm256_set1_epi8(80);
    const __m256i bit0 = _mm256_set1_epi16(1), bit1 = _mm256_set1_epi16(2), bit2 = _mm256_set1_epi16(4);

    // The new value of the lanes in `value` from their steps `s` and code words `cw` (the code
    // in the low byte; a high byte that is never zero and whose top bit is the code's sign).
    auto add = [&](__m256i value, __m256i s, __m256i cw) BRENZO_AVX2_INLINE {
        __m256i d = _mm256_srli_epi16(s, 3);
        d = _mm256_add_epi16(d, _mm256_sign_epi16(_mm256_srli_epi16(s, 2), _mm256_and_si256(cw, bit0)));
        d = _mm256_add_epi16(d, _mm256_sign_epi16(_mm256_srli_epi16(s, 1), _mm256_and_si256(cw, bit1)));
        s = _mm256_sign_epi16(s, _mm256_and_si256(cw, bit2));
        return _mm256_adds_epi16(_mm256_adds_epi16(value, _mm256_sign_epi16(d, cw)), _mm256_sign_epi16(s, cw));
    };
    // One sample of every lane: `code` holds the codes in bytes, `sign` a byte whose top bit is
    // the code's sign and which is never zero.
    auto step = [&](__m256i code, __m256i sign, __m256i& a, __m256i& b) BRENZO_AVX2_INLINE {
        const __m256i x1 = _mm256_sub_epi8(index, sub1), x2 = _mm256_sub_epi8(index, sub2),
                      x3 = _mm256_sub_epi8(index, sub3), x4 = _mm256_sub_epi8(index, sub4),
                      x5 = _mm256_sub_epi8(index, sub5);
        const __m256i lo = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(low[0], index), _mm256_shuffle_epi8(low[1], x1)),
                             _mm256_xor_si256(_mm256_shuffle_epi8(low[2], x2), _mm256_shuffle_epi8(low[3], x3))),
            _mm256_xor_si256(_mm256_shuffle_epi8(low[4], x4), _mm256_shuffle_epi8(low[5], x5)));
        const __m256i hi =
            _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(high[0], x2), _mm256_shuffle_epi8(high[1], x3)),
                             _mm256_xor_si256(_mm256_shuffle_epi8(high[2], x4), _mm256_shuffle_epi8(high[3], x5)));
        valueA = add(valueA, _mm256_unpacklo_epi8(lo, hi), _mm256_unpacklo_epi8(code, sign));
        valueB = add(valueB, _mm256_unpackhi_epi8(lo, hi), _mm256_unpackhi_epi8(code, sign));
        index = _mm256_add_epi8(index, _mm256_shuffle_epi8(adj, code));
        index = _mm256_min_epi8(_mm256_max_epi8(index, zero), top);
        a = valueA;
        b = valueB;
    };

    const __m256i nibble = _mm256_set1_epi8(15), one = _mm256_set1_epi8(1);
    alignas(32) std::int16_t tile[kByteLanes][2 * kTileBytes];
    alignas(32) std::uint8_t columns[kRowBytes][kByteLanes];
    for (std::size_t t = 0; t < kStateBlockBytes; t += kTileBytes) {
        for (std::size_t i = 0; i < kTileBytes; i += kRowBytes) {
            // Byte c of lane l's row into byte l of columns[c].
            __m256i rows[16];
            for (int a = 0; a < 16; ++a) {
                auto row = [&](int l) {
                    return _mm_loadu_si128(
                        reinterpret_cast<const __m128i*>(in + static_cast<std::size_t>(l) * kStateBlockBytes + t + i));
                };
                rows[a] = _mm256_inserti128_si256(_mm256_castsi128_si256(row(a)), row(a + 16), 1);
            }
            transposeBytes(rows);
#pragma GCC unroll 16
            for (int c = 0; c < 16; ++c) _mm256_store_si256(reinterpret_cast<__m256i*>(columns[c]), rows[c]);
            // Four coded bytes, eight samples of every lane, at a time.
            for (std::size_t j = 0; j < kRowBytes; j += 4) {
                __m256i a[8], b[8];
#pragma GCC unroll 4
                for (std::size_t k = 0; k < 4; ++k) {
                    const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(columns[j + k]));
                    const __m256i shifted = _mm256_slli_epi16(v, 4);
                    step(_mm256_and_si256(v, nibble), _mm256_or_si256(shifted, one), a[2 * k], b[2 * k]);
                    step(_mm256_and_si256(_mm256_srli_epi16(v, 4), nibble), _mm256_or_si256(v, one), a[2 * k + 1],
                         b[2 * k + 1]);
                }
                __m256i ta[8], tb[8];
                transposeWords(a, ta);
                transposeWords(b, tb);
                // Half h of a[c] holds lane 16h + c's eight samples, of b[c] lane 16h + 8 + c's.
                const std::size_t at = 2 * (i + j);
                for (int c = 0; c < 8; ++c) {
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[c][at]), _mm256_castsi256_si128(ta[c]));
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[16 + c][at]), _mm256_extracti128_si256(ta[c], 1));
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[8 + c][at]), _mm256_castsi256_si128(tb[c]));
                    _mm_store_si128(reinterpret_cast<__m128i*>(&tile[24 + c][at]), _mm256_extracti128_si256(tb[c], 1));
                }
            }
        }
        for (int l = 0; l < kByteLanes; ++l) {
            std::int16_t* o = out + static_cast<std::size_t>(l) * kStateBlockSamples + 2 * t;
#pragma GCC unroll 16
            for (std::size_t x = 0; x < 2 * kTileBytes; x += 16)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + x),
                                    _mm256_load_si256(reinterpret_cast<const __m256i*>(&tile[l][x])));
        }
    }
}

bool cpuHas(LanePath path) {
    __builtin_cpu_init();
    switch (path) {
        case LanePath::Avx2:
            return __builtin_cpu_supports("avx2");
        case LanePath::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx2");
        default:
            return true;
    }
}

}  // namespace

bool LanePathAvailable(LanePath path) { return cpuHas(path); }

std::size_t LaneWidth(LanePath path) {
    switch (path) {
        case LanePath::Avx2:
            return kByteLanes;
        case LanePath::Avx512:
            return kWideLanes;
        default:
            return 0;
    }
}

void DecodeLanes(LanePath path, const std::uint8_t* in, const TADPCMState* states, std::int16_t* out) {
    switch (path) {
        case LanePath::Avx2:
            decodeAvx2(in, states, out);
            break;
        case LanePath::Avx512:
            decodeAvx512(in, states, out);
            break;
        default:
            break;
    }
}

#else

bool LanePathAvailable(LanePath path) { return path == LanePath::Portable; }
std::size_t LaneWidth(LanePath) { return 0; }
void DecodeLanes(LanePath, const std::uint8_t*, const TADPCMState*, std::int16_t*) {}

#endif

LanePath BestLanePath() {
    // Both look the steps up in registers; AVX-512's vectors are twice as wide.
    static const LanePath best = LanePathAvailable(LanePath::Avx512) ? LanePath::Avx512
                                 : LanePathAvailable(LanePath::Avx2) ? LanePath::Avx2
                                                                     : LanePath::Portable;
    return best;
}

}  // namespace brenzo::codec::detail
