#include "ui/shared/Dropped.h"

#include <QMimeData>
#include <QUrl>

#include <cerrno>

#include "platform/Files.h"

namespace corvane {

QStringList DroppedPaths(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths << platform::LocalPath(url);
    }
    return paths;
}

bool CarriesFiles(const QMimeData* mime) { return !DroppedPaths(mime).isEmpty(); }

Error FolderDropped(const QString& path)
{
    return {EISDIR, "Cannot code '" + platform::Shown(path).toStdString() + "': Is a directory; drop files, not folders"};
}

}  // namespace corvane
