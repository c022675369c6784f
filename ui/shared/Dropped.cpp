#include "ui/shared/Dropped.h"

#include <QMimeData>
#include <QUrl>

#include <system_error>

#include "codec/Describe.h"
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
    return SystemError(std::make_error_code(std::errc::is_a_directory), "Cannot code", platform::NameInMessage(path),
                       "drop files, not folders");
}

}  // namespace corvane
