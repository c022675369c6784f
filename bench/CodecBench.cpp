// Coding speed of every kernel against memcpy of the same buffer, measured in the same run.
// Ends with a table of medians: speed, and the ratios to memcpy and to the plain loop.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "RatioReport.h"
#include "codec/CodecKernel.h"

namespace corvane::bench {
namespace {

constexpr std::int64_t kSizes[] = {64 << 10, 1 << 20, 256 << 20};

enum class Direction { Encode, Decode };
constexpr const char* kFunctionNames[] = {"EncodeBytes", "DecodeBytes"};

std::vector<std::uint8_t> Filled(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    return bytes;
}

void Memcpy(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto source = Filled(size);
    std::vector<std::uint8_t> target(size);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), size);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// In place, carrying the running value from one pass to the next as a stream of chunks would.
void Code(benchmark::State& state, CodecKernel kernel, Direction direction)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    auto bytes = Filled(size);
    std::uint8_t running = 0;
    for (auto _ : state) {
        running = direction == Direction::Encode ? EncodeBytesWith(kernel, bytes, bytes, running)
                                                 : DecodeBytesWith(kernel, bytes, bytes, running);
        benchmark::DoNotOptimize(running);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

std::string SizeName(std::int64_t size)
{
    return size >= (1 << 20) ? std::to_string(size >> 20) + " MiB" : std::to_string(size >> 10) + " KiB";
}

void Register()
{
    auto* memcpyRuns = benchmark::RegisterBenchmark("memcpy", Memcpy);
    for (const auto size : kSizes) memcpyRuns->Arg(size);
    for (const Direction direction : {Direction::Encode, Direction::Decode}) {
        for (const CodecKernel kernel : kCodecKernels) {
            if (!CodecKernelSupported(kernel)) continue;
            const std::string name = std::string(kFunctionNames[static_cast<int>(direction)]) + "/" +
                                     std::string(CodecKernelName(kernel));
            auto* runs = benchmark::RegisterBenchmark(name.c_str(), Code, kernel, direction);
            for (const auto size : kSizes) runs->Arg(size);
        }
    }
}

// The name RatioReport files a run under: "EncodeBytes/avx2/1048576", "memcpy/1048576".
std::string Key(std::string_view function, std::string_view kernel, std::int64_t size)
{
    std::string key(function);
    if (!kernel.empty()) key.append("/").append(kernel);
    return key.append("/").append(std::to_string(size));
}

void PrintRatios(const RatioReport& report)
{
    std::printf("\nMedians; ratios of speeds measured in this run.\n\n");
    std::printf("| function | kernel | size | GB/s | x memcpy | x scalar |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (const char* function : kFunctionNames) {
        for (const CodecKernel kernel : kCodecKernels) {
            for (const auto size : kSizes) {
                const auto* coded = report.Find(Key(function, CodecKernelName(kernel), size));
                const auto* scalar = report.Find(Key(function, "scalar", size));
                const auto* copied = report.Find(Key("memcpy", "", size));
                if (!coded || !copied) continue;
                char timesScalar[16] = "";
                if (scalar) {
                    std::snprintf(timesScalar, sizeof timesScalar, "%.1f",
                                  coded->bytesPerSecond / scalar->bytesPerSecond);
                }
                std::printf("| %s | %s | %s | %.1f | %.2f | %s |\n", function,
                            std::string(CodecKernelName(kernel)).c_str(), SizeName(size).c_str(),
                            coded->bytesPerSecond / 1e9, coded->bytesPerSecond / copied->bytesPerSecond,
                            timesScalar);
            }
        }
    }
    for (const auto size : kSizes) {
        if (const auto* copied = report.Find(Key("memcpy", "", size))) {
            std::printf("| memcpy | | %s | %.1f | 1.00 | |\n", SizeName(size).c_str(),
                        copied->bytesPerSecond / 1e9);
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
