#include "ui/shared/ProgressCounting.h"

#include <vector>

namespace corvane {

void ProgressCounting::Start(double seconds)
{
    startedAt_ = seconds;
    samples_.assign(1, {0, 0});
}

void ProgressCounting::Sample(double seconds, std::uint64_t done) { KeepSample(samples_, {seconds - startedAt_, done}); }

RateEstimate ProgressCounting::Estimate(std::uint64_t total) const
{
    const std::vector<ProgressSample> samples(samples_.begin(), samples_.end());
    return EstimateRate(samples, total);
}

}  // namespace corvane
