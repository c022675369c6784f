#include "ui/shared/ProgressPresenter.h"

#include "platform/BusyScope.h"
#include "ui/shared/JobRunner.h"

namespace corvane {

namespace {

constexpr int kTickMs = 100;
constexpr int kWindowAfterMs = 500;

}  // namespace

ProgressPresenter::ProgressPresenter(QWidget* owner, platform::BusyScope& busy, const JobRunner& runner,
                                     std::function<void()> onCancel)
    : owner_(owner), busy_(busy), runner_(runner), onCancel_(std::move(onCancel))
{
    connect(&ticks_, &QTimer::timeout, this, &ProgressPresenter::Tick);
    clock_.start();
    ticks_.start(kTickMs);
}

ProgressPresenter::~ProgressPresenter()
{
    if (window_) window_->Unload();
}

void ProgressPresenter::FileStarted(Coding coding, const QString& name, const QString& folderName, int number, int count)
{
    current_ = {coding, name, folderName, number, count};
    fileChanged_ = true;
}

void ProgressPresenter::CountingStarted()
{
    counting_.Start(Seconds());
    if (window_) window_->StartCounting();
}

double ProgressPresenter::Seconds() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }

void ProgressPresenter::Tick()
{
    const std::uint64_t done = runner_.Done();
    const std::uint64_t total = runner_.Total();
    counting_.Sample(Seconds(), done);
    if (!window_ && clock_.elapsed() >= kWindowAfterMs && current_.number > 0) {
        window_ = new ProgressWindow;
        connect(window_, &ProgressWindow::CancelRequested, this, [this] { if (onCancel_) onCancel_(); });
        window_->SetFile(current_.coding, current_.name, current_.folderName, current_.number, current_.count);
        fileChanged_ = false;
        busy_.SetFront(window_, owner_ && owner_->isVisible() ? owner_.data() : nullptr);
        window_->ShowOver(owner_);
    }
    if (!window_) return;
    if (fileChanged_) {
        fileChanged_ = false;
        window_->SetFile(current_.coding, current_.name, current_.folderName, current_.number, current_.count);
    }
    if (runner_.Running()) window_->SetProgress(done, total, counting_.Estimate(total));
}

}  // namespace corvane
