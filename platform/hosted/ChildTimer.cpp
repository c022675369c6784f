#include "platform/hosted/ChildTimer.h"

namespace corvane::platform {

ChildTimer::ChildTimer(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ChildTimer::Timer);
}

void ChildTimer::SetEnabled(bool enabled)
{
    if (enabled == timer_.isActive()) return;
    enabled ? timer_.start() : timer_.stop();
}

void ChildTimer::SetInterval(int milliseconds)
{
    timer_.setInterval(milliseconds);
}

}  // namespace corvane::platform
