#include "platform/ResultsFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/Files.h"

#ifdef Q_OS_WIN
// Without it, QFileInfo reads only the read-only attribute, which folders do not carry.
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;
#endif

namespace corvane::platform {

namespace {

// The installed program's binary is the same file as the build folder's, so no mark compiled
// into it can tell the two apart; the layout around it can.
bool IsInstalled(const QDir& program)
{
    return program.dirName() == QLatin1String("bin") &&
           QFileInfo::exists(program.filePath(QStringLiteral("../share/applications/org.corvane.Corvane.desktop")));
}

bool UserCanWrite(const QString& folder)
{
#ifdef Q_OS_WIN
    ++qt_ntfs_permission_lookup;
#endif
    const bool writable = QFileInfo(folder).isWritable();
#ifdef Q_OS_WIN
    --qt_ntfs_permission_lookup;
#endif
    return writable;
}

}  // namespace

QString ResultsBase()
{
    const QString program = ProgramFolder();
    if (!IsInstalled(QDir(program)) && UserCanWrite(program)) return program;

    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString base = QDir(documents.isEmpty() ? QDir::homePath() : documents).filePath(QStringLiteral("Corvane"));
    QDir().mkpath(base);
    return QDir::toNativeSeparators(base);
}

}  // namespace corvane::platform
