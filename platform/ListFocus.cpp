#include "platform/ListFocus.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QPainter>

namespace corvane::platform {

void FocusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!(option.state & QStyle::State_HasFocus)) return;
    // Some styles draw no focus frame in lists, or a faint one; this one shows on any background.
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    const QPalette::ColorRole frame = selected ? QPalette::HighlightedText : QPalette::Highlight;
    painter->setPen(QPen(option.palette.color(QPalette::Active, frame), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

bool SelectFromNothing(QAbstractItemView& view, const QKeyEvent& event)
{
    QAbstractItemModel* model = view.model();
    if (!model || view.selectionModel()->hasSelection()) return false;
    if (event.modifiers() & ~Qt::KeypadModifier) return false;
    const int rows = model->rowCount(view.rootIndex());
    if (rows == 0) return false;
    const QModelIndex focused = view.currentIndex();
    int row = 0;
    switch (event.key()) {
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = rows - 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
        row = focused.isValid() ? focused.row() : 0;
        break;
    default:
        return false;
    }
    const QModelIndex entry = model->index(row, 0, view.rootIndex());
    view.selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
    view.scrollTo(entry);
    return true;
}

}  // namespace corvane::platform
