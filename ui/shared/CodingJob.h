// Long work: codes one file or a batch of files without freezing the windows.
//
// A CodingJob is the batch: it goes through its files one after another, makes each output
// folder when missing, and asks its starter what to do after a failure. Each file is coded by a
// JobRunner on a thread of its own (the transform's last step, the flush to disk, cannot be cut
// into slices and takes seconds on slow media); a ProgressPresenter shows how it goes; a
// platform::BusyScope keeps every other window from taking input. One job runs at a time.
//
// Leaving the program in the middle of work (Leave) lets the windows go at once; the event loop
// goes on without them until the file being written is finished or cancelled, so that nothing
// is left half-written, and only then is the program ended.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
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
    // How one file is coded, on the runner's thread: by default TransformFile.
    using Transform = std::function<std::optional<Error>(const File& file, TransformControl& control)>;

    // Starts coding `files` one after another; the progress window, when it appears, is kept
    // over `owner`. Returns the job, or null when another job is running (nothing is started
    // then).
    static CodingJob* Start(QWidget* owner, std::vector<File> files, Handlers handlers);
    // The running job, or null.
    static CodingJob* Running();
    // Leaving the program: cancels the running job without telling its starter, and calls
    // `then` once its file is finished or cancelled; at once when no job runs.
    static void Leave(std::function<void()> then);
    // Makes jobs started from now on code their files with `transform` (CodeFile when empty);
    // returns the transform used before. A test holds work with it.
    static Transform UseTransform(Transform transform);
    // The transform jobs use: the file coded from its source into its folder.
    static std::optional<Error> CodeFile(const File& file, TransformControl& control);

    // Asks the work to stop: the file being coded is left as it was before, files already
    // coded stay, and the finished handler hears `cancelled`.
    void Cancel();
    // The progress window once it has appeared, else null.
    ProgressWindow* Progress() const;

    ~CodingJob() override;

private:
    CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers, Transform transform);

    void StartNext();
    void FileEnded(std::optional<Error> result);
    void Finish(bool cancelled);

    std::vector<File> files_;
    Handlers handlers_;
    Transform transform_;
    std::size_t next_ = 0;
    bool cancelled_ = false;
    bool finished_ = false;
    std::function<void()> afterLeaving_;
    JobRunner runner_;
    std::unique_ptr<platform::BusyScope> busy_;
    std::unique_ptr<ProgressPresenter> presenter_;
};

}  // namespace corvane
