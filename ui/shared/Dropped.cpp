#include "ui/shared/Dropped.h"

#include <QMimeData>
#include <QUrl>

#include <algorithm>
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

// Asked for every move of a drag over a window: the first local file answers.
bool CarriesFiles(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls()) return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

Error FolderDropped(const QString& path)
{
    return SystemError(std::make_error_code(std::errc::is_a_directory), "Cannot code", platform::NameInMessage(path),
                       "drop files, not folders");
}

}  // namespace corvane
