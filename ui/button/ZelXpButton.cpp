#include "ui/button/ZelXpButton.h"

#include "platform/Twips.h"

#include <QAccessible>
#include <QPointer>

namespace corvane {

using namespace platform;

void InstallZelXpButtonAccessibility();  // ZelXpButtonAccessible.cpp

namespace {

constexpr short kLeft = 1;
constexpr short kRight = 2;
constexpr short kEnter = 13;
constexpr short kSpace = 32;
constexpr short kArrowLeft = 37;
constexpr short kArrowUp = 38;
constexpr short kArrowRight = 39;
constexpr short kArrowDown = 40;

}  // namespace

ZelXpButton::ZelXpButton(QWidget* parent) : UserControl(parent)
{
    InstallZelXpButtonAccessibility();
    // Settings of the control class, until an instance's own properties are applied.
    UserControl::SetBackColor(SystemColorValue(SystemColor::Window));
    UserControl::SetForeColor(SystemColorValue(SystemColor::WindowFrame));
    UserControl::SetFont(StdFont{QStringLiteral("Tahoma"), 8.25, 400, 0});
    SetScaleMode(ScaleMode::Pixel);
    resize(TwipsToPixels(2535), TwipsToPixels(1380));
    HoverTimer.SetEnabled(false);
    HoverTimer.SetInterval(1);
    connect(&HoverTimer, &ChildTimer::Timer, this, &ZelXpButton::HoverTimer_Timer);
}

// Properties --------------------------------------------------------------------------------

void ZelXpButton::SetEnabled(bool value)
{
    Enabled_ = value;
    PropertyChanged(QStringLiteral("Enabled"));
    UserControl::SetEnabled(value);
    Redraw(0);
}

void ZelXpButton::SetFont(const StdFont& value)
{
    UserControl::SetFont(value);
    Redraw(0);
    PropertyChanged(QStringLiteral("Font"));
}

void ZelXpButton::SetCaption(const QString& value)
{
    Caption_ = value;
    Redraw(0);
    SetAccessKey();
    PropertyChanged(QStringLiteral("Caption"));
    QAccessibleEvent renamed(this, QAccessible::NameChanged);  // screen readers read the new caption
    QAccessible::updateAccessibility(&renamed);
}

void ZelXpButton::SetForeColor(OleColor value)
{
    UserControl::SetForeColor(value);
    Redraw(0);
    PropertyChanged(QStringLiteral("ForeColor"));
}

void ZelXpButton::SetForeHover(OleColor value)
{
    // No repaint: the colour shows the next time the hover look is drawn.
    ForeHover_ = value;
    PropertyChanged(QStringLiteral("ForeHover"));
}

PointerTracking ZelXpButton::Tracking() const
{
    if (!HoverTimer.Enabled()) return PointerTracking::Away;
    if (!Hovering) return PointerTracking::HeldInside;
    return InsideLatch == 1 ? PointerTracking::HoverLatched : PointerTracking::Hover;
}

// Stored layout ------------------------------------------------------------------------------

void ZelXpButton::UserControl_InitProperties()
{
    UserControl::SetFont(Ambient().Font);
    Caption_ = Ambient().DisplayName;
    Enabled_ = true;
}

void ZelXpButton::UserControl_ReadProperties(const PropertyBag& bag)
{
    Enabled_ = ToBoolean(bag.ReadProperty(QStringLiteral("Enabled"), true));
    UserControl::SetFont(ToFont(bag.ReadProperty(QStringLiteral("Font"), Ambient().Font)));
    Caption_ = ToText(bag.ReadProperty(QStringLiteral("Caption"), Ambient().DisplayName));
    UserControl::SetForeColor(ToColor(bag.ReadProperty(QStringLiteral("ForeColor"), ColorValue(Ambient().ForeColor))));
    // Absent, the hover colour is the button's own foreground colour just read, not the window's.
    ForeHover_ = ToColor(bag.ReadProperty(QStringLiteral("ForeHover"), ColorValue(UserControl::ForeColor())));
    UserControl::SetEnabled(Enabled_);
    SetAccessKey();
}

void ZelXpButton::UserControl_WriteProperties(PropertyBag& bag)
{
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled_, true);
    bag.WriteProperty(QStringLiteral("Font"), UserControl::Font(), Ambient().Font);
    bag.WriteProperty(QStringLiteral("Caption"), Caption_, Ambient().DisplayName);
    bag.WriteProperty(QStringLiteral("ForeColor"), ColorValue(UserControl::ForeColor()));
    bag.WriteProperty(QStringLiteral("ForeHover"), ColorValue(ForeHover_), ColorValue(Ambient().ForeColor));
}

// Geometry and shape -------------------------------------------------------------------------

void ZelXpButton::UserControl_Resize()
{
    GetClientRect(hWnd(), ClientRect);
    EdgeRight = ClientRect.Right - 1;
    EdgeLeft = ClientRect.Left;
    EdgeTop = ClientRect.Top;
    EdgeBottom = ClientRect.Bottom;
    ButtonWidth = ClientRect.Right;
    ButtonHeight = ClientRect.Bottom;
    Redraw(0);
}

void ZelXpButton::UserControl_Show()
{
    Redraw(0);
}

void ZelXpButton::ApplyShape()
{
    const std::int32_t W = ButtonWidth;
    const std::int32_t H = ButtonHeight;
    ShapeRegion = CreateRectRgn(0, 0, W, H);
    const Rect corners[] = {{0, 0, 1, 1}, {0, H - 1, 1, H}, {W - 1, 0, W, 1}, {W - 1, H - 1, W, H}};
    for (const Rect& corner : corners) {
        const Region CornerRegion = CreateRectRgn(corner.Left, corner.Top, corner.Right, corner.Bottom);
        CombineRgn(ShapeRegion, ShapeRegion, CornerRegion, CombineMode::Diff);
    }
    SetWindowRgn(hWnd(), ShapeRegion, true);
}

void ZelXpButton::SetAccessKey()
{
    // Positions count from 0 here; the rule is the caption's first single "&", skipping at most
    // one doubled "&&" before it.
    const QString& C = Caption_;
    const QChar amp = QLatin1Char('&');
    SetAccessKeys(QString());
    if (C.size() <= 1) return;
    const qsizetype p = C.indexOf(amp);
    if (p < 0 || p == C.size() - 1) return;
    if (C[p + 1] != amp) {
        SetAccessKeys(C[p + 1].toLower());
        return;
    }
    const qsizetype q = C.indexOf(amp, p + 2);
    if (q < 0 || q == C.size() - 1 || C[q + 1] == amp) return;
    SetAccessKeys(C[q + 1].toLower());
}

// Painting -----------------------------------------------------------------------------------

void ZelXpButton::Redraw(short Pressed)
{
    const ButtonFaceState state{Enabled_, Hovering, HasFocus, MouseButton, Caption_, UserControl::ForeColor(), ForeHover_};
    const ButtonGeometry geometry{ClientRect, EdgeLeft, EdgeTop, EdgeRight, EdgeBottom};
    look_ = ChooseLook(state, Pressed);
    ButtonFace(*this, geometry, state).Draw(look_);
    ApplyShape();
}

// Input --------------------------------------------------------------------------------------

bool ZelXpButton::IsMouseOver()
{
    return WindowFromPoint(GetCursorPos()) == hWnd();
}

void ZelXpButton::UserControl_MouseDown(short& Button, short& Shift, float& X, float& Y)
{
    if (!Enabled_) return;
    MouseButton = Button;
    Refresh();
    if (Button != kRight) Redraw(1);
    emit MouseDown(Button, Shift, X, Y);
}

void ZelXpButton::UserControl_MouseMove(short& Button, short& Shift, float& X, float& Y)
{
    if (Button < 2) {
        if (!IsMouseOver()) {
            if (InsideLatch == 0) return;
            Redraw(0);
        } else {
            if (InsideLatch == 1) return;
            InsideLatch = 1;
            if (Button == 0 && !Hovering) {
                HoverTimer.SetEnabled(true);
                Hovering = true;
                InsideLatch = 0;
                Redraw(0);
                emit MouseOver();
            } else if (Button == kLeft) {
                // Coming back with the left button held after the timer saw the pointer leave: start
                // the leave poll again, so that the leave brings the button back to Away.
                const bool returning = !HoverTimer.Enabled();
                HoverTimer.SetEnabled(true);
                Hovering = true;
                Redraw(1);
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
    InsideLatch = 0;
    Redraw(0);
    emit MouseOut();
}

void ZelXpButton::UserControl_MouseUp(short& Button, short& Shift, float& X, float& Y)
{
    Redraw(0);
    Refresh();
    emit MouseUp(Button, Shift, X, Y);
}

void ZelXpButton::UserControl_Click()
{
    if (MouseButton != kLeft) return;
    Redraw(0);
    Refresh();
    emit Click();
}

void ZelXpButton::UserControl_DblClick()
{
    if (MouseButton != kLeft) return;
    short Button = kLeft;
    short Shift = 0;
    float X = 0;
    float Y = 0;
    UserControl_MouseDown(Button, Shift, X, Y);
    SetCapture(hWnd());
}

void ZelXpButton::UserControl_KeyDown(short& KeyCode, short& Shift)
{
    LastKeyCode = KeyCode;
    if (KeyCode == kSpace || KeyCode == kEnter)
        Redraw(1);
    else if (KeyCode == kArrowLeft || KeyCode == kArrowRight)
        SendKeys(QStringLiteral("{Tab}"));
    else if (KeyCode == kArrowDown || KeyCode == kArrowUp)
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
    if ((KeyCode == kEnter && LastKeyCode == kEnter) || (KeyCode == kSpace && LastKeyCode == kSpace)) {
        Redraw(0);
        MouseButton = kLeft;
        Refresh();
        emit Click();
    }
    if (alive) emit KeyUp(KeyCode, Shift);
}

void ZelXpButton::UserControl_GotFocus()
{
    HasFocus = true;
    Redraw(1);
}

void ZelXpButton::UserControl_LostFocus()
{
    HasFocus = false;
    Redraw(0);
}

void ZelXpButton::UserControl_AccessKeyPress(short&)
{
    MouseButton = kLeft;
    UserControl_Click();
}

void ZelXpButton::AccessiblePress()
{
    if (!Enabled_) return;
    MouseButton = kLeft;
    UserControl_Click();
}

}  // namespace corvane
