#include "platform/FolderWatch.h"

#include <QDir>
#include <QFileInfo>

namespace corvane::platform {

FolderWatch::FolderWatch(QString folder, std::function<void()> changed, QObject* parent)
    : QObject(parent), folder_(QDir::cleanPath(std::move(folder))), changed_(std::move(changed))
{
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        Watch();  // the folder may have appeared or gone
        if (changed_) changed_();
    });
    Watch();
}

// The folder when it is there, else its nearest existing parent.
void FolderWatch::Watch()
{
    QString watched = folder_;
    while (!QFileInfo(watched).isDir()) {
        const QString parent = QFileInfo(watched).path();
        if (parent == watched) return;
        watched = parent;
    }
    const QStringList now = watcher_.directories();
    if (now == QStringList{watched}) return;
    if (!now.isEmpty()) watcher_.removePaths(now);
    watcher_.addPath(watched);
}

}  // namespace corvane::platform
