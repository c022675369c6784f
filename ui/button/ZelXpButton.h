// ZelXpButton: the program's own XP-style push button. It paints its face itself (ButtonFace),
// follows the pointer to show a hover look, and raises its own events to the window holding it.
//
// Placing one in a window:
//   auto* cmdencode = new ZelXpButton(window);
//   cmdencode->setObjectName("cmdencode");                 // the name the window gives it
//   cmdencode->setGeometry(platform::TwipsToPixels(...));
//   cmdencode->ReadProperties(*platform::PropertyBag::FromText(
//       R"(Caption = "&Encode File!"; Font = Font("MS Sans Serif", 8.25, 400, 0);
//          ForeColor = 0x80000006; ForeHover = 0x00000000)"));
//   QObject::connect(cmdencode, &ZelXpButton::Click, window, [] { ... });
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

    bool Enabled() const { return Enabled_; }
    void SetEnabled(bool value);
    platform::StdFont Font() const { return UserControl::Font(); }
    void SetFont(const platform::StdFont& value);
    QString Caption() const { return Caption_; }
    void SetCaption(const QString& value);
    OleColor ForeColor() const { return UserControl::ForeColor(); }
    void SetForeColor(OleColor value);
    OleColor ForeHover() const { return ForeHover_; }
    void SetForeHover(OleColor value);

    // The look drawn by the last repaint, and the pointer tracking state.
    ButtonLook Look() const { return look_; }
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
    void UserControl_ReadProperties(const platform::PropertyBag& bag) override;
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

private:
    friend class ZelXpButtonAccessible;

    void Redraw(short Pressed);
    void ApplyShape();
    void SetAccessKey();
    bool IsMouseOver();
    void HoverTimer_Timer();
    void AccessiblePress();

    platform::Rect ClientRect;
    std::int32_t ButtonWidth = 0;
    std::int32_t ButtonHeight = 0;
    platform::Region ShapeRegion;
    bool Hovering = false;
    short InsideLatch = 0;
    bool HasFocus = false;
    short MouseButton = 0;
    short LastKeyCode = 0;
    std::int32_t EdgeRight = 0;
    std::int32_t EdgeLeft = 0;
    std::int32_t EdgeTop = 0;
    std::int32_t EdgeBottom = 0;
    // The values of the Enabled, Caption and ForeHover properties.
    bool Enabled_ = false;
    QString Caption_;
    OleColor ForeHover_ = 0;

    platform::ChildTimer HoverTimer;
    ButtonLook look_ = ButtonLook::Normal;
};

}  // namespace corvane
