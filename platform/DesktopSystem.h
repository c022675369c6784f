// How each system starts a program for the desktop. Internal to platform/: Desktop.cpp holds
// what every system shares, and CMake builds DesktopPosix.cpp or DesktopWin.cpp beside it, each
// defining these for its own system (and FileManagerRequest of Desktop.h).
#pragma once

#include "platform/Desktop.h"

namespace corvane::platform::detail {

// Starts `request.program` without waiting for it. Returns 0, or the system's own number for
// why it could not start (errno elsewhere, a Windows error code on Windows). `ended`, when given,
// hears the program's exit status on the user-interface thread; Windows never calls it, as its
// programs' statuses say nothing of the outcome.
int StartDetached(const ProgramRequest& request, ProgramEnded ended);

}  // namespace corvane::platform::detail
