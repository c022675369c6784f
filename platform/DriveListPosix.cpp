// The volumes of a POSIX system: the mounted file systems that hold user files, the root first.
#include <QDir>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

#include "platform/DriveList.h"

namespace corvane::platform {

std::vector<Volume> DriveList::SystemVolumes()
{
    std::vector<Volume> volumes;
    // File systems that hold no user files, and bind or duplicate mounts, are left out.
    static const QSet<QByteArray> kPseudo = {
        "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "pstore", "bpf",
        "debugfs", "tracefs", "mqueue", "hugetlbfs", "configfs", "fusectl", "autofs", "binfmt_misc",
        "nsfs", "ramfs", "efivarfs", "rpc_pipefs", "nfsd", "selinuxfs", "squashfs", "fuse.gvfsd-fuse",
        "fuse.portal", "overlay", "tmpfs"};
    QSet<QByteArray> devices;
    QList<QStorageInfo> mounted = QStorageInfo::mountedVolumes();
    std::sort(mounted.begin(), mounted.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
        return a.rootPath().size() != b.rootPath().size() ? a.rootPath().size() < b.rootPath().size()
                                                          : a.rootPath() < b.rootPath();
    });
    for (const QStorageInfo& info : mounted) {
        const bool isRoot = info.rootPath() == QDir::rootPath();
        if (!isRoot && (kPseudo.contains(info.fileSystemType()) || !info.isValid() || !info.isReady())) continue;
        if (!isRoot && devices.contains(info.device())) continue;
        devices.insert(info.device());
        QString label = info.name();
        if (label.isEmpty()) label = QString::fromLocal8Bit(info.device()).section(QLatin1Char('/'), -1);
        volumes.push_back({info.rootPath(), label});
    }
    if (volumes.empty() || volumes.front().root != QDir::rootPath()) {
        volumes.insert(volumes.begin(), {QDir::rootPath(), {}});
    }
    std::sort(volumes.begin() + 1, volumes.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    return volumes;
}

}  // namespace corvane::platform
