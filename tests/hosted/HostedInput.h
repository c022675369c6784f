// Real input for hosted controls in offscreen windows: mouse buttons go through the window system
// (so the application routes, grabs and pairs them into double clicks as it does for a user), the
// pointer moves with QCursor::setPos, and conditions are awaited with a deadline instead of sleeps.
#pragma once

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <ostream>

// Readable QString values in GoogleTest failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace corvane::testing {

inline QWindow* WindowOf(QWidget* widget)
{
    return widget->window()->windowHandle();
}

inline QPoint InWindow(QWidget* widget, QPoint local)
{
    return widget->mapTo(widget->window(), local);
}

inline void Press(QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(WindowOf(widget), button, {}, InWindow(widget, local));
}

inline void Release(QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseRelease(WindowOf(widget), button, {}, InWindow(widget, local));
}

inline void Click(QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(WindowOf(widget), button, {}, InWindow(widget, local));
}

inline void DoubleClick(QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseDClick(WindowOf(widget), button, {}, InWindow(widget, local));
}

// Moves the pointer to a point of `widget`, and reports the move with the buttons held before
// anything else runs (the pointer's own report of it comes later, and repeats the position).
inline void PointAt(QWidget* widget, QPoint local)
{
    QCursor::setPos(widget->mapToGlobal(local));
    QTest::mouseMove(WindowOf(widget), InWindow(widget, local));
    QCoreApplication::processEvents();
}

inline void PointAtScreen(QPoint global)
{
    QCursor::setPos(global);
    QCoreApplication::processEvents();
}

// Alt + key to whatever has the focus in `widget`'s window. Test key events leave the Alt state
// behind in the application, so it is released on the window itself afterwards.
inline void AltKey(QWidget* widget, Qt::Key key)
{
    QTest::keyClick(widget, key, Qt::AltModifier);
    QTest::keyRelease(widget->window(), Qt::Key_Alt);
}

// How a window system reports a held key's repeats: a release and a press for each, both flagged
// as repeats (X11 as the toolkit reads it), or a press alone (X11 asked for unpaired repeats, and
// Windows).
enum class KeyRepeatReport { FlaggedPairs, PressesOnly };

// Holds `key` down on `widget` long enough for the keyboard to repeat it `repeats` times, then
// lets it go.
inline void HoldKey(QWidget* widget, Qt::Key key, const QString& text, int repeats, KeyRepeatReport report)
{
    const auto send = [&](QEvent::Type type, bool autoRepeat) {
        QKeyEvent event(type, key, Qt::NoModifier, text, autoRepeat);
        QApplication::sendEvent(widget, &event);
    };
    send(QEvent::KeyPress, false);
    for (int i = 0; i < repeats; ++i) {
        if (report == KeyRepeatReport::FlaggedPairs) send(QEvent::KeyRelease, true);
        send(QEvent::KeyPress, report == KeyRepeatReport::FlaggedPairs);
    }
    send(QEvent::KeyRelease, false);
}

// Processes events until `done` holds or the deadline passes; returns whether it holds.
inline bool WaitFor(const std::function<bool()>& done, int deadlineMs = 2000)
{
    return QTest::qWaitFor(done, deadlineMs);
}

// Shows a top-level window and waits until it is on screen and active.
inline bool ShowWindow(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowExposed(window) && WaitFor([window] { return window->isActiveWindow(); });
}

}  // namespace corvane::testing
