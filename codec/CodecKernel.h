// The codec's kernels: the same transform written for different instruction sets.
//
// Every kernel gives exactly the bytes of the plain loop, `CodecKernel::Scalar`, which defines
// the coding and is the reference the others are tested against. `EncodeBytes` and `DecodeBytes`
// use the active kernel: the fastest one the processor supports, unless one is forced.
//
// A kernel is forced by SetCodecKernel(), or by the environment variable CORVANE_CODEC_KERNEL
// (scalar, sse2, avx2 or avx512) through CodecKernelFromEnvironment(), which every Corvane
// program calls once at start-up. A forced kernel runs or nothing does: a name that is unknown,
// or that this processor cannot run, is an error naming the choices, never a quiet substitute.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "Error.h"

namespace corvane {

// Listed from the slowest to the fastest.
enum class CodecKernel : std::uint8_t { Scalar, Sse2, Avx2, Avx512 };

inline constexpr CodecKernel kCodecKernels[] = {CodecKernel::Scalar, CodecKernel::Sse2,
                                                CodecKernel::Avx2, CodecKernel::Avx512};

// "scalar", "sse2", "avx2", "avx512"; CodecKernelNamed() is the inverse (nothing for an unknown
// name).
std::string_view CodecKernelName(CodecKernel kernel);
std::optional<CodecKernel> CodecKernelNamed(std::string_view name);

// True when this build has the kernel and this processor (and its operating system) can run it.
bool CodecKernelSupported(CodecKernel kernel);
CodecKernel FastestCodecKernel();

// The kernel with this name, when this processor can run it. Fails with EINVAL and a
// description that names the kernels there are, or those this processor can run.
ErrorOr<CodecKernel> ParseCodecKernel(std::string_view name);

// Makes the kernel CORVANE_CODEC_KERNEL names the active one. Nothing happens when the variable
// is unset or empty; a name ParseCodecKernel() refuses is returned as its error, prefixed with the
// variable's name, and leaves the active kernel as it was.
[[nodiscard]] std::optional<Error> CodecKernelFromEnvironment();

CodecKernel ActiveCodecKernel();
// Makes `kernel` the active kernel for every thread. Fails with EINVAL, changing nothing, when
// this processor cannot run it.
[[nodiscard]] std::optional<Error> SetCodecKernel(CodecKernel kernel);

// One kernel called directly, whichever is active: codes from.size() bytes of `from` into `to`,
// with `running` and the result as in the chunked forms of ByteCodec.h. `to` must be at least as
// long as `from` and either start at the same address (in place) or not overlap it at all.
// The kernel must be supported: a debug build stops on another, a release build codes with the
// scalar kernel rather than run instructions the processor lacks.
std::uint8_t EncodeBytesWith(CodecKernel kernel, std::span<const std::uint8_t> from,
                             std::span<std::uint8_t> to, std::uint8_t running);
std::uint8_t DecodeBytesWith(CodecKernel kernel, std::span<const std::uint8_t> from,
                             std::span<std::uint8_t> to, std::uint8_t running);

}  // namespace corvane
