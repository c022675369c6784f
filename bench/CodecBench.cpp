// Coding speed of every kernel against a baseline that moves the same bytes, measured in the
// same run: coding from one buffer into another against memcpy between two buffers of the same
// size, and coding in place against a loop that reads every vector and writes it back. Ends with
// a table of medians, their spread over the repetitions, and the ratios to the baselines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define CORVANE_BENCH_X86 1
#else
#define CORVANE_BENCH_X86 0
#endif

#include "RatioReport.h"
#include "codec/CodecKernel.h"

namespace corvane::bench {
namespace {

constexpr std::int64_t kSizes[] = {4 << 10, 64 << 10, 1 << 20, 256 << 20};

enum class Direction { Encode, Decode };
enum class Placement { Apart, InPlace };
constexpr const char* kFunctionNames[] = {"EncodeBytes", "DecodeBytes"};
constexpr const char* kPlacementNames[] = {"apart", "in place"};
// The baseline each placement is measured against: the same bytes read and written.
constexpr const char* kBaselineNames[] = {"memcpy", "load-store"};

// Page-aligned, as the file transform's buffer is, so that no run depends on where the
// allocator happened to put a buffer.
struct FreeAligned {
    void operator()(std::uint8_t* bytes) const { ::operator delete[](bytes, std::align_val_t{4096}); }
};
using Buffer = std::unique_ptr<std::uint8_t[], FreeAligned>;

Buffer Filled(std::size_t size)
{
    Buffer bytes(static_cast<std::uint8_t*>(::operator new[](size, std::align_val_t{4096})));
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    return bytes;
}

void Memcpy(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto source = Filled(size);
    const auto target = Filled(size);
    for (auto _ : state) {
        std::memcpy(target.get(), source.get(), size);
        benchmark::DoNotOptimize(target.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Reads each 64 bytes and writes them back unchanged, with the widest vectors every x86-64
// kernel here has in common; the empty assembly keeps the compiler from dropping the store.
#if CORVANE_BENCH_X86
__attribute__((target("avx2"))) void LoadStoreAvx2(std::uint8_t* bytes, std::size_t size)
{
    for (std::size_t i = 0; i + 64 <= size; i += 64) {
        __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32));
        asm volatile("" : "+x"(low), "+x"(high));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + i), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + i + 32), high);
    }
}
#endif

void LoadStorePlain(std::uint8_t* bytes, std::size_t size)
{
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        asm volatile("" : "+r"(word));
        std::memcpy(bytes + i, &word, 8);
    }
}

void LoadStore(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto bytes = Filled(size);
    auto loop = LoadStorePlain;
#if CORVANE_BENCH_X86
    if (__builtin_cpu_supports("avx2")) loop = LoadStoreAvx2;
#endif
    for (auto _ : state) {
        loop(bytes.get(), size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Carries the running value from one pass to the next as a stream of chunks would.
void Code(benchmark::State& state, CodecKernel kernel, Direction direction, Placement placement)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto source = Filled(size);
    const auto apart = placement == Placement::Apart ? Filled(size) : nullptr;
    const std::span<const std::uint8_t> from(source.get(), size);
    const std::span<std::uint8_t> to(apart ? apart.get() : source.get(), size);
    std::uint8_t running = 0;
    for (auto _ : state) {
        running = direction == Direction::Encode ? EncodeBytesWith(kernel, from, to, running)
                                                 : DecodeBytesWith(kernel, from, to, running);
        benchmark::DoNotOptimize(running);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

double Least(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }
double Most(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

void AddSizes(benchmark::internal::Benchmark* runs)
{
    for (const auto size : kSizes) runs->Arg(size);
    runs->ComputeStatistics("min", Least)->ComputeStatistics("max", Most);
}

std::string CodeName(Direction direction, CodecKernel kernel, Placement placement)
{
    std::string name = kFunctionNames[static_cast<int>(direction)];
    name.append("/").append(CodecKernelName(kernel));
    return name.append(placement == Placement::Apart ? "/apart" : "/in_place");
}

void Register()
{
    AddSizes(benchmark::RegisterBenchmark(kBaselineNames[0], Memcpy));
    AddSizes(benchmark::RegisterBenchmark(kBaselineNames[1], LoadStore));
    for (const Placement placement : {Placement::Apart, Placement::InPlace}) {
        for (const Direction direction : {Direction::Encode, Direction::Decode}) {
            for (const CodecKernel kernel : kCodecKernels) {
                if (!CodecKernelSupported(kernel)) continue;
                AddSizes(benchmark::RegisterBenchmark(CodeName(direction, kernel, placement).c_str(), Code,
                                                      kernel, direction, placement));
            }
        }
    }
}

std::string SizeName(std::int64_t size)
{
    return size >= (1 << 20) ? std::to_string(size >> 20) + " MiB" : std::to_string(size >> 10) + " KiB";
}

std::string Key(std::string name, std::int64_t size) { return name.append("/").append(std::to_string(size)); }

// "41.2 (39.0-43.1)": the median speed in GB/s and the slowest and fastest repetition.
std::string Speed(const RatioReport& report, const std::string& key)
{
    const auto* median = report.Find(key);
    const auto* least = report.FindAggregate(key, "min");
    const auto* most = report.FindAggregate(key, "max");
    char text[64];
    if (least && most) {
        std::snprintf(text, sizeof text, "%.1f (%.1f-%.1f)", median->bytesPerSecond / 1e9,
                      least->bytesPerSecond / 1e9, most->bytesPerSecond / 1e9);
    } else {
        std::snprintf(text, sizeof text, "%.1f", median->bytesPerSecond / 1e9);
    }
    return text;
}

void PrintRatios(const RatioReport& report)
{
    std::printf("\nMedians of the repetitions (slowest-fastest in brackets); ratios of medians measured in "
                "this run.\nApart: from one buffer into another, against memcpy. In place: against "
                "reading and writing back the same buffer.\n\n");
    std::printf("| function | kernel | placement | size | GB/s | x baseline | x scalar |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Placement placement : {Placement::Apart, Placement::InPlace}) {
        const auto p = static_cast<int>(placement);
        for (const Direction direction : {Direction::Encode, Direction::Decode}) {
            for (const CodecKernel kernel : kCodecKernels) {
                for (const auto size : kSizes) {
                    const std::string key = Key(CodeName(direction, kernel, placement), size);
                    const auto* coded = report.Find(key);
                    const auto* baseline = report.Find(Key(kBaselineNames[p], size));
                    const auto* scalar = report.Find(Key(CodeName(direction, CodecKernel::Scalar, placement), size));
                    if (!coded || !baseline) continue;
                    char timesScalar[16] = "";
                    if (scalar) {
                        std::snprintf(timesScalar, sizeof timesScalar, "%.1f",
                                      coded->bytesPerSecond / scalar->bytesPerSecond);
                    }
                    std::printf("| %s | %s | %s | %s | %s | %.2f | %s |\n",
                                kFunctionNames[static_cast<int>(direction)],
                                std::string(CodecKernelName(kernel)).c_str(), kPlacementNames[p],
                                SizeName(size).c_str(), Speed(report, key).c_str(),
                                coded->bytesPerSecond / baseline->bytesPerSecond, timesScalar);
                }
            }
        }
        for (const auto size : kSizes) {
            const std::string key = Key(kBaselineNames[p], size);
            if (!report.Find(key)) continue;
            std::printf("| %s | | %s | %s | %s | 1.00 | |\n", kBaselineNames[p], kPlacementNames[p],
                        SizeName(size).c_str(), Speed(report, key).c_str());
        }
    }
}

}  // namespace
}  // namespace corvane::bench

int main(int argc, char** argv)
{
    corvane::bench::CommandLine command(argc, argv, corvane::bench::kRepeatedAndInterleaved);
    benchmark::Initialize(&command.argc(), command.argv());
    if (benchmark::ReportUnrecognizedArguments(command.argc(), command.argv())) return 1;
    corvane::bench::Register();
    corvane::bench::RatioReport report;
    benchmark::RunSpecifiedBenchmarks(&report);
    corvane::bench::PrintRatios(report);
    benchmark::Shutdown();
    return 0;
}
