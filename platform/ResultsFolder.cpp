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
#ifdef Q_OS_WIN
// On Windows a copy is installed when the installer's uninstaller lies beside it, wherever the
// user chose to install it, or when it lies in Program Files, a folder that belongs to the system
// whoever may write it. The portable zip holds no uninstaller.
bool IsInstalled(const QDir& program)
{
    if (QFileInfo(program.filePath(QStringLiteral("Uninstall.exe"))).isFile()) return true;
    const QString folder = QDir::cleanPath(program.absolutePath());
    for (const char* variable : {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)"}) {
        const QString root = QDir::fromNativeSeparators(qEnvironmentVariable(variable));
        if (root.isEmpty()) continue;
        const QString cleanRoot = QDir::cleanPath(root);
        if (folder.compare(cleanRoot, Qt::CaseInsensitive) == 0 ||
            folder.startsWith(cleanRoot + QLatin1Char('/'), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}
#else
bool IsInstalled(const QDir& program)
{
    return program.dirName() == QLatin1String("bin") &&
           QFileInfo::exists(program.filePath(QStringLiteral("../share/applications/org.corvane.Corvane.desktop")));
}
#endif

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
    return QDir::toNativeSeparators(
        QDir(documents.isEmpty() ? QDir::homePath() : documents).filePath(QStringLiteral("Corvane")));
}

}  // namespace corvane::platform
