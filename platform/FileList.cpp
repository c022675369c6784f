#include "platform/FileList.h"

#include <QKeyEvent>

#include "platform/FolderList.h"
#include "platform/ListFocus.h"
#include "platform/TextWrap.h"

namespace corvane::platform {

int FileNameModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant FileNameModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= names_.size()) return {};
    // A name too long for the list is shown cut in the middle; the tooltip holds the whole of it.
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return Shown(names_.at(index.row()));
    if (role == Qt::ToolTipRole) return WrappedToolTip(Shown(names_.at(index.row())));
    return {};
}

void FileNameModel::SetNames(QStringList names)
{
    beginResetModel();
    names_ = std::move(names);
    endResetModel();
}

FileList::FileList(QWidget* parent) : QListView(parent)
{
    setModel(&model_);
    setUniformItemSizes(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new FocusDelegate(this));
    setAccessibleName(QStringLiteral("Files"));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!loading_) emit Click();
    });
}

ErrorOr<QStringList> FileList::ReadFileNames(const QString& folder)
{
    return ReadFolderNames(folder, EntryKind::File);
}

std::optional<Error> FileList::SetPath(const QString& folder) { return Load(CleanFolderPath(folder), {}); }

std::optional<Error> FileList::Refresh() { return Load(path_, FileName()); }

std::optional<Error> FileList::Load(const QString& folder, const QString& keepSelected)
{
    CORVANE_TRY_VALUE(names, ReadFileNames(folder));
    if (keep_) names->removeIf([this](const QString& name) { return !keep_(name); });

    loading_ = true;
    model_.SetNames(std::move(names).value());
    path_ = folder;
    const int keep = keepSelected.isEmpty() ? -1 : static_cast<int>(model_.Names().indexOf(keepSelected));
    if (keep >= 0) SetListIndex(keep);
    loading_ = false;
    return std::nullopt;
}

void FileList::keyPressEvent(QKeyEvent* event)
{
    if (!SelectFromNothing(*this, *event)) QListView::keyPressEvent(event);
}

int FileList::ListIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileList::SetListIndex(int index)
{
    if (index < 0 || index >= ListCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex item = model_.index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
    scrollTo(item);
}

int FileList::ListCount() const { return static_cast<int>(model_.Names().size()); }

QString FileList::List(int index) const
{
    return index >= 0 && index < ListCount() ? model_.Names().at(index) : QString();
}

}  // namespace corvane::platform
