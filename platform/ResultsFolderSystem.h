// How each system tells an installed copy of the program and a folder its user may write.
// Internal to platform/: ResultsFolder.cpp holds the choice every system shares, and CMake builds
// ResultsFolderPosix.cpp or ResultsFolderWin.cpp beside it, each defining these for its own system.
#pragma once

#include <QDir>
#include <QString>

namespace corvane::platform::detail {

// True when the program in `program` was installed rather than built or unpacked there. The
// installed binary is the same file as the build folder's, so no mark compiled into it can tell
// the two apart; the layout around it can.
bool IsInstalled(const QDir& program);
// True when the user may create files in `folder`, by the system's own permissions.
bool UserCanWrite(const QString& folder);

}  // namespace corvane::platform::detail
