// The codec's kernels, one per instruction set, behind one signature. Internal to the codec
// library: callers use ByteCodec.h, or CodecKernel.h to pick a kernel.
//
// A kernel codes `size` bytes from `from` into `to` and returns the running value for the next
// chunk. `from` and `to` are either the same address (in place) or do not overlap at all. Each
// kernel handles any length, and gives exactly the bytes of the scalar kernel; the vector kernels
// hand their tails shorter than a vector to it.
#pragma once

#include <cstddef>
#include <cstdint>

// The vector kernels need GCC or Clang (for function-level target attributes and run-time CPU
// checks) on x86-64, where SSE2 is always present. Everything else uses the scalar kernel, as
// does a build with CORVANE_SCALAR_ONLY defined (to try that path on x86-64).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(CORVANE_SCALAR_ONLY)
#define CORVANE_X86_KERNELS 1
#else
#define CORVANE_X86_KERNELS 0
#endif

namespace corvane::kernels {

// How far ahead of the current byte the vector kernels ask for memory to be fetched. The
// processor's own prefetching cannot keep a buffer in main memory streaming while the coding
// keeps the core busy; two to four KiB ahead measured best (bench/CodecBench.cpp, 256 MiB).
inline constexpr std::size_t kPrefetchDistance = 2048;

#if CORVANE_X86_KERNELS
// Asks for the cache line holding `address` to be brought into the first-level cache.
inline void Prefetch(const std::uint8_t* address)
{
    __builtin_prefetch(address, 0, 3);
}
#endif

using Kernel = std::uint8_t (*)(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                                std::uint8_t running);

std::uint8_t EncodeScalar(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                          std::uint8_t running);
std::uint8_t DecodeScalar(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                          std::uint8_t running);

#if CORVANE_X86_KERNELS
std::uint8_t EncodeSse2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                        std::uint8_t running);
std::uint8_t DecodeSse2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                        std::uint8_t running);
std::uint8_t EncodeAvx2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                        std::uint8_t running);
std::uint8_t DecodeAvx2(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                        std::uint8_t running);
// Decoding with AVX-512 is DecodeAvx2 (kernels/Avx512.cpp says why).
std::uint8_t EncodeAvx512(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                          std::uint8_t running);
#endif

}  // namespace corvane::kernels
