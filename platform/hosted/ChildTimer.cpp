#include "platform/hosted/ChildTimer.h"

#include <algorithm>

namespace corvane::platform {

ChildTimer::ChildTimer(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ChildTimer::Timer);
    SetInterval(0);
}

void ChildTimer::SetEnabled(bool enabled)
{
    if (enabled == timer_.isActive()) return;
    enabled ? timer_.start() : timer_.stop();
}

void ChildTimer::SetInterval(int milliseconds)
{
    interval_ = milliseconds;
    timer_.setInterval(std::max(milliseconds, MinimumInterval));
}

}  // namespace corvane::platform
