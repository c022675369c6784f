// Where the results go, chosen alike on every system; how a system tells an installed copy and
// a folder its user may write is its own (ResultsFolderSystem.h).
#include "platform/ResultsFolder.h"

#include <QDir>
#include <QStandardPaths>

#include "platform/Files.h"
#include "platform/ResultsFolderSystem.h"

namespace corvane::platform {

QString ResultsBase()
{
    const QString program = ProgramFolder();
    if (!detail::IsInstalled(QDir(program)) && detail::UserCanWrite(program)) return program;

    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir::toNativeSeparators(
        QDir(documents.isEmpty() ? QDir::homePath() : documents).filePath(QStringLiteral("Corvane")));
}

}  // namespace corvane::platform
