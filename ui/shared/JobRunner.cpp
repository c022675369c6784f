#include "ui/shared/JobRunner.h"

#include <QPointer>

namespace corvane {

JobRunner::~JobRunner()
{
    Cancel();
    if (worker_.joinable()) worker_.join();
}

bool JobRunner::Start(Work work, Ended ended)
{
    if (Running()) return false;
    cancelled_ = false;
    ended_ = std::move(ended);
    control_ = std::make_unique<TransformControl>();
    worker_ = std::thread([this, work = std::move(work), control = control_.get()] {
        std::optional<Error> result = work(*control);
        // Dropped when the runner is gone by then: its destructor waited for this thread.
        QMetaObject::invokeMethod(this, [this, result] { WorkReturned(result); }, Qt::QueuedConnection);
    });
    return true;
}

void JobRunner::Cancel()
{
    if (!Running()) return;
    cancelled_ = true;
    control_->cancel = true;
}

void JobRunner::WorkReturned(std::optional<Error> result)
{
    worker_.join();
    const Ended ended = std::move(ended_);
    ended_ = {};
    if (ended) ended(std::move(result));
}

}  // namespace corvane
