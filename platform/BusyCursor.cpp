#include "platform/BusyCursor.h"

#include <QApplication>

namespace corvane::platform {

BusyCursor::BusyCursor()
{
    // The cursor changes with the next pass of the event loop; no events are handled here, so
    // nothing re-enters the caller.
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace corvane::platform
