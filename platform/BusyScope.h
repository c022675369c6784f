// Being busy: while a BusyScope lives, every window of the program but its front window takes
// no input of any kind. The windows are disabled, which Qt's input, shortcuts, drops and the
// accessibility actions all respect, and which screen readers hear as the "disabled" state;
// no list of event types is kept. A disabled window that the window manager activates (a click
// on it) hands the activation on to the front window, so that keys such as Escape reach it.
// The busy cursor shows meanwhile. The close box of a disabled window still closes it: the
// window manager's close request is no input to the window's controls.
//
// Windows shown after the scope began (the front window, message boxes) are left as they are.
// When the scope ends, each window it disabled is enabled again with its focus where it was.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

namespace corvane::platform {

class BusyCursor;

class BusyScope : public QObject {
public:
    BusyScope();
    ~BusyScope() override;
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    // The window that keeps taking input and is activated instead of the others; it is kept
    // above `over` by the window manager (`over` may be null).
    void SetFront(QWidget* front, QWidget* over);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Held {
        QPointer<QWidget> window;
        QPointer<QWidget> focus;
    };
    std::vector<Held> held_;
    QPointer<QWidget> front_;
    std::unique_ptr<BusyCursor> cursor_;
};

}  // namespace corvane::platform
