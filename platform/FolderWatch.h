// Tells of changes to the list of a folder's files, whoever makes them (this program, another
// one, the companion): files added, removed or renamed in it, and the folder itself appearing or
// going. While the folder is missing, its nearest existing parent is watched instead, so that its
// appearance is seen too. Changes come as they happen, often many at once: a caller that reads
// the folder again gathers them (a viewer reads at most five times a second).
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include <functional>

namespace corvane::platform {

class FolderWatch : public QObject {
public:
    FolderWatch(QString folder, std::function<void()> changed, QObject* parent = nullptr);

private:
    void Watch();

    QString folder_;
    std::function<void()> changed_;
    QFileSystemWatcher watcher_;
};

}  // namespace corvane::platform
