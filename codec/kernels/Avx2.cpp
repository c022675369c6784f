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
constexpr std::size_t kPrefetchAbove = std::size_t{4} << 20;

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

constexpr std::size_t kGroup = 8;  // vectors whose 8-byte totals share one offset computation

struct GroupMasks {
    alignas(32) std::int8_t gather[kGroup][kWidth];
    alignas(32) std::int8_t spread[kGroup][kWidth];
};

// For vector k: `gather` moves the totals of its two 8-byte groups in each 16-byte half (bytes 7
// and 15) to bytes 2k and 2k + 1 and zeroes the rest; `spread` copies bytes 2k and 2k + 1 back
// over the two groups.
constexpr GroupMasks MakeGroupMasks()
{
    GroupMasks masks{};
    for (std::size_t k = 0; k < kGroup; ++k) {
        for (std::size_t b = 0; b < kWidth; ++b) {
            const std::size_t inHalf = b % 16;
            masks.gather[k][b] = inHalf == 2 * k ? 7 : inHalf == 2 * k + 1 ? 15 : -1;
            masks.spread[k][b] = static_cast<std::int8_t>(2 * k + inHalf / 8);
        }
    }
    return masks;
}

constexpr GroupMasks kGroupMasks = MakeGroupMasks();

CORVANE_AVX2 inline __m256i Mask(const std::int8_t* bytes)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

// Codes kGroup vectors from `at` and returns the carry for the next ones. Each vector is summed
// only within its 8-byte groups; the group totals of all the vectors are gathered into one
// vector, where the offset of every group is worked out at once and then added back with one
// shuffle per vector. Half h of the gathered vector holds groups 2h and 2h + 1 of each vector.
CORVANE_AVX2 inline __m256i EncodeGroup(const std::uint8_t* from, std::uint8_t* to, std::size_t at,
                                        __m256i carry)
{
    __m256i sums[kGroup];
    __m256i gathered = _mm256_setzero_si256();
    for (std::size_t k = 0; k < kGroup; ++k) {
        // The first step adds each byte's lower neighbour from a second load one place lower
        // rather than a shift: loads are cheaper here than the shift pipe, the core's limit.
        const std::uint8_t* bytes = from + at + k * kWidth;
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
        const __m256i lower = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes - 1));
        v = _mm256_add_epi8(v, _mm256_and_si256(lower, _mm256_set1_epi64x(-0x100)));
        v = _mm256_add_epi8(v, _mm256_slli_epi64(v, 16));
        v = _mm256_add_epi8(v, _mm256_slli_epi64(v, 32));
        sums[k] = v;
        gathered = _mm256_add_epi8(gathered, _mm256_shuffle_epi8(v, Mask(kGroupMasks.gather[k])));
    }
    // Bytes 2k + 1 of `pairs`: the total of the two groups of vector k in this half.
    const __m256i firstOfPair = _mm256_slli_epi16(gathered, 8);
    const __m256i pairs = _mm256_add_epi8(gathered, firstOfPair);
    // Bytes 2k + 1 of `totals`, in both halves: the total of vector k, and then the running
    // totals of vectors 0..k.
    __m256i totals = _mm256_add_epi8(pairs, _mm256_permute2x128_si256(pairs, pairs, 0x01));
    totals = _mm256_add_epi8(totals, _mm256_bslli_epi128(totals, 2));
    totals = _mm256_add_epi8(totals, _mm256_bslli_epi128(totals, 4));
    totals = _mm256_add_epi8(totals, _mm256_bslli_epi128(totals, 8));
    // Bytes 2k + 1: the totals of the vectors before k, plus in the high half the low half of k.
    const __m256i before = _mm256_add_epi8(_mm256_bslli_epi128(totals, 2),
                                           _mm256_permute2x128_si256(pairs, pairs, 0x08));
    const __m256i pairOdd = _mm256_setr_epi8(1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15,
                                             1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15);
    const __m256i offsets =
        _mm256_add_epi8(_mm256_add_epi8(_mm256_shuffle_epi8(before, pairOdd), firstOfPair), carry);
    for (std::size_t k = 0; k < kGroup; ++k) {
        const __m256i offset = _mm256_shuffle_epi8(offsets, Mask(kGroupMasks.spread[k]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + at + k * kWidth),
                            _mm256_add_epi8(sums[k], offset));
    }
    return _mm256_add_epi8(carry, _mm256_shuffle_epi8(totals, _mm256_set1_epi8(15)));
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
    // total of the vector or group: one addition per step on the chain from step to step.
    __m256i carry = _mm256_set1_epi8(static_cast<char>(running));
    std::size_t i = 0;
    // The groups load from one byte below each vector, so the first vector is coded alone; the
    // byte below a vector is masked off, so coding in place never uses a coded byte. Asking for
    // the source ahead measured slower at 1 MiB, the file chunk, which the caches hold, and
    // faster at 256 MiB, so only calls of 4 MiB and more do it.
    if (size >= kWidth) {
        carry = EncodeVector(from, to, 0, carry);
        i = kWidth;
    }
    if (size >= kPrefetchAbove) {
        for (; i + kGroup * kWidth <= size; i += kGroup * kWidth) {
            for (std::size_t line = 0; line < kGroup * kWidth; line += 64) {
                if (i + line + kPrefetchDistance < size) Prefetch(from + i + line + kPrefetchDistance);
            }
            carry = EncodeGroup(from, to, i, carry);
        }
    }
    for (; i + kGroup * kWidth <= size; i += kGroup * kWidth) carry = EncodeGroup(from, to, i, carry);
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
