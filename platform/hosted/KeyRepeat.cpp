#include "platform/hosted/KeyRepeat.h"

#include <QGuiApplication>

#if defined(CORVANE_X11_KEY_REPEAT) && !QT_CONFIG(xcb)
#undef CORVANE_X11_KEY_REPEAT  // a Qt without its X11 platform never runs on X11
#endif

#ifdef CORVANE_X11_KEY_REPEAT
// Included last: the X11 headers define macros that clash with Qt's names.
#include <X11/XKBlib.h>
#endif

namespace corvane::platform {

void UseUnpairedKeyRepeat()
{
#ifdef CORVANE_X11_KEY_REPEAT
    static bool asked = false;
    if (asked || !qApp) return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) return;
    asked = true;
    Bool supported = False;
    XkbSetDetectableAutoRepeat(x11->display(), True, &supported);
#endif
}

}  // namespace corvane::platform
