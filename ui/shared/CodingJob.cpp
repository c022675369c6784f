#include "ui/shared/CodingJob.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <system_error>

#include "codec/Describe.h"
#include "platform/BusyScope.h"
#include "platform/Files.h"
#include "ui/shared/ProgressPresenter.h"
#include "ui/shared/ProgressWindow.h"

namespace corvane {

CodingJob::CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers, JobTransform transform,
                     std::function<void(CodingJob*)> ended)
    : owner_(owner), files_(std::move(files)), handlers_(std::move(handlers)), transform_(std::move(transform)),
      ended_(std::move(ended)), listener_(std::make_shared<Listener>())
{
    listener_->job = this;
}

CodingJob::~CodingJob() { listener_->job = nullptr; }

void CodingJob::Begin() { StartRun(); }

ProgressWindow* CodingJob::Progress() const { return presenter_ ? presenter_->Window() : nullptr; }

// Work that looks at its cancel flag ends within a tenth of a second. Work that does not (a read
// from a file system that never answers) is abandoned once kAbandonAfterMs have passed, so that
// the windows come back all the same: its thread goes on alone, its result never takes the
// destination's place (the transform looks at the cancel before it does, if it ever returns),
// and its outcomes go nowhere. A file in its final flush is waited for: a flush ends by itself.
// The cancel itself is the runner's (JobRunner::Cancelled), also when it comes between runs.
void CodingJob::Cancel()
{
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

void CodingJob::Silence()
{
    handlers_ = {};
    silent_ = true;
    StopShowingWork();
}

void CodingJob::StartRun()
{
    const Run run = RunFrom(files_, next_, transform_.grouping);
    if (runner_.Cancelled() || run.first == run.end) {
        Finish(runner_.Cancelled());
        return;
    }
    ShowWork();
    ShowCurrent();
    if (!platform::PathExists(run.folder)) {
        if (auto error = platform::MakeFolder(run.folder)) {
            failure_ = {run.first, std::move(*error)};
            RunEnded();
            return;
        }
    }
    StartOnRunner(run);
    // The runner's counts start from nothing with each run, and only there.
    if (presenter_) presenter_->CountingStarted();
}

// The run's thread owns what it uses, files and transform, and hears of the job through
// `listener`, read only on this thread: work abandoned by a cancel (see Cancel) may outlive
// the job, and its late outcomes then go nowhere.
void CodingJob::StartOnRunner(const Run& run)
{
    runner_.Start(
        [listener = listener_, code = transform_.code,
         files = std::vector<File>(files_.begin() + run.first, files_.begin() + run.end),
         first = run.first](TransformControl& control) -> std::optional<Error> {
            try {
                code(files, control, [listener, first](std::size_t index, const BatchOutcome& outcome) {
                    bool called = false;
                    {
                        const std::lock_guard<std::mutex> held(listener->lock);
                        called = !listener->waiting.empty();
                        listener->waiting.emplace_back(first + index, outcome);
                    }
                    if (called) return;
                    QMetaObject::invokeMethod(
                        QCoreApplication::instance(),
                        [listener] {
                            if (listener->job) listener->job->HearWaiting();
                        },
                        Qt::QueuedConnection);
                });
            } catch (...) {
                // Only memory running out while outcomes are handed over gets here.
                return SystemError(std::make_error_code(std::errc::not_enough_memory), "Cannot code", platform::NameInMessage(files.front().source));
            }
            return std::nullopt;
        },
        [this, end = run.end](std::optional<Error> lost) {
            // A run that could not tell of every file fails at the first it did not tell of.
            const std::size_t unheard = heard_.empty() ? next_ : heard_.back().first + 1;
            const bool endedAtFailure = !heard_.empty() ? heard_.back().second.error.has_value() : failure_.has_value();
            if (lost && unheard < end && !endedAtFailure) heard_.emplace_back(unheard, BatchOutcome{std::move(lost), {}});
            Drain();
        });
}

// The call is queued before the run's end is: every outcome of a run is heard before its end.
void CodingJob::HearWaiting()
{
    std::vector<std::pair<std::size_t, BatchOutcome>> taken;
    {
        const std::lock_guard<std::mutex> held(listener_->lock);
        taken.swap(listener_->waiting);
    }
    for (auto& outcome : taken) heard_.push_back(std::move(outcome));
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
        // A copy: the handler may silence the job (leaving the program from its box).
        if (const auto landed = handlers_.landed) landed(files_[index]);
        if (!alive || finished_) return;
    }
    draining_ = false;
    if (!runner_.Running()) RunEnded();
}

// After a run: a cancel ends the job (a failure it caused is none), a failure is put to the
// starter, and the next run starts after the last file heard of.
void CodingJob::RunEnded()
{
    // A cancel is known by the runner's flag, not by the number of the error it left.
    if (runner_.Cancelled()) {
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
        const auto failed = handlers_.failed;  // a copy, as in Drain
        const bool goOn = failed && failed(files_[index], error);
        if (!alive || finished_) return;
        if (!goOn) {
            Finish(false);
            return;
        }
    }
    StartRun();
}

// The file the runner codes now: the first whose outcome is not known yet.
void CodingJob::ShowCurrent()
{
    if (!presenter_ || next_ >= files_.size()) return;
    const File& file = files_[next_];
    presenter_->FileStarted(file.coding, file.name, QFileInfo(file.folder).fileName(), static_cast<int>(next_ + 1),
                            static_cast<int>(files_.size()));
}

// The work's signs (the other windows held, the progress window and its clock) live only while
// files are being coded, never while a box waits for its answer.
void CodingJob::ShowWork()
{
    if (presenter_ || silent_) return;
    busy_ = std::make_unique<platform::BusyScope>();
    presenter_ = std::make_unique<ProgressPresenter>(owner_, *busy_, runner_, [this] { Cancel(); });
}

void CodingJob::StopShowingWork()
{
    presenter_.reset();
    busy_.reset();
}

// The job's end is told first to Jobs, so that no job runs while the starter hears of it.
void CodingJob::Finish(bool cancelled)
{
    if (finished_) return;
    finished_ = true;
    StopShowingWork();
    Handlers handlers = std::exchange(handlers_, {});
    deleteLater();
    if (ended_) ended_(this);
    if (warning_ && handlers.warned) handlers.warned(*warning_);
    if (handlers.finished) handlers.finished(cancelled);
}

}  // namespace corvane
