#include "CodecKernel.h"

#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "Describe.h"
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
    {"avx512", kernels::EncodeAvx512, kernels::DecodeAvx2},
};
#else
constexpr KernelEntry kEntries[] = {
    {"scalar", kernels::EncodeScalar, kernels::DecodeScalar},
    {"sse2", kernels::EncodeScalar, kernels::DecodeScalar},
    {"avx2", kernels::EncodeScalar, kernels::DecodeScalar},
    {"avx512", kernels::EncodeScalar, kernels::DecodeScalar},
};
#endif
static_assert(std::size(kEntries) == std::size(kCodecKernels));

const KernelEntry& EntryOf(CodecKernel kernel)
{
    return kEntries[static_cast<std::size_t>(kernel)];
}

// Holds the active kernel: the fastest one until a kernel is forced.
std::atomic<CodecKernel>& Active()
{
    static std::atomic<CodecKernel> active = FastestCodecKernel();
    return active;
}

// The names of the kernels for which `keep` holds, from the slowest to the fastest.
std::vector<std::string_view> KernelNames(bool (*keep)(CodecKernel))
{
    std::vector<std::string_view> names;
    for (const CodecKernel kernel : kCodecKernels) {
        if (keep(kernel)) names.push_back(CodecKernelName(kernel));
    }
    return names;
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
    // These also check that the operating system saves the wider registers.
    case CodecKernel::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case CodecKernel::Avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
#endif
    default:
        return false;
    }
}

CodecKernel FastestCodecKernel()
{
    CodecKernel fastest = CodecKernel::Scalar;
    for (const CodecKernel kernel : kCodecKernels) {
        if (CodecKernelSupported(kernel)) fastest = kernel;
    }
    return fastest;
}

ErrorOr<CodecKernel> ParseCodecKernel(std::string_view name)
{
    const auto kernel = CodecKernelNamed(name);
    if (!kernel) return UnknownKernelError(EINVAL, name, KernelNames([](CodecKernel) { return true; }));
    if (!CodecKernelSupported(*kernel)) return UnsupportedKernelError(EINVAL, name, KernelNames(CodecKernelSupported));
    return *kernel;
}

std::optional<Error> CodecKernelFromEnvironment()
{
    const char* requested = std::getenv("CORVANE_CODEC_KERNEL");
    if (!requested || !*requested) return std::nullopt;
    const auto kernel = ParseCodecKernel(requested);
    if (!kernel) return EnvironmentError("CORVANE_CODEC_KERNEL", kernel.error());
    return SetCodecKernel(*kernel);
}

CodecKernel ActiveCodecKernel() { return Active().load(std::memory_order_relaxed); }

std::optional<Error> SetCodecKernel(CodecKernel kernel)
{
    if (!CodecKernelSupported(kernel)) return ParseCodecKernel(CodecKernelName(kernel)).error();
    Active().store(kernel, std::memory_order_relaxed);
    return std::nullopt;
}

namespace {

const KernelEntry& Usable(CodecKernel kernel)
{
    const bool supported = CodecKernelSupported(kernel);
    assert(supported && "the kernel must be supported");
    return EntryOf(supported ? kernel : CodecKernel::Scalar);
}

}  // namespace

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
