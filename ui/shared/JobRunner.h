// Runs one piece of long work on a thread of its own, so that the windows keep their event loop.
//
// The work is a function handed a TransformControl: it reports its progress there and looks at
// its cancel flag. Its result comes back on the thread that started it, as a queued call, never
// inside Start or Cancel. Whether the work was cancelled is the runner's own flag, set by Cancel:
// a failure numbered like a cancel that nobody asked for is still a failure. One runner serves
// one job's pieces of work one after another, and a cancel is the job's: once cancelled, the
// runner stays so and starts nothing more, even when the cancel came between two pieces.
//
// Work that does not look at its flag (a read from a file system that never answers) can be
// abandoned: the runner lets its thread go on alone and forgets it. The thread keeps what it
// uses (its control) and its result goes nowhere; the work must own everything else it touches.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "codec/Error.h"
#include "codec/FileTransform.h"

namespace corvane {

class JobRunner : public QObject {
public:
    using Work = std::function<std::optional<Error>(TransformControl& control)>;
    using Ended = std::function<void(std::optional<Error> result)>;

    JobRunner() = default;
    // Cancels work still running and waits for it; `ended` is not called then.
    ~JobRunner() override;
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Starts `work`; `ended` hears its result once it has returned. Returns false, and starts
    // nothing, while earlier work still runs or once the runner is cancelled.
    bool Start(Work work, Ended ended);
    // True from Start until `ended` has been called, or until the work is abandoned.
    bool Running() const { return worker_.joinable(); }
    // Asks the work to stop, the work running now (which decides when it looks) and any to come.
    void Cancel();
    // Cancels the work and lets it go on alone: `ended` is never called, and Running() is false
    // from now on.
    void Abandon();
    // Whether Cancel was called.
    bool Cancelled() const { return cancelled_; }
    // The work's progress as it reports it: bytes done of total.
    std::uint64_t Done() const { return shared_ ? shared_->control.done.load() : 0; }
    std::uint64_t Total() const { return shared_ ? shared_->control.total.load() : 0; }

private:
    // What the work's thread shares with the runner; `runner` is read and cleared only on the
    // runner's own thread.
    struct Shared {
        TransformControl control;
        JobRunner* runner = nullptr;
    };

    void WorkReturned(std::optional<Error> result);

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    Ended ended_;
    bool cancelled_ = false;
};

}  // namespace corvane
