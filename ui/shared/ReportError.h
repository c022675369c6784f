// The one way Corvane tells the user that an operation failed, and the one place where an
// Error becomes the text the user reads.
#pragma once

#include "codec/Error.h"
#include "platform/Desktop.h"

namespace corvane {

// Shows ErrorLine(error) ("Error: <number>: <description>") with OK and Cancel, the exclamation
// icon and the caption "No Data", and returns the answer; closing the box counts as Cancel.
platform::MsgAnswer ReportError(const Error& error);

// Shows WarningLine(warning) ("Warning: <number>: <description>") with OK and the exclamation
// icon under the program's title: a failure that did not stop the work (a file written whose
// folder could not be flushed to disk).
void ReportWarning(const Error& warning);

// The report of a command that codes a file or opens a folder: Cancel ends the program at once.
// Returns true when the user chose OK and the command goes on; false when the program was
// ended (the call returns at all only where ending is not final, as under a test's desktop).
bool ReportCommandError(const Error& error);

}  // namespace corvane
