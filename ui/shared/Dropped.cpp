#include "ui/shared/Dropped.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>

#include <cerrno>

namespace corvane {

QStringList DroppedPaths(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths << QDir::toNativeSeparators(url.toLocalFile());
    }
    return paths;
}

bool CarriesFiles(const QMimeData* mime) { return !DroppedPaths(mime).isEmpty(); }

Error FolderDropped(const QString& path)
{
    return {EISDIR, "Cannot code '" + path.toStdString() + "': Is a directory; drop files, not folders"};
}

}  // namespace corvane
