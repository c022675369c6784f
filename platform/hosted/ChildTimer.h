// A control's child timer: while Enabled, Timer() is raised every Interval milliseconds on the
// user-interface thread. Like a window timer on Windows (USER_TIMER_MINIMUM), it never fires more
// often than every MinimumInterval milliseconds: a shorter Interval runs at that floor, which
// keeps a control polling the pointer from waking the processor thousands of times a second.
#pragma once

#include <QObject>
#include <QTimer>

namespace corvane::platform {

class ChildTimer : public QObject {
    Q_OBJECT
public:
    explicit ChildTimer(QObject* parent = nullptr);

    static constexpr int MinimumInterval = 10;

    bool Enabled() const { return timer_.isActive(); }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }  // as set
    void SetInterval(int milliseconds);
    int EffectiveInterval() const { return timer_.interval(); }  // as it runs

signals:
    void Timer();

private:
    QTimer timer_;
    int interval_ = 0;
};

}  // namespace corvane::platform
