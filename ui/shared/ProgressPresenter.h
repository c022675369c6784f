// Shows how running work goes: after half a second, the progress window over the window that
// started the work, in front of a busy scope, fed with the runner's counts ten times a second and
// with the speed and time left worked out from them since they started (ProgressCounting), so
// that the window's first figures already know the work's first half second. The presenter is
// told where a file starts (FileStarted: the name shown) and where the counts start from nothing
// (CountingStarted: each run's start); it guesses neither from the counts.
// Work that ends sooner shows no window at all.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

#include "codec/FileTransform.h"
#include "ui/shared/ProgressCounting.h"
#include "ui/shared/ProgressWindow.h"

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
    // tick, so that a batch of many small files does not lay its text out for each. The counts
    // go on: a batch counts all its files as one total.
    void FileStarted(Coding coding, const QString& name, const QString& folderName, int number, int count);
    // The runner's counts start from nothing now: the estimate and the window count afresh.
    void CountingStarted();
    // The window once it has appeared, else null.
    ProgressWindow* Window() const { return window_; }

private:
    void Tick();
    double Seconds() const;  // since the work began

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
    QTimer ticks_;
    QElapsedTimer clock_;  // since the work began, for the window's delay and the counting's samples
    ProgressCounting counting_;
    QPointer<ProgressWindow> window_;
};

}  // namespace corvane
