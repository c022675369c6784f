#include "units/RateEstimate.h"

#include <algorithm>

namespace corvane {

RateEstimate EstimateRate(std::span<const ProgressSample> samples, std::uint64_t total)
{
    if (samples.size() < 2) return {};
    const ProgressSample& last = samples.back();
    if (last.seconds < kLeastTime) return {};
    // The rate's time starts at the latest sample at least kRateOver seconds old, or at the
    // earliest there is.
    const ProgressSample* from = &samples.front();
    for (const ProgressSample& sample : samples) {
        if (last.seconds - sample.seconds < kRateOver) break;
        from = &sample;
    }
    const double seconds = last.seconds - from->seconds;
    if (seconds < kLeastTime || last.done < from->done) return {};
    const double rate = static_cast<double>(last.done - from->done) / seconds;
    RateEstimate estimate{rate, std::nullopt};
    if (rate > 0 && total > last.done) estimate.secondsLeft = static_cast<double>(total - last.done) / rate;
    return estimate;
}

void KeepSample(std::deque<ProgressSample>& samples, ProgressSample sample)
{
    samples.push_back(sample);
    while (samples.size() > 2 && sample.seconds - samples[1].seconds >= kRateOver) samples.pop_front();
}

}  // namespace corvane
