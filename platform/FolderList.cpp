#include "platform/FolderList.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>
#include <filesystem>

#include "platform/Accessibility.h"
#include "platform/ListFocus.h"

namespace corvane::platform {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kOnPathRole = Qt::UserRole + 2;
constexpr int kIndent = 12;

// Indents each entry by its depth below the root. The open folder is always selected: without
// the keyboard it is marked in a quiet grey, so that the highlight, when the list takes the
// focus, shows plainly where the keyboard is.
class IndentDelegate : public FocusDelegate {
public:
    using FocusDelegate::FocusDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shifted = option;
        shifted.rect.setLeft(option.rect.left() + kIndent * index.data(kDepthRole).toInt());
        const bool focused = option.widget && option.widget->hasFocus();
        if ((option.state & QStyle::State_Selected) && !focused) {
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                shifted.palette.setColor(group, QPalette::Highlight, option.palette.color(group, QPalette::Midlight));
                shifted.palette.setColor(group, QPalette::HighlightedText, option.palette.color(group, QPalette::Text));
            }
        }
        FocusDelegate::paint(painter, shifted, index);
    }
};

// The folders from the root down to the clean folder path `folder`, each as a complete path.
// Worked out on the path alone: a name the system holds as other than UTF-8 is never looked up
// through a converted copy.
QStringList Chain(const QString& folder)
{
    QStringList chain;
    std::filesystem::path step = ToPath(folder);
    for (;;) {
        chain.prepend(FromPath(step));
        if (!step.has_relative_path()) return chain;
        step = step.parent_path();
    }
}

QString Join(const QString& folder, const QString& name)
{
    return folder.endsWith(QDir::separator()) ? folder + name : folder + QDir::separator() + name;
}

}  // namespace

QString CleanFolderPath(const QString& path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(path).absolutePath()));
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    InstallPlatformAccessibility();
    setAccessibleName(QStringLiteral("Folders"));
    // A current folder that cannot be read leaves the list empty until the first SetPath.
    static_cast<void>(SetPath(QDir::currentPath()));
}

ErrorOr<QStringList> FolderList::ReadSubfolders(const QString& folder)
{
    return ReadFolderNames(folder, EntryKind::Folder);
}

std::optional<Error> FolderList::SetPath(const QString& path)
{
    const QString folder = CleanFolderPath(path);
    CORVANE_TRY_VALUE(subfolders, ReadSubfolders(folder));

    const QStyle* look = style();
    clear();
    const QStringList chain = Chain(folder);
    for (int depth = 0; depth < chain.size(); ++depth) {
        const QString& step = chain[depth];
        const QString name = Shown(depth == 0 ? step : FromPath(ToPath(step).filename()));
        auto* item = new QListWidgetItem(
            look->standardIcon(depth == 0 ? QStyle::SP_DriveHDIcon : QStyle::SP_DirOpenIcon), name, this);
        item->setData(kPathRole, step);
        item->setData(kDepthRole, depth);
        item->setData(kOnPathRole, true);
    }
    setCurrentRow(count() - 1);
    for (const QString& name : *subfolders) {
        auto* item = new QListWidgetItem(look->standardIcon(QStyle::SP_DirClosedIcon), Shown(name), this);
        item->setData(kPathRole, Join(folder, name));
        item->setData(kDepthRole, static_cast<int>(chain.size()));
        item->setData(kOnPathRole, false);
    }

    const bool moved = folder != path_;
    path_ = folder;
    if (moved) emit Change();
    return std::nullopt;
}

int FolderList::EntryDepth(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(kDepthRole).toInt() : -1;
}

bool FolderList::EntryIsOnPath(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry && entry->data(kOnPathRole).toBool();
}

void FolderList::OpenEntry(int row) { Open(item(row)); }

void FolderList::Open(QListWidgetItem* item)
{
    if (!item) return;
    if (auto error = SetPath(item->data(kPathRole).toString())) emit OpenFailed(*error);
}

void FolderList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Open(currentItem());
        return;
    }
    if (!SelectFromNothing(*this, *event)) QListWidget::keyPressEvent(event);
}

void FolderList::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        Open(itemAt(event->position().toPoint()));
        return;
    }
    QListWidget::mouseDoubleClickEvent(event);
}

}  // namespace corvane::platform
