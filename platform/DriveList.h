// The drive list: the drives of this system in a drop-down list. On Windows the drive letters;
// elsewhere the mounted volumes that hold real file systems, the root first. Screen readers hear
// it as "Drive", with the chosen drive as its value.
#pragma once

#include <QComboBox>

#include <vector>

namespace corvane::platform {

struct Volume {
    QString root;   // "C:\" or "/media/usb", with native separators
    QString label;  // volume name or device, shown after the root
};

class DriveList : public QComboBox {
    Q_OBJECT
public:
    // Lists this system's volumes and chooses the one that holds the current folder.
    explicit DriveList(QWidget* parent = nullptr);

    static std::vector<Volume> SystemVolumes();
    // Shows these volumes instead (a drive that cannot be read is a volume whose root is
    // unreadable); keeps the choice where it can.
    void SetVolumes(std::vector<Volume> volumes);
    const std::vector<Volume>& Volumes() const { return volumes_; }

    // The chosen drive's root path.
    QString Drive() const;
    // Chooses the drive that holds `path` (a drive's root, or any path on it). Raises Change
    // when the choice moves.
    void SetDrive(const QString& path);
    // The root of the listed drive that holds `path`, or "" when none does.
    QString DriveOf(const QString& path) const;
    // The folder that choosing `drive` leads to: `currentFolder` when it lies on that drive,
    // else the drive's root.
    QString FolderFor(const QString& drive, const QString& currentFolder) const;

signals:
    // The choice moved, by the user or by SetDrive.
    void Change();

private:
    void SelectInView();
    int IndexOf(const QString& path) const;

    std::vector<Volume> volumes_;
};

}  // namespace corvane::platform
