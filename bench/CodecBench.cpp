// Coding speed against memcpy of the same buffer, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "codec/ByteCodec.h"

namespace {

std::vector<std::uint8_t> Filled(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    return bytes;
}

void BM_Memcpy(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto source = Filled(size);
    std::vector<std::uint8_t> target(size);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), size);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

template <std::uint8_t (*Code)(std::span<std::uint8_t>, std::uint8_t)>
void BM_Code(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    auto bytes = Filled(size);
    std::uint8_t running = 0;
    for (auto _ : state) {
        running = Code(bytes, running);
        benchmark::DoNotOptimize(running);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

constexpr std::uint8_t (*kEncode)(std::span<std::uint8_t>, std::uint8_t) = corvane::EncodeBytes;
constexpr std::uint8_t (*kDecode)(std::span<std::uint8_t>, std::uint8_t) = corvane::DecodeBytes;

BENCHMARK(BM_Memcpy)->Arg(64 << 10)->Arg(1 << 20)->Arg(256 << 20);
BENCHMARK_TEMPLATE(BM_Code, kEncode)->Name("EncodeBytes")->Arg(64 << 10)->Arg(1 << 20)->Arg(256 << 20);
BENCHMARK_TEMPLATE(BM_Code, kDecode)->Name("DecodeBytes")->Arg(64 << 10)->Arg(1 << 20)->Arg(256 << 20);

}  // namespace

BENCHMARK_MAIN();
