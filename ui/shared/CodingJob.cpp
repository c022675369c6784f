#include "ui/shared/CodingJob.h"

#include <QFileInfo>
#include <QGuiApplication>

#include "platform/BusyScope.h"
#include "platform/Files.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ProgressPresenter.h"
#include "ui/shared/ProgressWindow.h"

namespace corvane {

namespace {

QPointer<CodingJob>& RunningJob()
{
    static QPointer<CodingJob> job;
    return job;
}

CodingJob::Transform& CurrentTransform()
{
    static CodingJob::Transform transform = CodingJob::CodeFile;
    return transform;
}

}  // namespace

// Results go only into the program's own output folders, which the user never named: a link
// planted there (by anyone who may write the program's folder) is refused, never followed.
std::optional<Error> CodingJob::CodeFile(const File& file, TransformControl& control)
{
    return TransformFile(file.coding, Endpoint::File(platform::ToPath(file.source)),
                         Endpoint::File(platform::ToPath(JoinPath(file.folder, file.name)), Links::Refuse),
                         &control);
}

CodingJob* CodingJob::Start(QWidget* owner, std::vector<File> files, Handlers handlers)
{
    if (RunningJob()) return nullptr;
    auto* job = new CodingJob(owner, std::move(files), std::move(handlers), CurrentTransform());
    RunningJob() = job;
    job->StartNext();
    return job;
}

CodingJob* CodingJob::Running() { return RunningJob().data(); }

void CodingJob::Leave(std::function<void()> then)
{
    CodingJob* job = Running();
    if (!job) {
        if (then) then();
        return;
    }
    // The last window going must not end the event loop: the job's end comes through it.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    job->handlers_ = {};
    job->afterLeaving_ = std::move(then);
    job->presenter_.reset();
    job->busy_.reset();
    job->Cancel();
}

CodingJob::Transform CodingJob::UseTransform(Transform transform)
{
    return std::exchange(CurrentTransform(), transform ? std::move(transform) : Transform(CodeFile));
}

CodingJob::CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers, Transform transform)
    : files_(std::move(files)), handlers_(std::move(handlers)), transform_(std::move(transform)),
      busy_(std::make_unique<platform::BusyScope>())
{
    presenter_ = std::make_unique<ProgressPresenter>(owner, *busy_, runner_, [this] { Cancel(); });
}

CodingJob::~CodingJob() = default;

ProgressWindow* CodingJob::Progress() const { return presenter_ ? presenter_->Window() : nullptr; }

void CodingJob::Cancel()
{
    cancelled_ = true;
    runner_.Cancel();
}

void CodingJob::StartNext()
{
    if (cancelled_ || next_ >= files_.size()) {
        Finish(cancelled_);
        return;
    }
    const File& file = files_[next_];
    if (presenter_) {
        presenter_->SetFile(file.coding, file.name, QFileInfo(file.folder).fileName(), static_cast<int>(next_ + 1),
                            static_cast<int>(files_.size()));
    }
    if (!platform::PathExists(file.folder)) {
        if (auto error = platform::MakeFolder(file.folder)) {
            FileEnded(std::move(error));
            return;
        }
    }
    runner_.Start([transform = transform_, file](TransformControl& control) { return transform(file, control); },
                  [this](std::optional<Error> result) { FileEnded(std::move(result)); });
}

void CodingJob::FileEnded(std::optional<Error> result)
{
    const File file = files_[next_++];
    // A cancel is known by the runner's flag, not by the number of the error it left.
    if (runner_.Cancelled() && result) {
        Finish(true);
        return;
    }
    const QPointer<CodingJob> alive(this);
    bool goOn = true;
    if (result) {
        goOn = handlers_.failed && handlers_.failed(file, *result);
    } else if (handlers_.landed) {
        handlers_.landed(file);
    }
    if (!alive || finished_) return;
    if (!goOn) {
        Finish(false);
        return;
    }
    StartNext();
}

void CodingJob::Finish(bool cancelled)
{
    if (finished_) return;
    finished_ = true;
    presenter_.reset();
    busy_.reset();
    if (RunningJob() == this) RunningJob() = nullptr;
    const auto finished = std::move(handlers_.finished);
    const auto afterLeaving = std::move(afterLeaving_);
    handlers_ = {};
    deleteLater();
    if (finished) finished(cancelled);
    if (afterLeaving) afterLeaving();
}

}  // namespace corvane
