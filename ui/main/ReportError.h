// The one way Corvane tells the user that an operation failed.
#pragma once

#include <QString>
#include <QtGlobal>

#include "platform/Desktop.h"

namespace corvane {

// Shows "Error: <number>: <description>" with OK and Cancel, the exclamation icon and the
// caption "No Data", and returns the answer; closing the box counts as Cancel.
platform::MsgAnswer ReportError(qint32 number, const QString& description);

// The message text of such a report.
QString ErrorText(qint32 number, const QString& description);

}  // namespace corvane
