#include "platform/BusyCursor.h"

#include <QApplication>

namespace corvane::platform {

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Paint the new cursor now; input that arrives meanwhile waits for the operation to end.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace corvane::platform
