// The volumes of Windows: its drive letters, each with its volume name.
#include <QDir>
#include <QStorageInfo>

#include "platform/DriveList.h"

namespace corvane::platform {

std::vector<Volume> DriveList::SystemVolumes()
{
    std::vector<Volume> volumes;
    for (const QFileInfo& drive : QDir::drives()) {
        const QStorageInfo info(drive.absoluteFilePath());
        volumes.push_back({QDir::toNativeSeparators(drive.absoluteFilePath()), info.name()});
    }
    return volumes;
}

}  // namespace corvane::platform
