// The codec's kernels: the same transform written for different instruction sets.
//
// Every kernel gives exactly the bytes of the plain loop, `CodecKernel::Scalar`, which defines
// the coding and is the reference the others are tested against. `EncodeBytes` and `DecodeBytes`
// use the active kernel: the fastest one the processor supports, chosen at their first call.
// The environment variable CORVANE_CODEC_KERNEL (scalar, sse2 or avx2), read once at that moment,
// or SetCodecKernel() at any time, forces another one. A kernel the processor lacks is never
// used: such a request is ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace corvane {

enum class CodecKernel : std::uint8_t { Scalar, Sse2, Avx2 };

inline constexpr CodecKernel kCodecKernels[] = {CodecKernel::Scalar, CodecKernel::Sse2,
                                                CodecKernel::Avx2};

// "scalar", "sse2", "avx2"; CodecKernelNamed() is the inverse (nothing for an unknown name).
std::string_view CodecKernelName(CodecKernel kernel);
std::optional<CodecKernel> CodecKernelNamed(std::string_view name);

// True when this build has the kernel and this processor (and its operating system) can run it.
bool CodecKernelSupported(CodecKernel kernel);

// The kernel chosen for a request such as the environment variable's value: the named kernel
// when it is supported, otherwise (no name, an unknown one, an unsupported one) the fastest
// supported kernel.
CodecKernel ChooseCodecKernel(std::optional<std::string_view> requested);

CodecKernel ActiveCodecKernel();
// Makes `kernel` the active kernel for every thread. Returns false and changes nothing when it
// is not supported.
bool SetCodecKernel(CodecKernel kernel);

// One kernel called directly, whichever is active: codes from.size() bytes of `from` into `to`,
// with `running` and the result as in the chunked forms of ByteCodec.h. `to` must be at least as
// long as `from` and either start at the same address (in place) or not overlap it at all.
// An unsupported kernel is replaced by the scalar one.
std::uint8_t EncodeBytesWith(CodecKernel kernel, std::span<const std::uint8_t> from,
                             std::span<std::uint8_t> to, std::uint8_t running);
std::uint8_t DecodeBytesWith(CodecKernel kernel, std::span<const std::uint8_t> from,
                             std::span<std::uint8_t> to, std::uint8_t running);

}  // namespace corvane
