#include "ui/button/ZelXpButton.h"

#include "platform/Twips.h"
#include "ui/button/Mnemonic.h"

#include <QAccessible>
#include <QPointer>

namespace corvane {

using namespace platform;

void InstallZelXpButtonAccessibility();  // ZelXpButtonAccessible.cpp

using namespace HostCodes;

ZelXpButton::ZelXpButton(QWidget* parent) : UserControl(parent)
{
    InstallZelXpButtonAccessibility();
    // Settings of the control class, until an instance's own properties are applied.
    UserControl::SetBackColor(SystemColorValue(SystemColor::Window));
    UserControl::SetForeColor(SystemColorValue(SystemColor::WindowFrame));
    UserControl::SetFont(StdFont{QStringLiteral("Tahoma"), 8.25, 400, 0});
    resize(TwipsToPixels(2535), TwipsToPixels(1380));
    HoverTimer.SetEnabled(false);
    HoverTimer.SetInterval(1);
    connect(&HoverTimer, &ChildTimer::Timer, this, &ZelXpButton::HoverTimer_Timer);
}

// Properties --------------------------------------------------------------------------------

void ZelXpButton::SetEnabled(bool value)
{
    Stored.Enabled = value;
    PropertyChanged(QStringLiteral("Enabled"));
    UserControl::SetEnabled(value);
    Redraw(false);
}

void ZelXpButton::SetFont(const StdFont& value)
{
    UserControl::SetFont(value);
    Redraw(false);
    PropertyChanged(QStringLiteral("Font"));
}

void ZelXpButton::SetCaption(const QString& value)
{
    Stored.Caption = value;
    Redraw(false);
    SetAccessKey();
    PropertyChanged(QStringLiteral("Caption"));
    QAccessibleEvent renamed(this, QAccessible::NameChanged);  // screen readers read the new caption
    QAccessible::updateAccessibility(&renamed);
}

void ZelXpButton::SetForeColor(OleColor value)
{
    UserControl::SetForeColor(value);
    Redraw(false);
    PropertyChanged(QStringLiteral("ForeColor"));
}

void ZelXpButton::SetForeHover(OleColor value)
{
    // No repaint: the colour shows the next time the hover look is drawn.
    Stored.ForeHover = value;
    PropertyChanged(QStringLiteral("ForeHover"));
}

PointerTracking ZelXpButton::Tracking() const
{
    if (!HoverTimer.Enabled()) return PointerTracking::Away;
    if (!Hovering) return PointerTracking::HeldInside;
    return InsideLatch ? PointerTracking::HoverLatched : PointerTracking::Hover;
}

// Stored layout ------------------------------------------------------------------------------

void ZelXpButton::UserControl_InitProperties()
{
    UserControl::SetFont(Ambient().Font);
    Stored.Caption = Ambient().DisplayName;
    Stored.Enabled = true;
}

std::optional<corvane::Error> ZelXpButton::UserControl_ReadProperties(const PropertyBag& bag)
{
    const auto enabled = ToBoolean(bag.ReadProperty(QStringLiteral("Enabled"), true));
    const auto font = ToFont(bag.ReadProperty(QStringLiteral("Font"), Ambient().Font));
    const auto caption = ToText(bag.ReadProperty(QStringLiteral("Caption"), Ambient().DisplayName));
    const auto foreColor = ToColor(bag.ReadProperty(QStringLiteral("ForeColor"), ColorValue(Ambient().ForeColor)));
    CORVANE_TRY(FirstError(enabled, font, caption, foreColor));
    // Absent, the hover colour is the button's own foreground colour just read, not the window's.
    CORVANE_TRY_VALUE(foreHover, ToColor(bag.ReadProperty(QStringLiteral("ForeHover"), ColorValue(*foreColor))));

    Stored.Enabled = *enabled;
    UserControl::SetFont(*font);
    Stored.Caption = *caption;
    UserControl::SetForeColor(*foreColor);
    Stored.ForeHover = *foreHover;
    UserControl::SetEnabled(Stored.Enabled);
    SetAccessKey();
    return std::nullopt;
}

void ZelXpButton::UserControl_WriteProperties(PropertyBag& bag)
{
    bag.WriteProperty(QStringLiteral("Enabled"), Stored.Enabled, true);
    bag.WriteProperty(QStringLiteral("Font"), Font(), Ambient().Font);
    bag.WriteProperty(QStringLiteral("Caption"), Stored.Caption, Ambient().DisplayName);
    bag.WriteProperty(QStringLiteral("ForeColor"), ColorValue(ForeColor()));
    bag.WriteProperty(QStringLiteral("ForeHover"), ColorValue(Stored.ForeHover), ColorValue(Ambient().ForeColor));
}

// Geometry and shape -------------------------------------------------------------------------

void ZelXpButton::UserControl_Resize()
{
    Geometry = GeometryOf(GetClientRect(hWnd()));
    Redraw(false);
}

void ZelXpButton::UserControl_Show()
{
    Redraw(false);
}

void ZelXpButton::ApplyShape()
{
    const std::int32_t W = Geometry.ButtonWidth;
    const std::int32_t H = Geometry.ButtonHeight;
    Region ShapeRegion(Rect{0, 0, W, H});
    for (const Rect& corner : {Rect{0, 0, 1, 1}, Rect{0, H - 1, 1, H}, Rect{W - 1, 0, W, 1}, Rect{W - 1, H - 1, W, H}})
        ShapeRegion.Subtract(corner);
    SetWindowRgn(hWnd(), ShapeRegion);
}

void ZelXpButton::SetAccessKey()
{
    SetAccessKeys(ParseMnemonic(Stored.Caption).AccessKey());
}

// Painting -----------------------------------------------------------------------------------

void ZelXpButton::Redraw(bool pressed)
{
    const ButtonFaceState state{Stored.Enabled && isEnabled(), Hovering,  HasFocus,  MouseButton,
                                Stored.Caption, ForeColor(), Stored.ForeHover};
    ShownLook = ChooseLook(state, pressed);
    ButtonFace(*this, Geometry, state).Draw(ShownLook);
    // The new face reaches the screen here: setting the shape repaints the window with the
    // surface's image, which is why Redraw itself never calls Refresh.
    ApplyShape();
}

void ZelXpButton::changeEvent(QEvent* event)
{
    UserControl::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && Geometry.ButtonWidth > 0) Redraw(false);
}

// Input --------------------------------------------------------------------------------------

bool ZelXpButton::IsMouseOver()
{
    return WindowFromPoint(GetCursorPos()) == hWnd();
}

void ZelXpButton::UserControl_MouseDown(short& Button, short& Shift, float& X, float& Y)
{
    if (!Stored.Enabled) return;
    MouseButton = static_cast<PressedButton>(Button);
    Refresh();
    if (Button != RightButton) Redraw(true);
    emit MouseDown(Button, Shift, X, Y);
}

void ZelXpButton::UserControl_MouseMove(short& Button, short& Shift, float& X, float& Y)
{
    // A move with the right or middle button held changes nothing and is only reported.
    if (Button < RightButton) {
        if (!IsMouseOver()) {
            if (!InsideLatch) return;
            Redraw(false);
        } else {
            if (InsideLatch) return;
            InsideLatch = true;
            if (Button == 0 && !Hovering) {
                HoverTimer.SetEnabled(true);
                Hovering = true;
                InsideLatch = false;
                Redraw(false);
                emit MouseOver();
            } else if (Button == LeftButton) {
                // Coming back with the left button held after the timer saw the pointer leave: start
                // the leave poll again, so that the leave brings the button back to Away.
                const bool returning = !HoverTimer.Enabled();
                HoverTimer.SetEnabled(true);
                Hovering = true;
                Redraw(true);
                Hovering = false;
                if (returning) emit MouseOver();
            }
        }
    }
    emit MouseMove(Button, Shift, X, Y);
}

void ZelXpButton::HoverTimer_Timer()
{
    if (IsMouseOver()) return;
    HoverTimer.SetEnabled(false);
    Hovering = false;
    InsideLatch = false;
    Redraw(false);
    emit MouseOut();
}

void ZelXpButton::UserControl_MouseUp(short& Button, short& Shift, float& X, float& Y)
{
    Redraw(false);
    Refresh();
    emit MouseUp(Button, Shift, X, Y);
}

void ZelXpButton::UserControl_Click()
{
    if (MouseButton != PressedButton::Left) return;
    Redraw(false);
    Refresh();
    emit Click();
}

void ZelXpButton::UserControl_DblClick()
{
    if (MouseButton != PressedButton::Left) return;
    short Button = LeftButton;
    short Shift = 0;
    float X = 0;
    float Y = 0;
    UserControl_MouseDown(Button, Shift, X, Y);
    SetCapture(hWnd());
}

void ZelXpButton::UserControl_KeyDown(short& KeyCode, short& Shift)
{
    LastKeyCode = KeyCode;
    if (KeyCode == KeySpace || KeyCode == KeyEnter)
        Redraw(true);
    else if (KeyCode == KeyArrowLeft || KeyCode == KeyArrowRight)
        SendKeys(QStringLiteral("{Tab}"));
    else if (KeyCode == KeyArrowDown || KeyCode == KeyArrowUp)
        SendKeys(QStringLiteral("+{Tab}"));
    emit KeyDown(KeyCode, Shift);
}

void ZelXpButton::UserControl_KeyPress(short& KeyAscii)
{
    emit KeyPress(KeyAscii);
}

void ZelXpButton::UserControl_KeyUp(short& KeyCode, short& Shift)
{
    const QPointer<ZelXpButton> alive(this);
    if ((KeyCode == KeyEnter && LastKeyCode == KeyEnter) || (KeyCode == KeySpace && LastKeyCode == KeySpace)) {
        Redraw(false);
        MouseButton = PressedButton::Left;
        Refresh();
        emit Click();
    }
    if (alive) emit KeyUp(KeyCode, Shift);
}

void ZelXpButton::UserControl_GotFocus()
{
    HasFocus = true;
    Redraw(true);
}

void ZelXpButton::UserControl_LostFocus()
{
    HasFocus = false;
    Redraw(false);
}

void ZelXpButton::UserControl_AccessKeyPress(short&)
{
    MouseButton = PressedButton::Left;
    UserControl_Click();
}

void ZelXpButton::AccessiblePress()
{
    // The Click runs after the screen reader's call has returned, as with Qt's own buttons: a
    // Click that opens a modal box would otherwise hold the call until the box is closed.
    // A button in a window disabled while work runs takes no press either.
    if (!Stored.Enabled || !isEnabled()) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!Stored.Enabled || !isEnabled()) return;
            MouseButton = PressedButton::Left;
            UserControl_Click();
        },
        Qt::QueuedConnection);
}

}  // namespace corvane
