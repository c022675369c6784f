// What every list shares for keyboard users: the focused entry shows, and the first Down, Up,
// Home or End in a list with nothing selected selects an entry instead of only moving the focus.
#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;
class QKeyEvent;

namespace corvane::platform {

// Draws an entry as the style does, then, while the list has the focus, a rectangle in the
// system's highlight colours around the focused entry.
class FocusDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// With nothing selected in `view`, Home and End select the first and the last entry and Down,
// Up, Page Down and Page Up select the focused one (the first when none has the focus). Returns
// false, and does nothing, for every other key and whenever something is selected.
bool SelectFromNothing(QAbstractItemView& view, const QKeyEvent& event);

}  // namespace corvane::platform
