#include "platform/BusyScope.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include "platform/BusyCursor.h"

namespace corvane::platform {

BusyScope::BusyScope() : cursor_(std::make_unique<BusyCursor>())
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isWindow() || !window->isVisible() || !window->isEnabled()) continue;
        held_.push_back({window, window->focusWidget()});
        window->setEnabled(false);
        window->installEventFilter(this);
    }
}

BusyScope::~BusyScope()
{
    for (const Held& held : held_) {
        if (!held.window) continue;
        held.window->removeEventFilter(this);
        held.window->setEnabled(true);
        if (held.focus && held.focus->window() == held.window) held.focus->setFocus(Qt::OtherFocusReason);
    }
}

void BusyScope::SetFront(QWidget* front, QWidget* over)
{
    front_ = front;
    if (!front || !over) return;
    // A transient window rather than a child one: the front window does not go with `over`
    // when that window is closed during the work.
    front->winId();
    over->window()->winId();
    front->windowHandle()->setTransientParent(over->window()->windowHandle());
}

bool BusyScope::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && front_ && front_->isVisible() && watched != front_) {
        // After the activation is over: activating inside its own event is undone by it.
        QMetaObject::invokeMethod(
            front_.data(),
            [front = front_] {
                if (!front) return;
                front->raise();
                front->activateWindow();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace corvane::platform
