// AVX2 kernels, 32 bytes at a time. Only these functions are compiled for AVX2 (a target
// attribute, not a flag for the whole library); they run only after a run-time check. Tails
// shorter than a vector go to the scalar kernel.
#include "Kernels.h"

#if CORVANE_X86_KERNELS

#include <immintrin.h>

#define CORVANE_AVX2 __attribute__((target("avx2")))

namespace corvane::kernels {

namespace {

constexpr std::size_t kWidth = 32;

// Byte i becomes v[0] + ... + v[i]; `total` receives the sum of all 32 bytes in every byte.
CORVANE_AVX2 inline __m256i PrefixSum(__m256i v, __m256i& total)
{
    // Within each 8-byte group: shifts of whole 64-bit lanes move every byte up by 1, 2 and 4
    // places, and the byte-wise additions keep carries out of the neighbouring bytes. These
    // shifts do not compete with the shuffles below for the same execution port.
    v = _mm256_add_epi8(v, _mm256_slli_epi64(v, 8));
    v = _mm256_add_epi8(v, _mm256_slli_epi64(v, 16));
    v = _mm256_add_epi8(v, _mm256_slli_epi64(v, 32));
    // The sum of bytes 0..7 of each 16-byte half into its bytes 8..15 (-1 selects zero).
    const __m256i spreadByte7 = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 7, 7, 7, 7, 7, 7, 7, 7,
                                                 -1, -1, -1, -1, -1, -1, -1, -1, 7, 7, 7, 7, 7, 7, 7, 7);
    v = _mm256_add_epi8(v, _mm256_shuffle_epi8(v, spreadByte7));
    // The low half's total into every byte of the high half.
    const __m256i halfTotals = _mm256_shuffle_epi8(v, _mm256_set1_epi8(15));
    const __m256i swapped = _mm256_permute2x128_si256(halfTotals, halfTotals, 0x01);
    total = _mm256_add_epi8(halfTotals, swapped);
    return _mm256_add_epi8(v, _mm256_blend_epi32(_mm256_setzero_si256(), swapped, 0xF0));
}

// Codes one vector at `at` and returns the carry for the next one.
CORVANE_AVX2 inline __m256i EncodeVector(const std::uint8_t* from, std::uint8_t* to, std::size_t at,
                                         __m256i carry)
{
    __m256i total;
    const __m256i plain = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + at));
    const __m256i sums = PrefixSum(plain, total);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + at), _mm256_add_epi8(sums, carry));
    return _mm256_add_epi8(carry, total);
}

// Codes the vector at `at` (at >= 1) from its bytes and the bytes one place lower.
CORVANE_AVX2 inline void DecodeVector(const std::uint8_t* from, std::uint8_t* to, std::size_t at)
{
    const __m256i coded = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + at));
    const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + at - 1));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + at), _mm256_sub_epi8(coded, before));
}

}  // namespace

CORVANE_AVX2 std::uint8_t EncodeAvx2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                                     std::uint8_t running)
{
    // Each vector's sums only need the carry added, and the next carry is this carry plus the
    // vector's total: one addition per vector on the chain from vector to vector.
    __m256i carry = _mm256_set1_epi8(static_cast<char>(running));
    std::size_t i = 0;
    for (; i + 2 * kWidth <= size; i += 2 * kWidth) {  // one cache line per step
        if (i + kPrefetchDistance < size) Prefetch(from + i + kPrefetchDistance);
        carry = EncodeVector(from, to, i, carry);
        carry = EncodeVector(from, to, i + kWidth, carry);
    }
    for (; i + kWidth <= size; i += kWidth) carry = EncodeVector(from, to, i, carry);
    return EncodeScalar(from + i, to + i, size - i, static_cast<std::uint8_t>(_mm256_cvtsi256_si32(carry)));
}

CORVANE_AVX2 std::uint8_t DecodeAvx2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                                     std::uint8_t running)
{
    if (size == 0) return running;
    const std::uint8_t last = from[size - 1];

    // Each byte minus the byte before it, read with a second load one byte lower, from the end
    // backwards so that the bytes below the current vector are still unchanged when read; within
    // a step the higher vector goes first for the same reason.
    std::size_t end = size;
    while (end > 2 * kWidth) {  // one cache line per step
        end -= 2 * kWidth;
        if (end > kPrefetchDistance) Prefetch(from + end - kPrefetchDistance);
        DecodeVector(from, to, end + kWidth);
        DecodeVector(from, to, end);
    }
    if (end > kWidth) {
        end -= kWidth;
        DecodeVector(from, to, end);
    }
    // The first 1..32 bytes, whose byte 0 follows the running value of the chunk before.
    DecodeScalar(from, to, end, running);
    return last;
}

}  // namespace corvane::kernels

#endif
