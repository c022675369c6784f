// Long work: codes one file or a batch of files without freezing the windows.
//
// A CodingJob is the batch: it makes each output folder when missing, codes its files in order
// and asks its starter what to do after a failure. The files are coded by a JobRunner on a
// thread of its own (the flush to disk cannot be cut into slices and takes seconds on slow
// media), several files into one folder as one run whose flushes to disk are shared
// (TransformFiles), each file still complete or not there at all. A run ends at its first
// failure, so that the question "go on?" is asked before any later file is touched; the next
// run starts after the failed file. While files are being coded, a ProgressPresenter shows how it
// goes and a platform::BusyScope keeps every other window from taking input; both end before any
// box about the work (a failure's question, a handler's report of the last file), so that
// nothing of the work goes on behind a box. One job runs at a time.
//
// A file written whose folder could not be flushed is done, with a warning: the job shows the
// first such warning once, when it ends.
//
// Leaving the program in the middle of work (Leave) lets the windows go at once; the event loop
// goes on without them until the files being written are finished or cancelled, so that nothing
// is left half-written, and only then is the program ended.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "codec/Error.h"
#include "codec/FileTransform.h"
#include "ui/shared/JobRunner.h"

namespace corvane {

namespace platform {
class BusyScope;
}
class ProgressPresenter;
class ProgressWindow;

class CodingJob : public QObject {
    Q_OBJECT
public:
    // One file: `source` coded into `folder` (made when missing) under `name`.
    struct File {
        Coding coding;
        QString source;
        QString folder;
        QString name;
    };
    // What the starter hears back, all on the user-interface thread. None is called once the
    // program is being left (Leave).
    struct Handlers {
        std::function<void(const File&)> landed;                // a file was coded
        std::function<bool(const File&, const Error&)> failed;  // true: go on with the next file
        std::function<void(bool cancelled)> finished;           // last, once
    };
    // Each file's outcome as it is known, on the runner's thread; `index` counts in the run.
    using Landed = std::function<void(std::size_t index, const BatchOutcome& outcome)>;
    // How a run of files, all into one folder, is coded on the runner's thread: in order, each
    // outcome heard through `landed`, ending at the first file that fails (the last outcome
    // heard). `control` follows and cancels the run. By default CodeFiles.
    using Transform = std::function<void(std::span<const File> files, TransformControl& control, const Landed& landed)>;
    // How one file is coded, for OneByOne.
    using FileTransform = std::function<std::optional<Error>(const File& file, TransformControl& control)>;

    // Starts coding `files` one after another; the progress window, when it appears, is kept
    // over `owner`. Returns the job, or null when another job is running (nothing is started
    // then).
    static CodingJob* Start(QWidget* owner, std::vector<File> files, Handlers handlers);
    // The running job, or null.
    static CodingJob* Running();
    // Leaving the program: cancels the running job without telling its starter, and calls
    // `then` once its file is finished or cancelled; at once when no job runs.
    static void Leave(std::function<void()> then);
    // Makes jobs started from now on code their files with `transform` (CodeFiles when empty);
    // returns the transform used before. A test holds work with it.
    static Transform UseTransform(Transform transform);
    // The transform jobs use: one file alone as CodeFile codes it, several as one batch of
    // TransformFiles that stops at its first failure.
    static void CodeFiles(std::span<const File> files, TransformControl& control, const Landed& landed);
    // One file coded from its source into its folder.
    static std::optional<Error> CodeFile(const File& file, TransformControl& control);
    // A transform that codes the files of a run one after another with `code`, each counted on
    // its own, and stops at the first that fails.
    static Transform OneByOne(FileTransform code);

    // Asks the work to stop: files not yet in place are left as they were before, files in
    // place (heard of as landed) stay, and the finished handler hears `cancelled`. Work that does
    // not stop within kAbandonAfterMs (a read that never returns) is abandoned, unless its file
    // is in its final flush: the job ends all the same, and the work's thread goes on alone
    // without ever putting its file in place.
    void Cancel();
    static constexpr int kAbandonAfterMs = 300;
    // The progress window once it has appeared, else null.
    ProgressWindow* Progress() const;

    ~CodingJob() override;

private:
    CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers, Transform transform);

    void StartRun();
    std::size_t RunEnd(std::size_t first) const;
    void Heard(std::size_t index, BatchOutcome outcome);
    void Drain();
    void RunEnded();
    void ShowCurrent();
    void ShowWork();
    void StopShowingWork();
    void Finish(bool cancelled);

    QPointer<QWidget> owner_;
    // Who hears the runner's outcomes: this job, or nobody once it is gone or has abandoned them.
    struct Listener {
        CodingJob* job;
    };

    std::vector<File> files_;
    Handlers handlers_;
    Transform transform_;
    std::size_t next_ = 0;  // the first file whose outcome is not known yet
    // Outcomes heard from the running run, waiting for Drain; a failure waits for the run's end.
    std::deque<std::pair<std::size_t, BatchOutcome>> heard_;
    std::optional<std::pair<std::size_t, Error>> failure_;
    std::optional<Error> warning_;
    bool draining_ = false;
    bool cancelled_ = false;
    bool finished_ = false;
    bool leaving_ = false;
    QTimer* abandonCheck_ = nullptr;  // once cancelled: whether the work is to be abandoned
    std::function<void()> afterLeaving_;
    std::shared_ptr<Listener> listener_;
    JobRunner runner_;
    std::unique_ptr<platform::BusyScope> busy_;
    std::unique_ptr<ProgressPresenter> presenter_;
};

}  // namespace corvane
