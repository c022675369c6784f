// ZelXpButton: the program's own XP-style push button. It paints its face itself (ButtonFace),
// follows the pointer to show a hover look, and raises its own events to the window holding it.
//
// Placing one in a window:
//   auto* cmdencode = new ZelXpButton(window);
//   cmdencode->setObjectName("cmdencode");                 // the name the window gives it
//   cmdencode->setGeometry(platform::TwipsToPixels(...));
//   cmdencode->SetFont(platform::StdFont{"MS Sans Serif", 8.25, 400, 0});
//   cmdencode->SetForeColor(platform::SystemColorValue(platform::SystemColor::WindowFrame));
//   cmdencode->SetForeHover(platform::Rgb(0, 0, 0));
//   cmdencode->SetCaption("&Encode File!");
//   cmdencode->SetEnabled(true);
//   QObject::connect(cmdencode, &ZelXpButton::Click, window, [] { ... });
// (or InitProperties / ReadProperties, as UserControl describes).
//
// Events carry their arguments by reference: a handler connected directly sees, and may change,
// the values the control passes on, and runs to its end before the control goes on. Connect them
// directly (the default for objects of one thread), never queued.
#pragma once

#include "platform/hosted/ChildTimer.h"
#include "platform/hosted/UserControl.h"
#include "ui/button/ButtonFace.h"

namespace corvane {

// How the button is following the pointer.
enum class PointerTracking {
    Away,          // not hovering, timer off
    Hover,         // hover look, timer polling for the leave
    HoverLatched,  // hovering, further moves over the button are not reported
    HeldInside,    // entered with the left button held; timer polling for the leave
};

class ZelXpButton : public platform::UserControl {
    Q_OBJECT
public:
    explicit ZelXpButton(QWidget* parent = nullptr);

    // The five properties; Font and ForeColor are read through UserControl.
    bool Enabled() const override { return Stored.Enabled; }
    void SetEnabled(bool value) override;
    void SetFont(const platform::StdFont& value) override;
    QString Caption() const { return Stored.Caption; }
    void SetCaption(const QString& value);
    void SetForeColor(OleColor value) override;
    OleColor ForeHover() const { return Stored.ForeHover; }
    void SetForeHover(OleColor value);

    // The look drawn by the last repaint, and the pointer tracking state.
    ButtonLook Look() const { return ShownLook; }
    PointerTracking Tracking() const;

signals:
    // In this order: the position in the list is the event's identity for the holder.
    void Click();
    void MouseDown(short& Button, short& Shift, float& X, float& Y);
    void MouseMove(short& Button, short& Shift, float& X, float& Y);
    void MouseUp(short& Button, short& Shift, float& X, float& Y);
    void KeyPress(short& KeyAscii);
    void KeyDown(short& KeyCode, short& Shift);
    void KeyUp(short& KeyCode, short& Shift);
    void MouseOver();
    void MouseOut();

protected:
    void UserControl_InitProperties() override;
    std::optional<corvane::Error> UserControl_ReadProperties(const platform::PropertyBag& bag) override;
    void UserControl_WriteProperties(platform::PropertyBag& bag) override;
    void UserControl_Resize() override;
    void UserControl_Show() override;
    void UserControl_MouseDown(short& Button, short& Shift, float& X, float& Y) override;
    void UserControl_MouseMove(short& Button, short& Shift, float& X, float& Y) override;
    void UserControl_MouseUp(short& Button, short& Shift, float& X, float& Y) override;
    void UserControl_Click() override;
    void UserControl_DblClick() override;
    void UserControl_KeyDown(short& KeyCode, short& Shift) override;
    void UserControl_KeyPress(short& KeyAscii) override;
    void UserControl_KeyUp(short& KeyCode, short& Shift) override;
    void UserControl_GotFocus() override;
    void UserControl_LostFocus() override;
    void UserControl_AccessKeyPress(short& KeyAscii) override;
    // A window disabled around the button (while work runs) shows it in the disabled look too.
    void changeEvent(QEvent* event) override;

private:
    friend class ZelXpButtonAccessible;

    void Redraw(bool pressed);
    void ApplyShape();
    void SetAccessKey();
    bool IsMouseOver();
    void HoverTimer_Timer();
    void AccessiblePress();

    // The button's state. The client rectangle, its edges and the shape's size, stored at the
    // last resize, are in Geometry.
    ButtonGeometry Geometry;
    bool Hovering = false;
    bool InsideLatch = false;
    bool HasFocus = false;
    PressedButton MouseButton = PressedButton::None;
    short LastKeyCode = 0;
    // The values of the Enabled, Caption and ForeHover properties.
    struct {
        bool Enabled = false;
        QString Caption;
        OleColor ForeHover = 0;
    } Stored;

    platform::ChildTimer HoverTimer;
    ButtonLook ShownLook = ButtonLook::Normal;
};

}  // namespace corvane
