// Shows how running work goes: after half a second, the progress window over the window that
// started the work, in front of a busy scope, fed with the runner's counts ten times a second and
// with the speed and time left worked out from them since the work began (units/RateEstimate.h),
// so that the window's first figures already know the work's first half second; counts that go
// back (files coded one after another, each counted alone) start the counting again.
// Work that ends sooner shows no window at all.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>

#include "codec/FileTransform.h"
#include "ui/shared/ProgressWindow.h"
#include "units/RateEstimate.h"

namespace corvane {

namespace platform {
class BusyScope;
}
class JobRunner;

class ProgressPresenter : public QObject {
public:
    // `onCancel` runs when the window asks for a cancel.
    ProgressPresenter(QWidget* owner, platform::BusyScope& busy, const JobRunner& runner, std::function<void()> onCancel);
    // Unloads the window.
    ~ProgressPresenter() override;

    // The file now being coded; see ProgressWindow::SetFile. The window hears of it at its next
    // tick, so that a batch of many small files does not lay its text out for each.
    void SetFile(Coding coding, const QString& name, const QString& folderName, int number, int count);
    // The window once it has appeared, else null.
    ProgressWindow* Window() const { return window_; }

private:
    void Tick();

    struct Current {
        Coding coding = Coding::Encode;
        QString name, folderName;
        int number = 0, count = 0;
    };
    QPointer<QWidget> owner_;
    platform::BusyScope& busy_;
    const JobRunner& runner_;
    std::function<void()> onCancel_;
    Current current_;
    bool fileChanged_ = false;
    // The runner's counts at the last tick: when they go back, the work counts afresh.
    std::uint64_t countedDone_ = 0, countedTotal_ = 0;
    QTimer ticks_;
    QElapsedTimer clock_;  // since the work began, for the window's delay
    QElapsedTimer counting_;  // since the counts began
    std::deque<ProgressSample> samples_;  // since the counts began, as many as the estimate needs
    QPointer<ProgressWindow> window_;
};

}  // namespace corvane
