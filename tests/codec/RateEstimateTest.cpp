// The rate and time left of long work (units/RateEstimate.h): sequences of samples as work
// produces them, each against the figures worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "units/RateEstimate.h"

namespace corvane {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// Samples every `step` seconds from 0 to `until`, `perSecond` bytes a second from `start` bytes.
std::vector<ProgressSample> Steady(double until, double perSecond, double step = 0.1, double from = 0,
                                   std::uint64_t start = 0)
{
    std::vector<ProgressSample> samples;
    for (int i = 0; from + i * step <= until + 1e-9; ++i) {
        samples.push_back({from + i * step, start + static_cast<std::uint64_t>(i * step * perSecond)});
    }
    return samples;
}

std::vector<ProgressSample> Then(std::vector<ProgressSample> first, const std::vector<ProgressSample>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST(RateEstimate, FromSequencesOfSamples)
{
    const struct {
        const char* name;
        std::vector<ProgressSample> samples;
        std::uint64_t total;
        std::optional<double> rate;  // bytes a second
        std::optional<double> left;  // seconds
    } cases[] = {
        {"no samples", {}, kGiB, std::nullopt, std::nullopt},
        {"the start alone", {{0, 0}}, kGiB, std::nullopt, std::nullopt},
        // A few milliseconds of work tell nothing: no 97 GiB/s from 300 MiB in 3 ms.
        {"a start of milliseconds", {{0, 0}, {0.003, 300 * kMiB}}, 5 * kGiB, std::nullopt, std::nullopt},
        {"a start under a second", Steady(0.9, 300.0 * kMiB), 5 * kGiB, std::nullopt, std::nullopt},
        {"a steady rate at one second", Steady(1.0, 300.0 * kMiB), 3 * kGiB, 300.0 * kMiB, (3 * 1024 - 300) / 300.0},
        {"a steady rate at ten seconds", Steady(10.0, 300.0 * kMiB), 5 * kGiB, 300.0 * kMiB, (5 * 1024 - 3000) / 300.0},
        // Ten seconds at 300 MiB/s, then nothing for four: the rate of the last seconds is none.
        {"a stall", Then(Steady(10.0, 300.0 * kMiB), Steady(14.0, 0, 0.1, 10.1, 3000 * kMiB)), 5 * kGiB, 0.0,
         std::nullopt},
        // A stall just begun weighs on the rate by its share of the last three seconds.
        {"a stall of one second", Then(Steady(10.0, 300.0 * kMiB), Steady(11.0, 0, 0.1, 10.1, 3000 * kMiB)), 5 * kGiB,
         200.0 * kMiB, (5 * 1024 - 3000) / 200.0},
        // 2 GiB from the page cache in the first half second, then the disk's 100 MiB/s: once the
        // burst is older than the rate's seconds, only the disk's rate counts.
        {"a burst from the page cache, later",
         Then({{0, 0}, {0.5, 2 * kGiB}}, Steady(8.0, 100.0 * kMiB, 0.1, 0.6, 2 * kGiB + 10 * kMiB)), 4 * kGiB,
         100.0 * kMiB, (2048 - 10 - 740) / 100.0},
        // The next file of a batch counts afresh: its samples start at 0 again.
        {"a new file of a batch", Steady(2.0, 50.0 * kMiB), 400 * kMiB, 50.0 * kMiB, 6.0},
        {"everything done", Steady(2.0, 50.0 * kMiB), 100 * kMiB, 50.0 * kMiB, std::nullopt},
        {"a size not known", Steady(2.0, 50.0 * kMiB), 0, 50.0 * kMiB, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RateEstimate estimate = EstimateRate(c.samples, c.total);
        ASSERT_EQ(estimate.bytesPerSecond.has_value(), c.rate.has_value());
        if (c.rate) {
            EXPECT_NEAR(*estimate.bytesPerSecond, *c.rate, *c.rate * 0.01 + 1);
        }
        ASSERT_EQ(estimate.secondsLeft.has_value(), c.left.has_value());
        if (c.left) {
            EXPECT_NEAR(*estimate.secondsLeft, *c.left, *c.left * 0.01 + 0.01);
        }
    }
}

// The samples kept are those the estimate needs: it is the same with them as with all of them.
TEST(RateEstimate, KeepsOnlyTheSamplesItNeeds)
{
    const std::vector<ProgressSample> all = Then(Then(Steady(5.0, 300.0 * kMiB), Steady(12.0, 0, 0.1, 5.1, 1500 * kMiB)),
                                                 Steady(20.0, 10.0 * kMiB, 0.1, 12.1, 1500 * kMiB));
    std::deque<ProgressSample> kept;
    for (std::size_t i = 0; i < all.size(); ++i) {
        KeepSample(kept, all[i]);
        EXPECT_LE(kept.size(), 32u);
        const std::vector<ProgressSample> sofar(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        const std::vector<ProgressSample> keptNow(kept.begin(), kept.end());
        const RateEstimate fromAll = EstimateRate(sofar, 3 * kGiB);
        const RateEstimate fromKept = EstimateRate(keptNow, 3 * kGiB);
        ASSERT_EQ(fromAll.bytesPerSecond.has_value(), fromKept.bytesPerSecond.has_value()) << all[i].seconds;
        if (fromAll.bytesPerSecond) {
            EXPECT_DOUBLE_EQ(*fromAll.bytesPerSecond, *fromKept.bytesPerSecond) << all[i].seconds;
        }
    }
}

}  // namespace
}  // namespace corvane
