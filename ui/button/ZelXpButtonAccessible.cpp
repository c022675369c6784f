// Screen readers see ZelXpButton as a push button named by its caption, and its press action
// clicks it once the action's call has returned.
#include "ui/button/Mnemonic.h"
#include "ui/button/ZelXpButton.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace corvane {

class ZelXpButtonAccessible : public QAccessibleWidget {
public:
    explicit ZelXpButtonAccessible(ZelXpButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) return ParseMnemonic(Button()->Caption()).Text;
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& actionName) override
    {
        if (actionName == pressAction()) Button()->AccessiblePress();
    }

    QStringList keyBindingsForAction(const QString& actionName) const override
    {
        const QString key = Button()->AccessKeys();
        if (actionName != pressAction() || key.isEmpty()) return {};
        return {QStringLiteral("Alt+") + key.toUpper()};
    }

private:
    ZelXpButton* Button() const { return static_cast<ZelXpButton*>(widget()); }
};

namespace {

QAccessibleInterface* ZelXpButtonAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(ZelXpButton::staticMetaObject.className()) && object && object->isWidgetType())
        return new ZelXpButtonAccessible(static_cast<ZelXpButton*>(object));
    return nullptr;
}

}  // namespace

void InstallZelXpButtonAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(ZelXpButtonAccessibleFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace corvane
