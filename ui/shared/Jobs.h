// The one owner of "one job at a time" and of leaving the program while work runs.
//
// A job is started only here: while one runs, Start refuses another, so that no two pieces of
// work write into the output folders at once and the windows are held by one job alone. Leaving
// the program (Leave) lets the windows go at once; the event loop goes on without them until
// the running job's files are finished or cancelled, so that nothing is left half-written, and
// only then is `then` called, which ends the program.
#pragma once

#include <QWidget>

#include <functional>
#include <vector>

#include "ui/shared/CodingJob.h"

namespace corvane {

class Jobs {
public:
    // Starts coding `files` one after another with the transform in use (JobTransform::Current);
    // the progress window, when it appears, is kept over `owner`. Returns the job, or null when
    // another job is running (nothing is started then).
    static CodingJob* Start(QWidget* owner, std::vector<JobFile> files, CodingJob::Handlers handlers);
    // The running job, or null: a job runs from Start until just before its finished handler.
    static CodingJob* Running();
    // Leaving the program: cancels the running job without telling its starter anything more
    // (no failure, no warning, no end) and calls `then` once its files are finished or
    // cancelled; at once when no job runs.
    static void Leave(std::function<void()> then);
};

}  // namespace corvane
