#include "ui/shared/Jobs.h"

#include <QGuiApplication>
#include <QPointer>

#include <utility>

#include "ui/shared/JobTransform.h"

namespace corvane {

namespace {

struct Gate {
    QPointer<CodingJob> running;
    std::function<void()> afterLeaving;  // set while the program is being left
};

Gate& TheGate()
{
    static Gate gate;
    return gate;
}

// The job's end, heard before its finished handler: a handler may start the next job.
void JobEnded(CodingJob* job)
{
    Gate& gate = TheGate();
    if (gate.running == job) gate.running = nullptr;
    if (auto then = std::exchange(gate.afterLeaving, {})) then();
}

}  // namespace

CodingJob* Jobs::Start(QWidget* owner, std::vector<JobFile> files, CodingJob::Handlers handlers)
{
    Gate& gate = TheGate();
    if (gate.running) return nullptr;
    auto* job = new CodingJob(owner, std::move(files), std::move(handlers), JobTransform::Current(), JobEnded);
    gate.running = job;
    job->Begin();
    return job;
}

CodingJob* Jobs::Running() { return TheGate().running.data(); }

void Jobs::Leave(std::function<void()> then)
{
    Gate& gate = TheGate();
    if (!gate.running) {
        if (then) then();
        return;
    }
    // The last window going must not end the event loop: the job's end comes through it.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    gate.afterLeaving = std::move(then);
    gate.running->Silence();
    gate.running->Cancel();
}

}  // namespace corvane
