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

// Transposes eight vectors of eight 32-bit values: afterwards r[l] holds element l of every
// input, in input order.
__attribute__((target("avx2"))) inline void transpose8(__m256i r[8]) {
    const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
    const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]), t5 = _mm256_unpackhi_epi32(r[4], r[5]);
    const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]), t7 = _mm256_unpackhi_epi32(r[6], r[7]);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
    r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// Stores eight samples (32-bit, already within the 16-bit range) of two lanes.
__attribute__((target("avx2"))) inline void storePair(__m256i a, __m256i b, std::int16_t* outA, std::int16_t* outB) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(outA), _mm256_castsi256_si128(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(outB), _mm256_extracti128_si256(packed, 1));
}

// AVX2: kGroups vectors of eight blocks each (32-bit lanes), the blocks kStateBlockBytes apart
// from `in`; the combined step table is gathered per lane and sample.
template <int kGroups>
__attribute__((target("avx2"))) void decodeAvx2(const std::uint8_t* in, const TADPCMState* states, std::int16_t* out,
                                                const std::int32_t* table) {
    __m256i value[kGroups], row[kGroups], offsets[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        alignas(32) std::int32_t v[8], r[8], o[8];
        for (int l = 0; l < 8; ++l) {
            const TADPCMState& s = states[8 * g + l];
            v[l] = s.valprev;
            r[l] = (s.index > 88 ? 88 : s.index) * 16;
            o[l] = static_cast<std::int32_t>((8 * g + l) * kStateBlockBytes);
        }
        value[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(v));
        row[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(r));
        offsets[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(o));
    }
    const __m256i nibble = _mm256_set1_epi32(15), rowMask = _mm256_set1_epi32(0x7F0);
    const __m256i lo = _mm256_set1_epi32(-32768), hi = _mm256_set1_epi32(32767);
    for (std::size_t i = 0; i < kStateBlockBytes; i += 4) {
        __m256i words[kGroups], samples[kGroups][8];
        for (int g = 0; g < kGroups; ++g)
            words[g] = _mm256_i32gather_epi32(reinterpret_cast<const int*>(in + i), offsets[g], 1);
        for (int k = 0; k < 8; ++k) {
            for (int g = 0; g < kGroups; ++g) {
                const __m256i code = _mm256_and_si256(_mm256_srli_epi32(words[g], 4 * k), nibble);
                const __m256i e = _mm256_i32gather_epi32(table, _mm256_add_epi32(row[g], code), 4);
                value[g] =
                    _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(value[g], _mm256_srai_epi32(e, 11)), lo), hi);
                row[g] = _mm256_and_si256(e, rowMask);
                samples[g][k] = value[g];
            }
        }
        for (int g = 0; g < kGroups; ++g) {
            transpose8(samples[g]);
            std::int16_t* o = out + (8 * g) * kStateBlockSamples + 2 * i;
            for (int l = 0; l < 8; l += 2)
                storePair(samples[g][l], samples[g][l + 1], o + l * kStateBlockSamples,
                          o + (l + 1) * kStateBlockSamples);
        }
    }
}

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

// Four vectors of eight lanes keep enough gathers in flight to hide their latency without
// spilling the samples held for the transpose.
constexpr int kAvx2Groups = 4;

std::size_t LaneWidth(LanePath path) {
    switch (path) {
        case LanePath::Avx2:
            return 8 * kAvx2Groups;
        case LanePath::Avx512:
            return kWideLanes;
        default:
            return 0;
    }
}

void DecodeLanes(LanePath path, const std::uint8_t* in, const TADPCMState* states, std::int16_t* out,
                 const std::int32_t* table) {
    switch (path) {
        case LanePath::Avx2:
            decodeAvx2<kAvx2Groups>(in, states, out, table);
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
void DecodeLanes(LanePath, const std::uint8_t*, const TADPCMState*, std::int16_t*, const std::int32_t*) {}

#endif

LanePath BestLanePath() {
    // AVX-512 looks the steps up in registers and is the fastest where the processor has it;
    // AVX2's gathers are next.
    static const LanePath best = LanePathAvailable(LanePath::Avx512) ? LanePath::Avx512
                                 : LanePathAvailable(LanePath::Avx2) ? LanePath::Avx2
                                                                     : LanePath::Portable;
    return best;
}

}  // namespace brenzo::codec::detail
