// GetCursorPos and WindowFromPoint (declared in Gdi.h).
//
// On X11, asking where the pointer is and which window lies under it are round trips to the
// server: a request written, a wait, and the toolkit's reader thread woken to hand the answer
// over. A control that polls the pointer while it rests on it would pay two of them a hundred
// times a second, which costs more than everything else the idle program does. The server already
// reports every move over our windows and the pointer leaving them, so the answer is kept from
// those reports, and the server is asked only when the reports may not tell the whole story: a
// button held or a grab in force (reports then follow the grab, not the pointer), no window known,
// or nothing heard for half a second (another client's grab can hide a leave). Elsewhere the
// questions are cheap and go to the system every time.
#include "platform/hosted/Gdi.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace corvane::platform {
namespace {

class PointerReports : public QObject {
public:
    // The application's reports, or null where asking the system is cheap.
    static PointerReports* OnThisSystem()
    {
        static QPointer<PointerReports> reports;
        if (!reports && qApp && QGuiApplication::platformName() == QLatin1String("xcb"))
            reports = new PointerReports(qApp);
        return reports;
    }

    QPoint Position()
    {
        if (!Trusted()) Ask();
        return position_;
    }

    // The top-level window of ours under `screenPoint`, when the reports know it.
    QWindow* KnownWindowAt(QPoint screenPoint) const
    {
        return Trusted() && screenPoint == position_ ? window_.data() : nullptr;
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!receiver->isWindowType()) return false;
        auto* window = static_cast<QWindow*>(receiver);
        switch (event->type()) {
        case QEvent::Enter:
            Heard(window, static_cast<QEnterEvent*>(event)->globalPosition().toPoint());
            break;
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            Heard(window, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            break;
        case QEvent::Leave:
        case QEvent::Hide:
            if (window == window_) window_ = nullptr;
            break;
        default:
            break;
        }
        return false;
    }

private:
    static constexpr qint64 kTrustMilliseconds = 500;

    explicit PointerReports(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

    // A report names the window that received it, which is the window under the pointer unless
    // a popup or a held button has the pointer's reports: then it is only a position.
    void Heard(QWindow* window, QPoint position)
    {
        window_ = window->geometry().contains(position) ? window : nullptr;
        position_ = position;
        heard_.start();
    }

    bool Trusted() const
    {
        return window_ && window_->isVisible() && !heard_.hasExpired(kTrustMilliseconds) &&
               QGuiApplication::mouseButtons() == Qt::NoButton && !QWidget::mouseGrabber() &&
               !QApplication::activePopupWidget();
    }

    void Ask()
    {
        position_ = QCursor::pos();
        if (QWindow* window = QGuiApplication::topLevelAt(position_))
            Heard(window, position_);
        else
            window_ = nullptr;
    }

    QPointer<QWindow> window_;
    QPoint position_;
    QElapsedTimer heard_;  // started with every window kept
};

QWidget* TopLevelWidgetOf(const QWindow* window)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowHandle() == window) return widget;
    return nullptr;
}

QWidget* WidgetAt(QPoint screenPoint)
{
    const PointerReports* reports = PointerReports::OnThisSystem();
    const QWindow* known = reports ? reports->KnownWindowAt(screenPoint) : nullptr;
    QWidget* top = known ? TopLevelWidgetOf(known) : nullptr;
    if (!top || top->testAttribute(Qt::WA_TransparentForMouseEvents)) return QApplication::widgetAt(screenPoint);
    QWidget* child = top->childAt(top->mapFromGlobal(screenPoint));
    return child ? child : top;
}

}  // namespace

QPoint GetCursorPos()
{
    PointerReports* reports = PointerReports::OnThisSystem();
    return reports ? reports->Position() : QCursor::pos();
}

QWidget* WindowFromPoint(QPoint screenPoint)
{
    QWidget* window = WidgetAt(screenPoint);
    while (window && !window->isWindow() && !window->isEnabled()) window = window->parentWidget();
    return window;
}

}  // namespace corvane::platform
