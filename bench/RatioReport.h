// Prints the usual console report and remembers each benchmark's median, so that a benchmark
// program can end with ratios between runs measured in the same process.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::bench {

// The command line with default flags put first, so that flags given by the user, which come
// later, override them. Keeps the arguments alive for benchmark::Initialize.
class CommandLine {
public:
    CommandLine(int argc, char** argv, std::span<const char* const> defaults)
        : defaults_(defaults.begin(), defaults.end())
    {
        args_.push_back(argv[0]);
        for (std::string& flag : defaults_) args_.push_back(flag.data());
        args_.insert(args_.end(), argv + 1, argv + argc);
        argc_ = static_cast<int>(args_.size());
        args_.push_back(nullptr);
    }

    int& argc() { return argc_; }
    char** argv() { return args_.data(); }

private:
    std::vector<std::string> defaults_;
    std::vector<char*> args_;
    int argc_ = 0;
};

// Medians over repetitions interleaved in random order: a slow spell of the shared machine
// then spreads over all benchmarks instead of hitting one side of a ratio.
inline constexpr const char* kRepeatedAndInterleaved[] = {
    "--benchmark_repetitions=5",
    "--benchmark_enable_random_interleaving=true",
    "--benchmark_report_aggregates_only=true",
};
// The same with more repetitions, for runs on a disk and page cache that other work shares.
inline constexpr const char* kRepeatedOftenAndInterleaved[] = {
    "--benchmark_repetitions=11",
    "--benchmark_enable_random_interleaving=true",
    "--benchmark_report_aggregates_only=true",
};

struct Median {
    double seconds = 0;         // real time per iteration
    double bytesPerSecond = 0;  // 0 when the benchmark sets no byte count
    std::map<std::string, double> counters;  // the benchmark's own counters
};

class RatioReport : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            Samples& samples = samples_[Key(run)];
            const Median value = ValueOf(run);
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") samples.median = value;
                samples.aggregates[run.aggregate_name] = value;
            } else {
                samples.iterations.push_back(value);
            }
        }
    }

    // The median of the repetitions (or the one run) of "name/args", e.g. "memcpy/1048576".
    // Repetitions are reported only as aggregates when --benchmark_report_aggregates_only is on.
    const Median* Find(const std::string& key) const
    {
        const auto found = samples_.find(key);
        if (found == samples_.end()) return nullptr;
        const Samples& samples = found->second;
        if (samples.median) return &*samples.median;
        if (samples.iterations.empty()) return nullptr;
        auto sorted = samples.iterations;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Median& a, const Median& b) { return a.seconds < b.seconds; });
        medians_[key] = sorted[sorted.size() / 2];  // the upper median of an even count
        return &medians_[key];
    }

    // Another statistic over the repetitions of "name/args", such as one the benchmark added with
    // ComputeStatistics ("min", "max"); nothing when there were no repetitions.
    const Median* FindAggregate(const std::string& key, const std::string& statistic) const
    {
        const auto found = samples_.find(key);
        if (found == samples_.end()) return nullptr;
        const auto aggregate = found->second.aggregates.find(statistic);
        return aggregate == found->second.aggregates.end() ? nullptr : &aggregate->second;
    }

private:
    struct Samples {
        std::optional<Median> median;
        std::map<std::string, Median> aggregates;
        std::vector<Median> iterations;
    };

    static std::string Key(const Run& run)
    {
        return run.run_name.args.empty() ? run.run_name.function_name
                                         : run.run_name.function_name + "/" + run.run_name.args;
    }

    static Median ValueOf(const Run& run)
    {
        Median value;
        value.seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        for (const auto& [name, counter] : run.counters) value.counters[name] = counter.value;
        if (const auto rate = value.counters.find("bytes_per_second"); rate != value.counters.end()) {
            value.bytesPerSecond = rate->second;
        }
        return value;
    }

    std::map<std::string, Samples> samples_;
    mutable std::map<std::string, Median> medians_;
};

}  // namespace corvane::bench
