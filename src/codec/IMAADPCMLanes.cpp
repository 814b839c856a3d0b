// The block decoder in vector lanes: every lane decodes a block of its own, so the predictor
// chains never wait on one another, and the step table is gathered per lane. Compiled for
// AVX2 and AVX-512 through function attributes and chosen at run time; other processors and
// compilers keep the portable decoder.
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

// kGroups vectors of eight blocks each, the blocks kStateBlockBytes apart from `in`.
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

// Sixteen lanes a vector.
template <int kGroups>
__attribute__((target("avx512f,avx512bw,avx512vl,avx2"))) void decodeAvx512(const std::uint8_t* in,
                                                                            const TADPCMState* states,
                                                                            std::int16_t* out,
                                                                            const std::int32_t* table) {
    __m512i value[kGroups], row[kGroups], offsets[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        alignas(64) std::int32_t v[16], r[16], o[16];
        for (int l = 0; l < 16; ++l) {
            const TADPCMState& s = states[16 * g + l];
            v[l] = s.valprev;
            r[l] = (s.index > 88 ? 88 : s.index) * 16;
            o[l] = static_cast<std::int32_t>((16 * g + l) * kStateBlockBytes);
        }
        value[g] = _mm512_load_si512(v);
        row[g] = _mm512_load_si512(r);
        offsets[g] = _mm512_load_si512(o);
    }
    const __m512i nibble = _mm512_set1_epi32(15), rowMask = _mm512_set1_epi32(0x7F0);
    const __m512i lo = _mm512_set1_epi32(-32768), hi = _mm512_set1_epi32(32767);
    for (std::size_t i = 0; i < kStateBlockBytes; i += 4) {
        __m512i words[kGroups];
        __m256i samples[kGroups][2][8];
        for (int g = 0; g < kGroups; ++g) words[g] = _mm512_i32gather_epi32(offsets[g], in + i, 1);
        for (int k = 0; k < 8; ++k) {
            for (int g = 0; g < kGroups; ++g) {
                const __m512i code =
                    _mm512_and_si512(_mm512_srli_epi32(words[g], static_cast<unsigned>(4 * k)), nibble);
                const __m512i e = _mm512_i32gather_epi32(_mm512_add_epi32(row[g], code), table, 4);
                value[g] =
                    _mm512_min_epi32(_mm512_max_epi32(_mm512_add_epi32(value[g], _mm512_srai_epi32(e, 11)), lo), hi);
                row[g] = _mm512_and_si512(e, rowMask);
                samples[g][0][k] = _mm512_castsi512_si256(value[g]);
                samples[g][1][k] = _mm512_extracti64x4_epi64(value[g], 1);
            }
        }
        for (int g = 0; g < kGroups; ++g) {
            for (int h = 0; h < 2; ++h) {
                transpose8(samples[g][h]);
                std::int16_t* o = out + (16 * g + 8 * h) * kStateBlockSamples + 2 * i;
                for (int l = 0; l < 8; l += 2)
                    storePair(samples[g][h][l], samples[g][h][l + 1], o + l * kStateBlockSamples,
                              o + (l + 1) * kStateBlockSamples);
            }
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

// Four vectors of eight lanes (AVX2) and two of sixteen (AVX-512) keep enough gathers in flight
// to hide their latency without spilling the samples held for the transpose.
constexpr int kAvx2Groups = 4;
constexpr int kAvx512Groups = 2;

std::size_t LaneWidth(LanePath path) {
    switch (path) {
        case LanePath::Avx2:
            return 8 * kAvx2Groups;
        case LanePath::Avx512:
            return 16 * kAvx512Groups;
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
            decodeAvx512<kAvx512Groups>(in, states, out, table);
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
    // AVX-512's wider gathers were no faster than AVX2's on the development machine (its gathers
    // are microcoded slowly), so AVX2 comes first where the processor has both.
    static const LanePath best = LanePathAvailable(LanePath::Avx2)     ? LanePath::Avx2
                                 : LanePathAvailable(LanePath::Avx512) ? LanePath::Avx512
                                                                       : LanePath::Portable;
    return best;
}

}  // namespace brenzo::codec::detail
