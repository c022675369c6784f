// AVX-512 encoding, 512 bytes at a time. Needs AVX-512BW for byte arithmetic and AVX-512VBMI for
// byte permutes across a whole vector; like the AVX2 kernel, only these functions are compiled
// for it (a target attribute) and they run only after a run-time check.
//
// Summing each 64-byte vector on its own and carrying its last byte to the next was slower than
// the AVX2 kernel on a processor that executes 512-bit work in two halves: the shuffles that
// carry sums across the vector's 8-byte lanes dominate. So eight vectors are summed within their
// lanes first, the 64 lane totals are gathered into one vector and summed across it once, and
// each lane then gets its offset with one permute. Decoding is one subtraction per vector and
// gains nothing measured from wider vectors, so this kernel decodes with the AVX2 loop.
#include "Kernels.h"

#if CORVANE_X86_KERNELS

#include <immintrin.h>

// GCC 12 takes the deliberately undefined vector its own AVX-512 intrinsics start from for an
// uninitialised variable.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define CORVANE_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))
// The helpers pass whole vectors, which only stay in registers when the helpers are inlined.
#define CORVANE_AVX512_INLINE __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline

namespace corvane::kernels {

namespace {

constexpr std::size_t kWidth = 64;
constexpr std::size_t kGroup = 8;  // vectors per step: 8 x 8 lanes give one vector of lane totals

// Within each 8-byte lane, byte i becomes the sum of the lane's bytes 0..i: shifts of whole
// 64-bit lanes move every byte up by 1, 2 and 4 places, and byte-wise additions keep carries out
// of the neighbouring bytes.
CORVANE_AVX512_INLINE __m512i LaneSums(__m512i v)
{
    v = _mm512_add_epi8(v, _mm512_slli_epi64(v, 8));
    v = _mm512_add_epi8(v, _mm512_slli_epi64(v, 16));
    return _mm512_add_epi8(v, _mm512_slli_epi64(v, 32));
}

// `v` moved up by `lanes` 8-byte lanes across the whole vector, zeros coming in.
template <int lanes>
CORVANE_AVX512_INLINE __m512i LanesUp(__m512i v)
{
    return _mm512_alignr_epi64(v, _mm512_setzero_si512(), 8 - lanes);
}

// Byte i becomes v[0] + ... + v[i] across the whole vector.
CORVANE_AVX512_INLINE __m512i VectorSums(__m512i v)
{
    const __m512i sums = LaneSums(v);
    // Each lane's total (its byte 7) in all its bytes; the byte shuffle works within 16 bytes.
    const __m512i laneTop = _mm512_set_epi64(0x0F0F0F0F0F0F0F0F, 0x0707070707070707, 0x0F0F0F0F0F0F0F0F,
                                             0x0707070707070707, 0x0F0F0F0F0F0F0F0F, 0x0707070707070707,
                                             0x0F0F0F0F0F0F0F0F, 0x0707070707070707);
    const __m512i totals = _mm512_shuffle_epi8(sums, laneTop);
    // The sum of the totals of all lanes below each lane, in log steps.
    __m512i below = LanesUp<1>(totals);
    below = _mm512_add_epi8(below, LanesUp<1>(below));
    below = _mm512_add_epi8(below, LanesUp<2>(below));
    below = _mm512_add_epi8(below, LanesUp<4>(below));
    return _mm512_add_epi8(sums, below);
}

// Byte 7 of every lane of `a` and of `b`, in that order, repeated in every 16 bytes.
CORVANE_AVX512_INLINE __m512i LaneTopsOf(__m512i a, __m512i b)
{
    alignas(64) static constexpr std::uint8_t kIndex[64] = {
        7,  15,  23,  31,  39,  47,  55,  63,  71, 79, 87, 95, 103, 111, 119, 127,
        7,  15,  23,  31,  39,  47,  55,  63,  71, 79, 87, 95, 103, 111, 119, 127,
        7,  15,  23,  31,  39,  47,  55,  63,  71, 79, 87, 95, 103, 111, 119, 127,
        7,  15,  23,  31,  39,  47,  55,  63,  71, 79, 87, 95, 103, 111, 119, 127,
    };
    return _mm512_permutex2var_epi8(a, _mm512_loadu_si512(kIndex), b);
}

// Codes the 8 vectors at `at` and returns the carry for the next step.
CORVANE_AVX512_INLINE __m512i EncodeGroup(const std::uint8_t* from, std::uint8_t* to, std::size_t at,
                                          __m512i carry)
{
    __m512i sums[kGroup];
#pragma GCC unroll 8
    for (std::size_t k = 0; k < kGroup; ++k) {
        sums[k] = LaneSums(_mm512_loadu_si512(from + at + k * kWidth));
    }
    // Lane j of vector k has its total at byte 8k + j: two vectors' totals per 16 bytes.
    __m512i totals = LaneTopsOf(sums[0], sums[1]);
    totals = _mm512_mask_blend_epi8(0x00000000FFFF0000, totals, LaneTopsOf(sums[2], sums[3]));
    totals = _mm512_mask_blend_epi8(0x0000FFFF00000000, totals, LaneTopsOf(sums[4], sums[5]));
    totals = _mm512_mask_blend_epi8(0xFFFF000000000000, totals, LaneTopsOf(sums[6], sums[7]));
    // Every lane's offset: the carry and the totals of all lanes before it.
    const __m512i through = VectorSums(totals);
    const __m512i offsets = _mm512_add_epi8(_mm512_sub_epi8(through, totals), carry);

    // Byte 8j + i of vector k takes offset 8k + j.
    const __m512i lane = _mm512_set_epi64(0x0707070707070707, 0x0606060606060606, 0x0505050505050505,
                                          0x0404040404040404, 0x0303030303030303, 0x0202020202020202,
                                          0x0101010101010101, 0x0000000000000000);
#pragma GCC unroll 8
    for (std::size_t k = 0; k < kGroup; ++k) {
        const __m512i index = _mm512_add_epi8(lane, _mm512_set1_epi8(static_cast<char>(8 * k)));
        const __m512i coded = _mm512_add_epi8(sums[k], _mm512_permutexvar_epi8(index, offsets));
        _mm512_storeu_si512(to + at + k * kWidth, coded);
    }
    return _mm512_add_epi8(carry, _mm512_permutexvar_epi8(_mm512_set1_epi8(63), through));
}

// Codes one vector at `at` and returns the carry for the next one.
CORVANE_AVX512_INLINE __m512i EncodeVector(const std::uint8_t* from, std::uint8_t* to, std::size_t at,
                                           __m512i carry)
{
    const __m512i coded = _mm512_add_epi8(VectorSums(_mm512_loadu_si512(from + at)), carry);
    _mm512_storeu_si512(to + at, coded);
    return _mm512_permutexvar_epi8(_mm512_set1_epi8(63), coded);
}

}  // namespace

CORVANE_AVX512 std::uint8_t EncodeAvx512(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                                         std::uint8_t running)
{
    // Every store of a step comes after all its loads, so coding in place is safe.
    __m512i carry = _mm512_set1_epi8(static_cast<char>(running));
    std::size_t i = 0;
    for (; i + kGroup * kWidth <= size; i += kGroup * kWidth) {
#pragma GCC unroll 8
        for (std::size_t k = 0; k < kGroup; ++k) {
            if (i + kPrefetchDistance + k * kWidth < size) Prefetch(from + i + kPrefetchDistance + k * kWidth);
        }
        carry = EncodeGroup(from, to, i, carry);
    }
    for (; i + kWidth <= size; i += kWidth) carry = EncodeVector(from, to, i, carry);
    return EncodeScalar(from + i, to + i, size - i, static_cast<std::uint8_t>(_mm512_cvtsi512_si32(carry)));
}

}  // namespace corvane::kernels

#endif
