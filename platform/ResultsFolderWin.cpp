// An installed copy on Windows, where the installer leaves its uninstaller beside the program.
#include <QFileInfo>

#include "platform/ResultsFolderSystem.h"

// Without it, QFileInfo reads only the read-only attribute, which folders do not carry.
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;

namespace corvane::platform::detail {

// A copy is installed when the installer's uninstaller lies beside it, wherever the user chose to
// install it, or when it lies in Program Files, a folder that belongs to the system whoever may
// write it. The portable zip holds no uninstaller.
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

bool UserCanWrite(const QString& folder)
{
    ++qt_ntfs_permission_lookup;
    const bool writable = QFileInfo(folder).isWritable();
    --qt_ntfs_permission_lookup;
    return writable;
}

}  // namespace corvane::platform::detail
