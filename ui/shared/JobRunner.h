// Runs one piece of long work on a thread of its own, so that the windows keep their event loop.
//
// The work is a function handed a TransformControl: it reports its progress there and looks at
// its cancel flag. Its result comes back on the thread that started it, as a queued call, never
// inside Start or Cancel. Whether the work was cancelled is the runner's own flag, set by Cancel:
// a failure numbered like a cancel that nobody asked for is still a failure.
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
    // nothing, while earlier work still runs.
    bool Start(Work work, Ended ended);
    // True from Start until `ended` has been called.
    bool Running() const { return worker_.joinable(); }
    // Asks the work to stop; the work decides when it looks.
    void Cancel();
    // Whether Cancel was called since the last Start.
    bool Cancelled() const { return cancelled_; }
    // The work's progress as it reports it: bytes done of total.
    std::uint64_t Done() const { return control_ ? control_->done.load() : 0; }
    std::uint64_t Total() const { return control_ ? control_->total.load() : 0; }

private:
    void WorkReturned(std::optional<Error> result);

    std::unique_ptr<TransformControl> control_;
    std::thread worker_;
    Ended ended_;
    bool cancelled_ = false;
};

}  // namespace corvane
