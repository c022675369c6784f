// Long work that a test holds: while a HeldWork lives, the files a job codes under `name` stop
// at a point the test chooses (part of the way, or with every byte coded and the file being
// written to disk), report that progress and wait. Released, or cancelled while part of the
// way, they go on with the real transform, which sees the cancel as it would have; a file held
// in its final flush waits for the release whatever is asked and then lands whole, as a flush
// does. Other files are coded at once. The job codes its files one after another meanwhile
// (JobTransform::OneByOne), each counted on its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ui/shared/JobTransform.h"

namespace corvane::testing {

// Every job codes its files with `transform` while this lives; the transform before comes back
// when it goes, whatever ends the test.
class UsedTransform {
public:
    explicit UsedTransform(JobTransform transform) : previous_(JobTransform::Use(std::move(transform))) {}
    ~UsedTransform() { JobTransform::Use(previous_); }
    UsedTransform(const UsedTransform&) = delete;
    UsedTransform& operator=(const UsedTransform&) = delete;

private:
    JobTransform previous_;
};

class HeldWork {
public:
    enum class At { PartOfTheWay, FinalFlush };

    HeldWork(QString name, std::uint64_t total, At at = At::PartOfTheWay)
        : name_(std::move(name)), total_(total), at_(at)
    {
        previous_ = JobTransform::Use(JobTransform::OneByOne(
            [this](const JobFile& file, TransformControl& control) { return Code(file, control); }));
    }
    ~HeldWork()
    {
        Release();
        // A test may end with its file still held: the worker leaves this object before it goes.
        while (inside_.load() != 0) std::this_thread::yield();
        JobTransform::Use(previous_);
    }
    HeldWork(const HeldWork&) = delete;
    HeldWork& operator=(const HeldWork&) = delete;

    void Release()
    {
        const std::lock_guard lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }
    // Whether a held file has reached its hold.
    bool Holding() const { return holding_; }
    // Moves a held file's progress on to `done` bytes.
    void Report(std::uint64_t done) { control_.load()->done = done; }

private:
    std::optional<Error> Code(const JobFile& file, TransformControl& control)
    {
        if (file.name != name_) return JobTransform::CodeFile(file, control);
        control.total = total_;
        control.done = at_ == At::FinalFlush ? total_ : total_ / 2;
        control_ = &control;
        inside_.fetch_add(1);
        holding_ = true;
        std::unique_lock lock(mutex_);
        // The cancel flag comes without a notification: it is looked at now and then.
        while (!released_ && (at_ == At::FinalFlush || !control.cancel)) {
            wake_.wait_for(lock, std::chrono::milliseconds(10));
        }
        lock.unlock();
        holding_ = false;
        const bool finalFlush = at_ == At::FinalFlush;
        inside_.fetch_sub(1);  // nothing of this object is used from here on
        if (finalFlush) {
            TransformControl flushing;  // a flush under way ends as it would have, cancelled or not
            return JobTransform::CodeFile(file, flushing);
        }
        return JobTransform::CodeFile(file, control);
    }

    const QString name_;
    const std::uint64_t total_;
    const At at_;
    JobTransform previous_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    std::atomic<bool> holding_{false};
    std::atomic<int> inside_{0};  // calls of Code between their hold and their leaving this object
    std::atomic<TransformControl*> control_{nullptr};
};

}  // namespace corvane::testing
