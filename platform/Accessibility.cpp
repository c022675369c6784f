#include "platform/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

#include <algorithm>

#include "platform/DriveList.h"
#include "platform/FolderList.h"
#include "platform/Form.h"

namespace corvane::platform {

namespace {

// A window with a plain border is the program's frame; a tool or dialog border makes a dialog.
class FormAccessible : public QAccessibleWidget {
public:
    explicit FormAccessible(Form* form) : QAccessibleWidget(form, RoleFor(form->Border())) {}

private:
    static QAccessible::Role RoleFor(BorderStyle border)
    {
        return border == BorderStyle::FixedSingle ? QAccessible::Window : QAccessible::Dialog;
    }
};

// Qt's own combo box takes its current text as its name on Linux; this one keeps the name it was
// given and reports the chosen drive as its value: as Qt's Value text, and as a read-only text,
// which is how the value of a combo box reaches the accessibility bus. Its one child is the
// list of drives, in which the chosen drive is the selected entry.
class DriveListAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DriveListAccessible(DriveList* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return Value();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == List()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& actionName) override
    {
        if (actionName == showMenuAction() || actionName == pressAction()) {
            List()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

    // The value as a text that cannot be edited or selected.
    QString text(int startOffset, int endOffset) const override
    {
        const QString value = Value();
        if (endOffset < 0 || endOffset > value.size()) endOffset = value.size();
        startOffset = std::clamp(startOffset, 0, static_cast<int>(endOffset));
        return value.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Value().size()); }
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    DriveList* List() const { return static_cast<DriveList*>(widget()); }
    QString Value() const { return List()->currentText(); }
};

// One entry of the folder list. It holds the list and a row, and reads everything else from the
// list when asked, so it stays right while the list is filled again.
class FolderEntryAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    FolderEntryAccessible(FolderList* list, int row) : list_(list), row_(row) {}

    bool isValid() const override { return list_ && row_ < list_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid()) return {};
        if (t == QAccessible::Name) return list_->item(row_)->text();
        if (t == QAccessible::Description) return QStringLiteral("level %1").arg(list_->EntryDepth(row_) + 1);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid()) return {};
        const QRect local = list_->visualItemRect(list_->item(row_));
        return QRect(list_->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.expandable = true;
        state.selected = list_->item(row_)->isSelected();
        state.focused = list_->hasFocus() && list_->currentRow() == row_;
        state.expanded = list_->EntryIsOnPath(row_);
        state.collapsed = !state.expanded;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {QLatin1String(kOpenAction), setFocusAction()}; }
    QString localizedActionDescription(const QString& actionName) const override
    {
        if (actionName == QLatin1String(kOpenAction)) return QStringLiteral("Opens the folder");
        return QAccessibleActionInterface::localizedActionDescription(actionName);
    }
    QStringList keyBindingsForAction(const QString& actionName) const override
    {
        return actionName == QLatin1String(kOpenAction) ? QStringList{QStringLiteral("Return")} : QStringList{};
    }
    // Opening may report an error in a modal box, so it runs after the call returns: the screen
    // reader that asked is not kept waiting until the box is closed.
    // A list disabled with its window while work runs takes no action.
    void doAction(const QString& actionName) override
    {
        if (!isValid() || !list_->isEnabled()) return;
        if (actionName == QLatin1String(kOpenAction)) {
            QMetaObject::invokeMethod(
                list_.data(), [list = list_, row = row_] { if (list && list->isEnabled()) list->OpenEntry(row); },
                Qt::QueuedConnection);
        } else if (actionName == setFocusAction()) {
            list_->setCurrentRow(row_);
            list_->setFocus(Qt::OtherFocusReason);
        }
    }

private:
    QPointer<FolderList> list_;
    int row_;
};

// The folder list as a tree. Its children are its rows in order, so the focus and selection
// events that Qt's list raises with a row number reach the right entry.
class FolderListAccessible : public QAccessibleWidget {
public:
    explicit FolderListAccessible(FolderList* list) : QAccessibleWidget(list, QAccessible::Tree) {}
    ~FolderListAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(entries_)) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return List()->count(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= List()->count()) return nullptr;
        if (const auto found = entries_.constFind(index); found != entries_.cend()) {
            return QAccessible::accessibleInterface(*found);
        }
        auto* entry = new FolderEntryAccessible(List(), index);
        entries_.insert(index, QAccessible::registerAccessibleInterface(entry));
        return entry;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) != child) continue;
            return it.key() < List()->count() ? it.key() : -1;
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint at = List()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = List()->indexAt(at);
        return index.isValid() ? child(index.row()) : nullptr;
    }

private:
    FolderList* List() const { return static_cast<FolderList*>(widget()); }

    mutable QHash<int, QAccessible::Id> entries_;
};

QAccessibleInterface* PlatformAccessibleFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType()) return nullptr;
    if (className == QLatin1String(Form::staticMetaObject.className())) {
        return new FormAccessible(static_cast<Form*>(object));
    }
    if (className == QLatin1String(DriveList::staticMetaObject.className())) {
        return new DriveListAccessible(static_cast<DriveList*>(object));
    }
    if (className == QLatin1String(FolderList::staticMetaObject.className())) {
        return new FolderListAccessible(static_cast<FolderList*>(object));
    }
    return nullptr;
}

}  // namespace

void InstallPlatformAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(PlatformAccessibleFactory);
        return true;
    }();
    static_cast<void>(installed);
}

}  // namespace corvane::platform
