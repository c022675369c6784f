#include "CodecKernel.h"

#include <atomic>
#include <cassert>
#include <cstdlib>
#include <iterator>

#include "kernels/Kernels.h"

namespace corvane {

namespace {

struct KernelEntry {
    std::string_view name;
    kernels::Kernel encode;
    kernels::Kernel decode;
};

// Indexed by CodecKernel. A kernel this build lacks keeps the scalar functions, but
// CodecKernelSupported() never lets it be chosen.
#if CORVANE_X86_KERNELS
constexpr KernelEntry kEntries[] = {
    {"scalar", kernels::EncodeScalar, kernels::DecodeScalar},
    {"sse2", kernels::EncodeSse2, kernels::DecodeSse2},
    {"avx2", kernels::EncodeAvx2, kernels::DecodeAvx2},
};
#else
constexpr KernelEntry kEntries[] = {
    {"scalar", kernels::EncodeScalar, kernels::DecodeScalar},
    {"sse2", kernels::EncodeScalar, kernels::DecodeScalar},
    {"avx2", kernels::EncodeScalar, kernels::DecodeScalar},
};
#endif
static_assert(std::size(kEntries) == std::size(kCodecKernels));

const KernelEntry& EntryOf(CodecKernel kernel)
{
    return kEntries[static_cast<std::size_t>(kernel)];
}

// Holds the active kernel; set from the processor and the environment at the first use.
std::atomic<CodecKernel>& Active()
{
    static std::atomic<CodecKernel> active = [] {
        const char* requested = std::getenv("CORVANE_CODEC_KERNEL");
        return requested ? ChooseCodecKernel(requested) : ChooseCodecKernel(std::nullopt);
    }();
    return active;
}

const KernelEntry& Usable(CodecKernel kernel)
{
    return EntryOf(CodecKernelSupported(kernel) ? kernel : CodecKernel::Scalar);
}

}  // namespace

std::string_view CodecKernelName(CodecKernel kernel) { return EntryOf(kernel).name; }

std::optional<CodecKernel> CodecKernelNamed(std::string_view name)
{
    for (const CodecKernel kernel : kCodecKernels) {
        if (CodecKernelName(kernel) == name) return kernel;
    }
    return std::nullopt;
}

bool CodecKernelSupported(CodecKernel kernel)
{
    switch (kernel) {
    case CodecKernel::Scalar:
        return true;
#if CORVANE_X86_KERNELS
    case CodecKernel::Sse2:
        return true;
    case CodecKernel::Avx2:
        // Also checks that the operating system saves the 256-bit registers.
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
#endif
    default:
        return false;
    }
}

CodecKernel ChooseCodecKernel(std::optional<std::string_view> requested)
{
    if (requested) {
        if (const auto kernel = CodecKernelNamed(*requested); kernel && CodecKernelSupported(*kernel)) {
            return *kernel;
        }
    }
    CodecKernel fastest = CodecKernel::Scalar;
    for (const CodecKernel kernel : kCodecKernels) {
        if (CodecKernelSupported(kernel)) fastest = kernel;  // listed from slowest to fastest
    }
    return fastest;
}

CodecKernel ActiveCodecKernel() { return Active().load(std::memory_order_relaxed); }

bool SetCodecKernel(CodecKernel kernel)
{
    if (!CodecKernelSupported(kernel)) return false;
    Active().store(kernel, std::memory_order_relaxed);
    return true;
}

std::uint8_t EncodeBytesWith(CodecKernel kernel, std::span<const std::uint8_t> from,
                             std::span<std::uint8_t> to, std::uint8_t running)
{
    assert(to.size() >= from.size());
    return Usable(kernel).encode(from.data(), to.data(), from.size(), running);
}

std::uint8_t DecodeBytesWith(CodecKernel kernel, std::span<const std::uint8_t> from,
                             std::span<std::uint8_t> to, std::uint8_t running)
{
    assert(to.size() >= from.size());
    return Usable(kernel).decode(from.data(), to.data(), from.size(), running);
}

}  // namespace corvane
