// The drive list as every system has it; which volumes a system has is its own
// (DriveListPosix.cpp, DriveListWin.cpp).
#include "platform/DriveList.h"

#include <QAbstractItemView>
#include <QDir>
#include <QItemSelectionModel>

#include <algorithm>

#include "platform/Accessibility.h"

namespace corvane::platform {

namespace {

// Windows names a path without regard to case; other systems as it is spelt.
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// True when `path` is `root` or lies below it.
bool IsOn(const QString& path, const QString& root)
{
    if (!path.startsWith(root, kPathCase)) return false;
    return path.size() == root.size() || root.endsWith(QDir::separator()) ||
           path.at(root.size()) == QDir::separator();
}

// A drive shows as its root ("c:" on Windows, where the letter says it all) and its label.
QString DisplayText(const Volume& volume)
{
#ifdef Q_OS_WIN
    QString text = volume.root.left(2).toLower();  // "c:"
#else
    QString text = volume.root;
#endif
    if (!volume.label.isEmpty()) text += QStringLiteral(" [%1]").arg(volume.label);
    return text;
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    InstallPlatformAccessibility();
    setAccessibleName(QStringLiteral("Drive"));
    SetVolumes(SystemVolumes());
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        SelectInView();
        emit Change();
    });
    SelectInView();
}

// The chosen drive is the selected entry of the list of drives, also while that list is not
// shown: a screen reader finds the value there.
void DriveList::SelectInView()
{
    const QModelIndex chosen = model()->index(currentIndex(), modelColumn());
    view()->selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
    view()->selectionModel()->setCurrentIndex(chosen, QItemSelectionModel::NoUpdate);
}

void DriveList::SetVolumes(std::vector<Volume> volumes)
{
    const QString chosen = count() > 0 ? Drive() : QDir::toNativeSeparators(QDir::currentPath());
    const QSignalBlocker quiet(this);
    volumes_ = std::move(volumes);
    clear();
    for (const Volume& volume : volumes_) addItem(DisplayText(volume));
    setCurrentIndex(std::max(0, IndexOf(chosen)));
    SelectInView();
}

QString DriveList::Drive() const
{
    const int index = currentIndex();
    return index >= 0 && index < static_cast<int>(volumes_.size()) ? volumes_[index].root : QString();
}

void DriveList::SetDrive(const QString& path)
{
    const int index = IndexOf(path);
    if (index >= 0) setCurrentIndex(index);
}

int DriveList::IndexOf(const QString& path) const
{
    const QString native = QDir::toNativeSeparators(path);
    int best = -1;
    for (int i = 0; i < static_cast<int>(volumes_.size()); ++i) {
        const QString& root = volumes_[i].root;
        if (IsOn(native, root) && (best < 0 || root.size() > volumes_[best].root.size())) best = i;
    }
    return best;
}

QString DriveList::DriveOf(const QString& path) const
{
    const int index = IndexOf(path);
    return index >= 0 ? volumes_[index].root : QString();
}

QString DriveList::FolderFor(const QString& drive, const QString& currentFolder) const
{
    return DriveOf(currentFolder) == drive ? currentFolder : drive;
}

}  // namespace corvane::platform
