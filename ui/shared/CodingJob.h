// Long work: codes one file or a batch of files without freezing the windows.
//
// Each transform runs on a worker thread of its own, a plain blocking TransformFile with a
// TransformControl, while the user-interface thread keeps its event loop: a timer follows the
// control and feeds the progress window, and the worker's end comes back to this thread as a
// queued call. A worker rather than slices of the work on the event loop, because the transform's
// last step, the flush to disk, cannot be cut into slices and takes seconds on slow media; the
// codec stays a plain call, and the thread adds nothing to its throughput.
//
// While a job runs: the busy cursor shows; after about half a second the progress window
// appears over the window that started the job; the other windows take no input (mouse, keys,
// shortcuts, drops) except for the widgets let through with LetThroughDuringWork. One job runs
// at a time.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "codec/Error.h"
#include "codec/FileTransform.h"
#include "ui/shared/ProgressWindow.h"

namespace corvane {

namespace platform {
class BusyCursor;
}

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
    // What the starter hears back, all on the user-interface thread. None is called after the
    // job was stopped by CancelAndWait.
    struct Handlers {
        std::function<void(const File&)> landed;             // a file was coded
        std::function<bool(const File&, const Error&)> failed;  // true: go on with the next file
        std::function<void(bool cancelled)> finished;        // last, once
    };

    // Starts coding `files` one after another; the progress window, when it appears, is placed
    // over `owner`. Returns the job, or null when another job is running (nothing is started
    // then).
    static CodingJob* Start(QWidget* owner, std::vector<File> files, Handlers handlers);
    // The running job, or null.
    static CodingJob* Running();
    // Cancels the running job, if any, and returns once its worker has ended; the finished
    // handler does not run. For leaving the program in the middle of work.
    static void CancelAndWait();
    // Lets input reach `widget` while work runs (the main window's Exit button).
    static void LetThroughDuringWork(QWidget* widget);

    // Asks the work to stop: the file being coded is left as it was before, files already
    // coded stay, and the finished handler hears `cancelled`.
    void Cancel();
    // The progress window once it has appeared, else null.
    ProgressWindow* Progress() const { return progress_; }

    ~CodingJob() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers);

    void StartNext();
    void FileEnded(std::optional<Error> result);
    void Tick();
    void Finish(bool cancelled);
    void JoinWorker();
    bool Blocks(QObject* watched) const;

    QPointer<QWidget> owner_;
    std::vector<File> files_;
    Handlers handlers_;
    std::size_t next_ = 0;
    bool cancelled_ = false;
    bool finished_ = false;
    bool inHandler_ = false;  // a handler may show a message box, which takes input
    std::unique_ptr<TransformControl> control_;
    std::thread worker_;
    QTimer ticks_;
    QElapsedTimer clock_;
    QPointer<ProgressWindow> progress_;
    std::unique_ptr<platform::BusyCursor> busy_;
};

}  // namespace corvane
