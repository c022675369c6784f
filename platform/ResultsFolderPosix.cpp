// An installed copy on POSIX systems, where the program and its desktop entry share a prefix.
#include <QFileInfo>

#include "platform/ResultsFolderSystem.h"

namespace corvane::platform::detail {

bool IsInstalled(const QDir& program)
{
    return program.dirName() == QLatin1String("bin") &&
           QFileInfo::exists(program.filePath(QStringLiteral("../share/applications/org.corvane.Corvane.desktop")));
}

bool UserCanWrite(const QString& folder) { return QFileInfo(folder).isWritable(); }

}  // namespace corvane::platform::detail
