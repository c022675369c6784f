#include "ui/shared/CodingJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSet>
#include <QTimer>

#include <system_error>

#include "codec/Describe.h"
#include "platform/BusyScope.h"
#include "platform/Files.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ProgressPresenter.h"
#include "ui/shared/ProgressWindow.h"
#include "ui/shared/ReportError.h"

namespace corvane {

namespace {

QPointer<CodingJob>& RunningJob()
{
    static QPointer<CodingJob> job;
    return job;
}

CodingJob::Transform& CurrentTransform()
{
    static CodingJob::Transform transform = CodingJob::CodeFiles;
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

void CodingJob::CodeFiles(std::span<const File> files, TransformControl& control, const Landed& landed)
{
    if (files.size() == 1) {
        std::optional<Error> error = CodeFile(files.front(), control);
        landed(0, BatchOutcome{error, error ? std::nullopt : control.warning});
        return;
    }
    std::vector<BatchFile> batch;
    batch.reserve(files.size());
    for (const File& file : files) {
        batch.push_back({file.coding, platform::ToPath(file.source),
                         platform::ToPath(JoinPath(file.folder, file.name)), Links::Refuse});
    }
    static_cast<void>(TransformFiles(batch, &control, landed, AfterFailure::Stop));
}

CodingJob::Transform CodingJob::OneByOne(FileTransform code)
{
    return [code = std::move(code)](std::span<const File> files, TransformControl& control, const Landed& landed) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            control.done = 0;
            control.warning.reset();
            std::optional<Error> error = code(files[i], control);
            const bool failed = error.has_value();
            landed(i, BatchOutcome{std::move(error), failed ? std::nullopt : control.warning});
            if (failed) return;
        }
    };
}

CodingJob* CodingJob::Start(QWidget* owner, std::vector<File> files, Handlers handlers)
{
    if (RunningJob()) return nullptr;
    auto* job = new CodingJob(owner, std::move(files), std::move(handlers), CurrentTransform());
    RunningJob() = job;
    job->StartRun();
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
    job->leaving_ = true;
    job->afterLeaving_ = std::move(then);
    job->StopShowingWork();
    job->Cancel();
}

CodingJob::Transform CodingJob::UseTransform(Transform transform)
{
    return std::exchange(CurrentTransform(), transform ? std::move(transform) : Transform(CodeFiles));
}

CodingJob::CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers, Transform transform)
    : owner_(owner), files_(std::move(files)), handlers_(std::move(handlers)), transform_(std::move(transform)),
      listener_(std::make_shared<Listener>(Listener{this}))
{
}

CodingJob::~CodingJob() { listener_->job = nullptr; }


ProgressWindow* CodingJob::Progress() const { return presenter_ ? presenter_->Window() : nullptr; }

// Work that looks at its cancel flag ends within a tenth of a second. Work that does not (a read
// from a file system that never answers) is abandoned once kAbandonAfterMs have passed, so that
// the windows come back all the same: its thread goes on alone, its result never takes the
// destination's place (the transform looks at the cancel before it does, if it ever returns),
// and its outcomes go nowhere. A file in its final flush is waited for: a flush ends by itself.
void CodingJob::Cancel()
{
    cancelled_ = true;
    runner_.Cancel();
    if (!runner_.Running() || abandonCheck_) return;
    abandonCheck_ = new QTimer(this);
    connect(abandonCheck_, &QTimer::timeout, this, [this] {
        if (!runner_.Running() || finished_) return;
        if (runner_.Total() > 0 && runner_.Done() >= runner_.Total()) return;  // flushing
        abandonCheck_->stop();
        listener_->job = nullptr;
        runner_.Abandon();
        heard_.clear();
        RunEnded();
    });
    abandonCheck_->start(kAbandonAfterMs);
}

// The run that starts at `first`: the files after it into the same folder. Files that write
// the same file, or read what an earlier one writes, are the batch's to keep in order.
std::size_t CodingJob::RunEnd(std::size_t first) const
{
    const QString& folder = files_[first].folder;
    std::size_t end = first;
    while (end < files_.size() && files_[end].folder == folder) ++end;
    return end;
}

void CodingJob::StartRun()
{
    if (cancelled_ || next_ >= files_.size()) {
        Finish(cancelled_);
        return;
    }
    ShowWork();
    ShowCurrent();
    const std::size_t first = next_;
    const File& file = files_[first];
    if (!platform::PathExists(file.folder)) {
        if (auto error = platform::MakeFolder(file.folder)) {
            failure_ = {first, std::move(*error)};
            RunEnded();
            return;
        }
    }
    const std::span<const File> run(files_.data() + first, RunEnd(first) - first);
    // The run's thread owns what it uses, files and transform, and hears of the job through
    // `listener`, read only on this thread: work abandoned by a cancel (see Cancel) may outlive
    // the job, and its late outcomes then go nowhere.
    runner_.Start(
        [listener = listener_, transform = transform_, files = std::vector<File>(run.begin(), run.end()),
         first](TransformControl& control) -> std::optional<Error> {
            try {
                transform(files, control, [listener, first](std::size_t index, const BatchOutcome& outcome) {
                    QMetaObject::invokeMethod(
                        QCoreApplication::instance(),
                        [listener, index = first + index, outcome] {
                            if (listener->job) listener->job->Heard(index, outcome);
                        },
                        Qt::QueuedConnection);
                });
            } catch (...) {
                // Only memory running out while outcomes are handed over gets here.
                return SystemError(std::make_error_code(std::errc::not_enough_memory), "Cannot code", platform::NameInMessage(files.front().source));
            }
            return std::nullopt;
        },
        [this, end = first + run.size()](std::optional<Error> lost) {
            // A run that could not tell of every file fails at the first it did not tell of.
            const std::size_t unheard = heard_.empty() ? next_ : heard_.back().first + 1;
            const bool endedAtFailure = !heard_.empty() ? heard_.back().second.error.has_value() : failure_.has_value();
            if (lost && unheard < end && !endedAtFailure) heard_.emplace_back(unheard, BatchOutcome{std::move(lost), {}});
            Drain();
        });
}

void CodingJob::Heard(std::size_t index, BatchOutcome outcome)
{
    heard_.emplace_back(index, std::move(outcome));
    Drain();
}

// Tells the starter of each file coded, in order. A handler may show a message box, whose
// event loop delivers further outcomes and the run's end: they wait in heard_ for this loop.
void CodingJob::Drain()
{
    if (draining_ || finished_) return;
    draining_ = true;
    const QPointer<CodingJob> alive(this);
    while (!heard_.empty()) {
        auto [index, outcome] = std::move(heard_.front());
        heard_.pop_front();
        next_ = index + 1;
        if (outcome.error) {
            failure_ = {index, std::move(*outcome.error)};  // the run's last outcome
            continue;
        }
        if (outcome.warning && !warning_) warning_ = std::move(outcome.warning);
        // The last file's landing is the work's end: whatever its handler shows comes after it.
        if (next_ == files_.size()) StopShowingWork();
        ShowCurrent();
        if (handlers_.landed) handlers_.landed(files_[index]);
        if (!alive || finished_) return;
    }
    draining_ = false;
    if (!runner_.Running()) RunEnded();
}

// After a run: a cancel ends the job (a failure it caused is none), a failure is put to the
// starter, and the next run starts after the last file heard of.
void CodingJob::RunEnded()
{
    // A cancel is known by the job's own flag, not by the number of the error it left.
    if (cancelled_) {
        Finish(true);
        return;
    }
    if (failure_) {
        auto [index, error] = std::move(*failure_);
        failure_.reset();
        next_ = index + 1;
        // The work waits for the answer: no progress goes on behind the question.
        StopShowingWork();
        const QPointer<CodingJob> alive(this);
        const bool goOn = handlers_.failed && handlers_.failed(files_[index], error);
        if (!alive || finished_) return;
        if (!goOn) {
            Finish(false);
            return;
        }
    }
    StartRun();
}

void CodingJob::ShowCurrent()
{
    if (!presenter_ || next_ >= files_.size()) return;
    const File& file = files_[next_];
    presenter_->SetFile(file.coding, file.name, QFileInfo(file.folder).fileName(), static_cast<int>(next_ + 1),
                        static_cast<int>(files_.size()));
}

// The work's signs (the other windows held, the progress window and its clock) live only while
// files are being coded, never while a box waits for its answer.
void CodingJob::ShowWork()
{
    if (presenter_ || leaving_) return;
    busy_ = std::make_unique<platform::BusyScope>();
    presenter_ = std::make_unique<ProgressPresenter>(owner_, *busy_, runner_, [this] { Cancel(); });
}

void CodingJob::StopShowingWork()
{
    presenter_.reset();
    busy_.reset();
}

void CodingJob::Finish(bool cancelled)
{
    if (finished_) return;
    finished_ = true;
    StopShowingWork();
    if (RunningJob() == this) RunningJob() = nullptr;
    const auto finished = std::move(handlers_.finished);
    const auto afterLeaving = std::move(afterLeaving_);
    handlers_ = {};
    deleteLater();
    if (warning_ && !leaving_) ReportWarning(*warning_);
    if (finished) finished(cancelled);
    if (afterLeaving) afterLeaving();
}

}  // namespace corvane
