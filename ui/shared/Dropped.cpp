#include "ui/shared/Dropped.h"

#include <QMimeData>
#include <QUrl>

#include <system_error>

#include <QFileInfo>
#include <QSet>

#include "codec/Describe.h"
#include "platform/Files.h"
#include "ui/shared/OutputFolders.h"

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

std::vector<BatchOutcome> CodeDroppedFiles(Coding coding, const QStringList& paths, const QString& folder,
                                           TransformControl* control,
                                           const std::function<void(int index, const BatchOutcome&)>& landed)
{
    std::vector<BatchOutcome> outcomes;
    for (int start = 0; start < paths.size();) {
        std::vector<BatchFile> batch;
        QSet<QString> names;
        for (; start + static_cast<int>(batch.size()) < paths.size(); ) {
            const QString& path = paths[start + static_cast<int>(batch.size())];
            const QString name = QFileInfo(path).fileName();
            if (names.contains(name)) break;
            names.insert(name);
            batch.push_back({coding, platform::ToPath(path), platform::ToPath(JoinPath(folder, name)), Links::Refuse});
        }
        const int first = start;
        for (BatchOutcome& outcome : TransformFiles(batch, control, [&](std::size_t i, const BatchOutcome& o) {
                 if (landed) landed(first + static_cast<int>(i), o);
             }))
            outcomes.push_back(std::move(outcome));
        start += static_cast<int>(batch.size());
        if (control && control->cancel) break;
    }
    return outcomes;
}

}  // namespace corvane
