#include "ui/shared/CodingJob.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "platform/BusyCursor.h"
#include "platform/Files.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ProgressWindow.h"

namespace corvane {

namespace {

constexpr int kTickMs = 100;
constexpr int kProgressAfterMs = 500;

QPointer<CodingJob>& RunningJob()
{
    static QPointer<CodingJob> job;
    return job;
}

QList<QPointer<QWidget>>& LetThrough()
{
    static QList<QPointer<QWidget>> widgets;
    return widgets;
}

// Input a user gives a window, which would start more work or change what is selected.
bool IsUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    case QEvent::MouseMove:
        // A move with a button held drags a selection; a plain move only changes a hover look.
        return static_cast<const QMouseEvent*>(event)->buttons() != Qt::NoButton;
    default:
        return false;
    }
}

}  // namespace

CodingJob* CodingJob::Start(QWidget* owner, std::vector<File> files, Handlers handlers)
{
    if (RunningJob()) return nullptr;
    auto* job = new CodingJob(owner, std::move(files), std::move(handlers));
    RunningJob() = job;
    qApp->installEventFilter(job);
    job->busy_ = std::make_unique<platform::BusyCursor>();
    job->clock_.start();
    job->ticks_.start(kTickMs);
    job->StartNext();
    return job;
}

CodingJob* CodingJob::Running() { return RunningJob().data(); }

void CodingJob::CancelAndWait()
{
    CodingJob* job = Running();
    if (!job) return;
    job->handlers_ = {};
    job->Cancel();
    job->JoinWorker();
    job->Finish(true);
}

void CodingJob::LetThroughDuringWork(QWidget* widget)
{
    LetThrough().removeAll(nullptr);  // widgets deleted since
    LetThrough().append(widget);
}

CodingJob::CodingJob(QWidget* owner, std::vector<File> files, Handlers handlers)
    : owner_(owner), files_(std::move(files)), handlers_(std::move(handlers))
{
    connect(&ticks_, &QTimer::timeout, this, &CodingJob::Tick);
}

CodingJob::~CodingJob()
{
    Cancel();
    JoinWorker();
}

void CodingJob::Cancel()
{
    cancelled_ = true;
    if (control_) control_->cancel = true;
}

void CodingJob::JoinWorker()
{
    if (worker_.joinable()) worker_.join();
}

void CodingJob::StartNext()
{
    if (cancelled_ || next_ >= files_.size()) {
        Finish(cancelled_);
        return;
    }
    const File& file = files_[next_];
    if (progress_) progress_->SetFile(file.coding, file.name, static_cast<int>(next_ + 1), static_cast<int>(files_.size()));
    if (!platform::PathExists(file.folder)) {
        if (auto error = platform::MakeFolder(file.folder)) {
            FileEnded(std::move(error));
            return;
        }
    }
    control_ = std::make_unique<TransformControl>();
    worker_ = std::thread([this, coding = file.coding, source = Endpoint::File(platform::ToPath(file.source)),
                           destination = Endpoint::File(platform::ToPath(JoinPath(file.folder, file.name))),
                           control = control_.get()] {
        std::optional<Error> result = TransformFile(coding, source, destination, control);
        QMetaObject::invokeMethod(this, [this, result] { FileEnded(result); }, Qt::QueuedConnection);
    });
}

void CodingJob::FileEnded(std::optional<Error> result)
{
    if (finished_) return;  // stopped by CancelAndWait while this call was on its way
    JoinWorker();
    const File file = files_[next_++];
    if (result && result->number == kErrorCancelled) {
        Finish(true);
        return;
    }
    const QPointer<CodingJob> alive(this);
    // A handler may show a message box: input reaches it, and this job waits for the answer.
    inHandler_ = true;
    bool goOn = true;
    if (result) {
        goOn = handlers_.failed && handlers_.failed(file, *result);
    } else if (handlers_.landed) {
        handlers_.landed(file);
    }
    if (!alive || finished_) return;
    inHandler_ = false;
    if (!goOn) {
        Finish(false);
        return;
    }
    StartNext();
}

void CodingJob::Tick()
{
    if (!progress_ && clock_.elapsed() >= kProgressAfterMs && next_ < files_.size()) {
        progress_ = new ProgressWindow;
        connect(progress_, &ProgressWindow::CancelRequested, this, &CodingJob::Cancel);
        const File& file = files_[next_];
        progress_->SetFile(file.coding, file.name, static_cast<int>(next_ + 1), static_cast<int>(files_.size()));
        progress_->ShowOver(owner_);
    }
    if (progress_ && control_) progress_->SetProgress(control_->done, control_->total);
}

void CodingJob::Finish(bool cancelled)
{
    if (finished_) return;
    finished_ = true;
    ticks_.stop();
    qApp->removeEventFilter(this);
    if (progress_) progress_->Unload();
    busy_.reset();
    if (RunningJob() == this) RunningJob() = nullptr;
    const auto finished = std::move(handlers_.finished);
    handlers_ = {};
    deleteLater();
    if (finished) finished(cancelled);
}

bool CodingJob::eventFilter(QObject* watched, QEvent* event)
{
    if (!inHandler_ && IsUserInput(event) && Blocks(watched)) return true;
    return QObject::eventFilter(watched, event);
}

bool CodingJob::Blocks(QObject* watched) const
{
    auto* widget = qobject_cast<QWidget*>(watched);
    // A shortcut belongs to the widget it is made on.
    if (!widget && watched->parent()) widget = qobject_cast<QWidget*>(watched->parent());
    // A window passes its input on to its widgets, where it is judged.
    if (!widget) return false;
    if (progress_ && widget->window() == progress_.data()) return false;
    for (const QPointer<QWidget>& allowed : LetThrough()) {
        if (allowed && (allowed == widget || allowed->isAncestorOf(widget))) return false;
    }
    return true;
}

}  // namespace corvane
