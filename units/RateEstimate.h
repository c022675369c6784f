// How fast long work goes and how long it has left, from what it has done so far: one rule for
// the progress window and the companion's progress line alike.
//
// The input is the work's samples: (seconds since its counting began, bytes done by then), in
// time order, the first taken when the counting began. The rate is the bytes of the last few
// seconds (kRateOver) divided by their time, so that it follows the work as it is now: a stall
// shows at once as no speed, and a burst read from the page cache leaves the figure once it is
// that old. Until the work has been counted for kLeastTime, and while the samples of the last
// few seconds span too little time to divide by, nothing is known and nothing is given, rather
// than a wild figure from a few milliseconds. Without a rate, or with nothing left, there is no
// time left either.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>

namespace corvane {

struct ProgressSample {
    double seconds;      // since the counting began
    std::uint64_t done;  // bytes done by then
};

struct RateEstimate {
    std::optional<double> bytesPerSecond;
    std::optional<double> secondsLeft;
};

inline constexpr double kRateOver = 3.0;   // seconds of samples the rate is taken over
inline constexpr double kLeastTime = 1.0;  // seconds counted before any figure is given

// The rate and time left of work with `total` bytes (0: not known, no time left) from `samples`.
RateEstimate EstimateRate(std::span<const ProgressSample> samples, std::uint64_t total);

// Adds `sample` to `samples` and forgets those that no estimate needs any more: the samples older
// than kRateOver seconds, except the last of them, where the rate's time starts.
void KeepSample(std::deque<ProgressSample>& samples, ProgressSample sample);

}  // namespace corvane
