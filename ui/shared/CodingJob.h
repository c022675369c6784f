// Long work: codes one file or a batch of files without freezing the windows.
//
// A CodingJob is the sequencer of one batch: it starts each run of its files (BatchPlan.h) on a
// JobRunner, a thread of its own (the flush to disk cannot be cut into slices and takes seconds
// on slow media), hears each file's outcome, tells its starter of each, asks its starter what to
// do after a failure, and ends when the work ends. A run ends at its first failure, so that the
// question "go on?" is asked before any later file is touched; the next run starts after the
// failed file. Each run's folder is made when missing just before the run.
//
// While files are being coded, a ProgressPresenter shows how it goes and a platform::BusyScope
// keeps every other window from taking input; both end before anything is handed to the
// starter that may show a box (a failure's question, a handler's report of the last file, the
// warning, the end), so that nothing of the work goes on behind a box.
//
// A job is made and started by Jobs (Jobs.h), the one owner of "one job at a time" and of leaving
// the program; the job tells it of its end. The job itself shows no box: failures and the
// warning go to its starter's handlers.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "codec/Error.h"
#include "codec/FileTransform.h"
#include "ui/shared/BatchPlan.h"
#include "ui/shared/JobRunner.h"
#include "ui/shared/JobTransform.h"

namespace corvane {

namespace platform {
class BusyScope;
}
class ProgressPresenter;
class ProgressWindow;

class CodingJob : public QObject {
    Q_OBJECT
public:
    using File = JobFile;
    // What the starter hears back, all on the user-interface thread, each only when given. None
    // is called once the job is silenced (the program is being left).
    struct Handlers {
        std::function<void(const File&)> landed;                // a file was coded
        std::function<bool(const File&, const Error&)> failed;  // true: go on with the next file
        // The first warning of the job (a file written whose folder could not be flushed: the
        // file is done), once, when the job ends, just before `finished`.
        std::function<void(const Error&)> warned;
        std::function<void(bool cancelled)> finished;  // last, once
    };

    // Asks the work to stop: files not yet in place are left as they were before, files in
    // place (heard of as landed) stay, and the finished handler hears `cancelled`. Work that does
    // not stop within kAbandonAfterMs (a read that never returns) is abandoned, unless its file
    // is in its final flush: the job ends all the same, and the work's thread goes on alone
    // without ever putting its file in place.
    void Cancel();
    static constexpr int kAbandonAfterMs = 300;
    // From now on the job tells its starter nothing and shows no sign of its work: the program
    // is being left, and its windows are going.
    void Silence();
    // The progress window once it has appeared, else null.
    ProgressWindow* Progress() const;

    ~CodingJob() override;

private:
    friend class Jobs;
    // `ended` hears the job's end, before the finished handler.
    CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers, JobTransform transform,
              std::function<void(CodingJob*)> ended);
    void Begin();

    void StartRun();
    void StartOnRunner(const Run& run);
    void HearWaiting();
    void Drain();
    void RunEnded();
    void ShowCurrent();
    void ShowWork();
    void StopShowingWork();
    void Finish(bool cancelled);

    // Who hears the runner's outcomes: this job, or nobody once it is gone or has abandoned them
    // (`job`, used only on this thread). The runner's thread leaves its outcomes in `waiting` and
    // calls this thread only when it finds none there, so that a batch of thousands of small
    // files hands them over a burst at a time, not one call each.
    struct Listener {
        CodingJob* job = nullptr;
        std::mutex lock;
        std::vector<std::pair<std::size_t, BatchOutcome>> waiting;  // under `lock`
    };

    QPointer<QWidget> owner_;
    std::vector<File> files_;
    Handlers handlers_;
    JobTransform transform_;
    std::function<void(CodingJob*)> ended_;
    std::size_t next_ = 0;  // the first file whose outcome is not known yet
    // Outcomes heard from the running run, waiting for Drain; a failure waits for the run's end.
    std::deque<std::pair<std::size_t, BatchOutcome>> heard_;
    std::optional<std::pair<std::size_t, Error>> failure_;
    std::optional<Error> warning_;
    bool draining_ = false;
    bool finished_ = false;
    bool silent_ = false;
    QTimer* abandonCheck_ = nullptr;  // once cancelled: whether the work is to be abandoned
    std::shared_ptr<Listener> listener_;
    JobRunner runner_;
    std::unique_ptr<platform::BusyScope> busy_;
    std::unique_ptr<ProgressPresenter> presenter_;
};

}  // namespace corvane
