#include "ui/shared/JobRunner.h"

#include <QCoreApplication>

namespace corvane {

JobRunner::~JobRunner()
{
    Cancel();
    if (worker_.joinable()) worker_.join();
    if (shared_) shared_->runner = nullptr;  // a result still queued goes nowhere
}

bool JobRunner::Start(Work work, Ended ended)
{
    if (Running() || cancelled_) return false;
    ended_ = std::move(ended);
    shared_ = std::make_shared<Shared>();
    shared_->runner = this;
    worker_ = std::thread([shared = shared_, work = std::move(work)] {
        std::optional<Error> result = work(shared->control);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [shared, result] {
                if (shared->runner) shared->runner->WorkReturned(result);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void JobRunner::Cancel()
{
    cancelled_ = true;
    if (Running()) shared_->control.cancel = true;
}

void JobRunner::Abandon()
{
    if (!Running()) return;
    Cancel();
    shared_->runner = nullptr;
    worker_.detach();
    ended_ = {};
}

void JobRunner::WorkReturned(std::optional<Error> result)
{
    worker_.join();
    const Ended ended = std::move(ended_);
    ended_ = {};
    if (ended) ended(std::move(result));
}

}  // namespace corvane
