// SSE2 kernels, 16 bytes at a time. SSE2 is part of every x86-64 processor, so these need no
// target attribute and no run-time check.
#include "Kernels.h"

#if CORVANE_X86_KERNELS

#include <emmintrin.h>

namespace corvane::kernels {

namespace {

constexpr std::size_t kWidth = 16;

// Byte i becomes v[0] + ... + v[i]: four shift-and-add steps double the summed span each time.
inline __m128i PrefixSum(__m128i v)
{
    v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
    return _mm_add_epi8(v, _mm_slli_si128(v, 8));
}

// Byte 15 in all 16 bytes.
inline __m128i BroadcastLast(__m128i v)
{
    v = _mm_unpackhi_epi8(v, v);       // bytes 8..15, each twice
    v = _mm_shufflehi_epi16(v, 0xFF);  // byte 15 into the upper eight bytes
    return _mm_shuffle_epi32(v, 0xFF);
}

// Codes one vector at `at` and returns the carry for the next one.
inline __m128i EncodeVector(const std::uint8_t* from, std::uint8_t* to, std::size_t at, __m128i carry)
{
    const __m128i sums = PrefixSum(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at), _mm_add_epi8(sums, carry));
    return _mm_add_epi8(carry, BroadcastLast(sums));
}

// Codes the vector at `at` (at >= 1) from its bytes and the bytes one place lower.
inline void DecodeVector(const std::uint8_t* from, std::uint8_t* to, std::size_t at)
{
    const __m128i coded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at - 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at), _mm_sub_epi8(coded, before));
}

}  // namespace

std::uint8_t EncodeSse2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                        std::uint8_t running)
{
    // Each vector's sums only need the carry added, and the next carry is this carry plus the
    // vector's total: one addition per vector on the chain from vector to vector.
    __m128i carry = _mm_set1_epi8(static_cast<char>(running));
    std::size_t i = 0;
    for (; i + 4 * kWidth <= size; i += 4 * kWidth) {  // one cache line per step
        if (i + kPrefetchDistance < size) Prefetch(from + i + kPrefetchDistance);
        for (std::size_t k = 0; k < 4; ++k) carry = EncodeVector(from, to, i + k * kWidth, carry);
    }
    for (; i + kWidth <= size; i += kWidth) carry = EncodeVector(from, to, i, carry);
    return EncodeScalar(from + i, to + i, size - i, static_cast<std::uint8_t>(_mm_cvtsi128_si32(carry)));
}

std::uint8_t DecodeSse2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                        std::uint8_t running)
{
    if (size == 0) return running;
    const std::uint8_t last = from[size - 1];

    // Each byte minus the byte before it, read with a second load one byte lower. Working from
    // the end backwards keeps the bytes below the current vector unchanged until they are read,
    // also in place; within a step the higher vectors go first for the same reason.
    std::size_t end = size;
    while (end > 4 * kWidth) {  // one cache line per step
        end -= 4 * kWidth;
        if (end > kPrefetchDistance) Prefetch(from + end - kPrefetchDistance);
        for (std::size_t k = 4; k-- > 0;) DecodeVector(from, to, end + k * kWidth);
    }
    while (end > kWidth) {
        end -= kWidth;
        DecodeVector(from, to, end);
    }
    // The first 1..16 bytes, whose byte 0 follows the running value of the chunk before.
    DecodeScalar(from, to, end, running);
    return last;
}

}  // namespace corvane::kernels

#endif
