// The counts of running work since they last started from nothing, kept as the samples that the
// estimate of its speed and time left needs (units/RateEstimate.h).
//
// The counts start again only where the work says so (Start): at each run of a job, whose
// runner counts afresh, which is every file when the files are coded one by one, and never in
// the middle of a batch that counts all its files as one total. Counts that go back without a
// start (a file of a batch tried once more) are no new start: the speed is the progress made
// over the seconds it is taken over, and nothing while that progress is less than none.
#pragma once

#include <cstdint>
#include <deque>

#include "units/RateEstimate.h"

namespace corvane {

class ProgressCounting {
public:
    // The counts start from nothing at `seconds` (on any clock that the samples share).
    void Start(double seconds);
    // The work had done `done` bytes at `seconds`.
    void Sample(double seconds, std::uint64_t done);
    // The speed and time left of work of `total` bytes, from the samples since the last start.
    RateEstimate Estimate(std::uint64_t total) const;

private:
    double startedAt_ = 0;
    std::deque<ProgressSample> samples_{{0, 0}};  // in seconds since startedAt_
};

}  // namespace corvane
