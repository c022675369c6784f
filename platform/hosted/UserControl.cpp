#include "platform/hosted/UserControl.h"

#include "platform/hosted/KeyRepeat.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcut>

namespace corvane::platform {
namespace {

constexpr const char* kAmbientForeColor = "corvaneAmbientForeColor";

short ButtonCode(Qt::MouseButtons buttons)
{
    using namespace HostCodes;
    return static_cast<short>((buttons.testFlag(Qt::LeftButton) ? LeftButton : 0) |
                              (buttons.testFlag(Qt::RightButton) ? RightButton : 0) |
                              (buttons.testFlag(Qt::MiddleButton) ? MiddleButton : 0));
}

short ShiftCode(Qt::KeyboardModifiers modifiers)
{
    using namespace HostCodes;
    return static_cast<short>((modifiers.testFlag(Qt::ShiftModifier) ? ShiftMask : 0) |
                              (modifiers.testFlag(Qt::ControlModifier) ? CtrlMask : 0) |
                              (modifiers.testFlag(Qt::AltModifier) ? AltMask : 0));
}

// A mouse notification's arguments: `buttons` is the button concerned, or on a move those held.
struct MouseArguments {
    short Button;
    short Shift;
    float X;
    float Y;
};

MouseArguments MouseArgumentsOf(const QMouseEvent& event, Qt::MouseButtons buttons)
{
    return MouseArguments{ButtonCode(buttons), ShiftCode(event.modifiers()), static_cast<float>(event.position().x()),
                          static_cast<float>(event.position().y())};
}

struct KeyRow {
    int qtKey;
    short keyCode;
};
constexpr KeyRow kVirtualKeys[] = {
    {Qt::Key_Backspace, HostCodes::KeyBackspace}, {Qt::Key_Tab, HostCodes::KeyTab},
    {Qt::Key_Backtab, HostCodes::KeyTab},         {Qt::Key_Return, HostCodes::KeyEnter},
    {Qt::Key_Enter, HostCodes::KeyEnter},         {Qt::Key_Shift, HostCodes::KeyShift},
    {Qt::Key_Control, HostCodes::KeyControl},     {Qt::Key_Alt, HostCodes::KeyAlt},
    {Qt::Key_Pause, HostCodes::KeyPause},         {Qt::Key_CapsLock, HostCodes::KeyCapsLock},
    {Qt::Key_Escape, HostCodes::KeyEscape},       {Qt::Key_Space, HostCodes::KeySpace},
    {Qt::Key_PageUp, HostCodes::KeyPageUp},       {Qt::Key_PageDown, HostCodes::KeyPageDown},
    {Qt::Key_End, HostCodes::KeyEnd},             {Qt::Key_Home, HostCodes::KeyHome},
    {Qt::Key_Left, HostCodes::KeyArrowLeft},           {Qt::Key_Up, HostCodes::KeyArrowUp},
    {Qt::Key_Right, HostCodes::KeyArrowRight},         {Qt::Key_Down, HostCodes::KeyArrowDown},
    {Qt::Key_Insert, HostCodes::KeyInsert},       {Qt::Key_Delete, HostCodes::KeyDelete},
    {Qt::Key_Meta, HostCodes::KeyWindows},
};

short VirtualKeyCode(int qtKey)
{
    for (const auto& row : kVirtualKeys)
        if (row.qtKey == qtKey) return row.keyCode;
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<short>(qtKey);  // the platform's codes are the upper-case characters
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<short>(HostCodes::KeyF1 + (qtKey - Qt::Key_F1));
    return 0;
}

}  // namespace

void SetAmbientForeColor(QWidget* window, OleColor colour)
{
    window->setProperty(kAmbientForeColor, QVariant::fromValue<quint32>(colour));
}

UserControl::UserControl(QWidget* parent) : QWidget(parent), image_(size(), QImage::Format_RGB32)
{
    UseUnpairedKeyRepeat();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    drawingFont_ = ToQFont(font_);
    Cls();
}

UserControl::~UserControl() = default;

void UserControl::InitProperties()
{
    UserControl_InitProperties();
    layoutChanged_ = false;
}

std::optional<corvane::Error> UserControl::ReadProperties(const PropertyBag& bag)
{
    CORVANE_TRY(UserControl_ReadProperties(bag));
    layoutChanged_ = false;
    return std::nullopt;
}

PropertyBag UserControl::WriteProperties()
{
    PropertyBag bag;
    UserControl_WriteProperties(bag);
    layoutChanged_ = false;
    return bag;
}

Painter UserControl::hDC()
{
    FollowSize();
    return Painter(image_, drawingFont_);
}

void UserControl::Cls()
{
    FollowSize();
    image_.fill(ToQRgb(backColor_));
}

void UserControl::Refresh()
{
    if (isVisible()) repaint();
}

void UserControl::SetFont(const StdFont& font)
{
    font_ = font;
    drawingFont_ = ToQFont(font);
}

void UserControl::SetAccessKeys(const QString& keys)
{
    for (auto* shortcut : shortcuts_) delete shortcut;
    shortcuts_.clear();
    accessKeys_ = keys;
    for (const QChar key : keys) {
        const auto qtKey = static_cast<Qt::Key>(key.toUpper().unicode());
        auto* shortcut = new QShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, qtKey)), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, key] {
            if (!isEnabled()) return;
            short KeyAscii = static_cast<short>(key.unicode());
            UserControl_AccessKeyPress(KeyAscii);
        });
        shortcuts_.push_back(shortcut);
    }
}

AmbientProperties UserControl::Ambient() const
{
    AmbientProperties ambient;
    ambient.DisplayName = objectName();
    if (const QWidget* holder = parentWidget()) {
        ambient.Font = FromQFont(holder->font());
        const QVariant foreColor = holder->property(kAmbientForeColor);
        if (foreColor.isValid()) ambient.ForeColor = foreColor.value<quint32>();
    }
    return ambient;
}

void UserControl::PropertyChanged(const QString& name)
{
    layoutChanged_ = true;
    emit LayoutPropertyChanged(name);
}

void UserControl::SendKeys(const QString& keys)
{
    static const QString kTab = QStringLiteral("{Tab}");
    qsizetype pos = 0;
    while (pos < keys.size()) {
        const bool shift = keys[pos] == QLatin1Char('+');
        if (keys.mid(pos + (shift ? 1 : 0), kTab.size()).compare(kTab, Qt::CaseInsensitive) != 0) return;
        pos += kTab.size() + (shift ? 1 : 0);
        QMetaObject::invokeMethod(
            qApp,
            [shift] {
                QWidget* target = QApplication::focusWidget();
                if (!target) return;
                QKeyEvent tab(QEvent::KeyPress, shift ? Qt::Key_Backtab : Qt::Key_Tab,
                              shift ? Qt::ShiftModifier : Qt::NoModifier);
                QApplication::sendEvent(target, &tab);
            },
            Qt::QueuedConnection);
    }
}

void UserControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void UserControl::FollowSize()
{
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize(qRound(width() * ratio), qRound(height() * ratio));
    if (image_.size() == deviceSize && image_.devicePixelRatio() == ratio) return;
    // The image keeps what it shows; new area starts in the background colour. It holds the
    // screen's device pixels, so that lines and text are drawn sharp on high-density screens.
    QImage grown(deviceSize, QImage::Format_RGB32);
    grown.setDevicePixelRatio(ratio);
    grown.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    grown.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
    grown.fill(ToQRgb(backColor_));
    {
        QPainter painter(&grown);
        painter.drawImage(0, 0, image_);
    }
    image_ = grown;
}

void UserControl::resizeEvent(QResizeEvent*)
{
    FollowSize();
    UserControl_Resize();
}

void UserControl::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) UserControl_Show();
}

bool UserControl::ContainsPoint(QPoint local) const
{
    if (!rect().contains(local)) return false;
    return mask().isEmpty() || mask().contains(local);
}

void UserControl::mousePressEvent(QMouseEvent* event)
{
    // The second press of a double click is reported by the double-click event that follows.
    if (event->flags().testFlag(Qt::MouseEventCreatedDoubleClick)) return;
    pressedButton_ = event->button();
    releaseEndsDoubleClick_ = false;
    auto [Button, Shift, X, Y] = MouseArgumentsOf(*event, event->button());
    UserControl_MouseDown(Button, Shift, X, Y);
}

void UserControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    pressedButton_ = event->button();
    releaseEndsDoubleClick_ = true;
    UserControl_DblClick();
}

void UserControl::mouseMoveEvent(QMouseEvent* event)
{
    auto [Button, Shift, X, Y] = MouseArgumentsOf(*event, event->buttons());
    UserControl_MouseMove(Button, Shift, X, Y);
}

void UserControl::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = !releaseEndsDoubleClick_ && event->button() == pressedButton_ &&
                       ContainsPoint(event->position().toPoint());
    pressedButton_ = Qt::NoButton;
    releaseEndsDoubleClick_ = false;
    if (mouseGrabber() == this) releaseMouse();

    const QPointer<UserControl> alive(this);
    auto [Button, Shift, X, Y] = MouseArgumentsOf(*event, event->button());
    UserControl_MouseUp(Button, Shift, X, Y);
    if (click && alive) UserControl_Click();
}

void UserControl::keyPressEvent(QKeyEvent* event)
{
    const QPointer<UserControl> alive(this);
    short KeyCode = VirtualKeyCode(event->key());
    short Shift = ShiftCode(event->modifiers());
    UserControl_KeyDown(KeyCode, Shift);
    const QString text = event->text();
    if (alive && !text.isEmpty() && text[0].unicode() != 0x7F) {
        short KeyAscii = static_cast<short>(text[0].unicode());
        UserControl_KeyPress(KeyAscii);
    }
}

void UserControl::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) return;
    short KeyCode = VirtualKeyCode(event->key());
    short Shift = ShiftCode(event->modifiers());
    UserControl_KeyUp(KeyCode, Shift);
}

void UserControl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (hasHostFocus_) return;  // the window came back to the front with the focus still here
    hasHostFocus_ = true;
    UserControl_GotFocus();
}

void UserControl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    // Another window coming to the front or a popup leaves this window's focus where it is.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    hasHostFocus_ = false;
    UserControl_LostFocus();
}

}  // namespace corvane::platform
