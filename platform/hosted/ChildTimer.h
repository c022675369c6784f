// A control's child timer: while Enabled, Timer() is raised every Interval milliseconds on the
// user-interface thread.
#pragma once

#include <QObject>
#include <QTimer>

namespace corvane::platform {

class ChildTimer : public QObject {
    Q_OBJECT
public:
    explicit ChildTimer(QObject* parent = nullptr);

    bool Enabled() const { return timer_.isActive(); }
    void SetEnabled(bool enabled);
    int Interval() const { return timer_.interval(); }
    void SetInterval(int milliseconds);

signals:
    void Timer();

private:
    QTimer timer_;
};

}  // namespace corvane::platform
