// The base of self-painted hosted controls: a child window with a persistent drawing surface,
// colours, font, access keys, the holding window's ambient values, a stored layout, and the input
// notifications of the control's host.
//
// Drawing happens only into the surface (hDC); paintEvent shows the surface's current image and
// nothing else, so a control repaints by drawing and then calling Refresh (or SetWindowRgn, which
// repaints as well).
//
// Input as the notifications report it:
// - a press and release over the control: MouseDown, MouseUp, then Click (any mouse button);
// - the second press of a double click arrives as DblClick instead of MouseDown, then MouseUp,
//   and no Click;
// - after a press on the control, moves and the release go to it even outside it;
// - keys go to the control while it has the focus: KeyDown, KeyPress (when the key gives a
//   character), KeyUp; auto-repeat gives further KeyDown and KeyPress only;
// - Alt with a character of AccessKeys anywhere in the control's window: AccessKeyPress;
// - a disabled control gets none of these.
//
// Values use the host's units, named in HostCodes below: Button 1 left, 2 right, 4 middle (on a
// move, all buttons held); Shift 1 Shift, 2 Ctrl, 4 Alt; X and Y in pixels from the control's
// top-left corner; KeyCode the platform's virtual-key code (13 Enter, 32 Space, 37-40 arrows,
// 65-90 letters); KeyAscii the character code. The notifications pass them by reference, as the
// control's own events pass them on to its holder.
//
// Lifecycle, driven by the holder: create the control, give it its name in the window
// (setObjectName, the Ambient DisplayName) and geometry, then InitProperties (a new instance),
// ReadProperties(bag) (an instance from a stored layout) or the control's own setters; Resize and
// Show follow when it is shown. WriteProperties gives the bag to store.
#pragma once

#include "platform/hosted/Color.h"
#include "platform/hosted/Gdi.h"
#include "platform/hosted/PropertyBag.h"
#include "platform/hosted/StdFont.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QShortcut;

namespace corvane::platform {

// The codes of the input notifications' arguments.
namespace HostCodes {
constexpr short LeftButton = 1;
constexpr short RightButton = 2;
constexpr short MiddleButton = 4;

constexpr short ShiftMask = 1;
constexpr short CtrlMask = 2;
constexpr short AltMask = 4;

constexpr short KeyBackspace = 8;
constexpr short KeyTab = 9;
constexpr short KeyEnter = 13;
constexpr short KeyShift = 16;
constexpr short KeyControl = 17;
constexpr short KeyAlt = 18;
constexpr short KeyPause = 19;
constexpr short KeyCapsLock = 20;
constexpr short KeyEscape = 27;
constexpr short KeySpace = 32;
constexpr short KeyPageUp = 33;
constexpr short KeyPageDown = 34;
constexpr short KeyEnd = 35;
constexpr short KeyHome = 36;
constexpr short KeyArrowLeft = 37;
constexpr short KeyArrowUp = 38;
constexpr short KeyArrowRight = 39;
constexpr short KeyArrowDown = 40;
constexpr short KeyInsert = 45;
constexpr short KeyDelete = 46;
constexpr short KeyWindows = 91;
constexpr short KeyF1 = 112;  // F2 to F24 follow
}  // namespace HostCodes

// What the window holding a control tells it about itself.
struct AmbientProperties {
    StdFont Font;
    OleColor ForeColor = SystemColorValue(SystemColor::ButtonText);
    QString DisplayName;
};

// A window's foreground colour as its controls see it in Ambient.ForeColor (system colour 18,
// button text, when the window sets none).
void SetAmbientForeColor(QWidget* window, OleColor colour);

class UserControl : public QWidget {
    Q_OBJECT
public:
    explicit UserControl(QWidget* parent = nullptr);
    ~UserControl() override;

    // Stored layout. A value of the wrong kind fails ReadProperties with error 13.
    void InitProperties();
    [[nodiscard]] std::optional<corvane::Error> ReadProperties(const PropertyBag& bag);
    PropertyBag WriteProperties();
    bool LayoutChanged() const { return layoutChanged_; }  // since the last read or write

    // The surface: an image that keeps what is drawn into it, in pixels, drawn in Font. It has the
    // screen's device pixel ratio (Image().devicePixelRatio()); ScaleWidth and ScaleHeight, like
    // every drawing coordinate, are in pixels independent of it.
    QWidget* hWnd() { return this; }
    Painter hDC();
    const QImage& Image() const { return image_; }
    void Cls();  // clears the image to BackColor
    int ScaleWidth() const { return width(); }
    int ScaleHeight() const { return height(); }
    void Refresh();

    // A control that repaints when one of these changes overrides its setter, and calls the base's
    // to store the value.
    StdFont Font() const { return font_; }
    virtual void SetFont(const StdFont& font);
    OleColor ForeColor() const { return foreColor_; }
    virtual void SetForeColor(OleColor colour) { foreColor_ = colour; }
    OleColor BackColor() const { return backColor_; }
    void SetBackColor(OleColor colour) { backColor_ = colour; }
    virtual bool Enabled() const { return isEnabled(); }
    virtual void SetEnabled(bool enabled) { setEnabled(enabled); }
    QString AccessKeys() const { return accessKeys_; }
    void SetAccessKeys(const QString& keys);

    AmbientProperties Ambient() const;
    void PropertyChanged(const QString& name);

    // Queues keystrokes for the active window without waiting: "{Tab}" moves the focus to the
    // next control in tab order, "+{Tab}" to the previous one. Other keys are not supported.
    static void SendKeys(const QString& keys);

signals:
    // A persisted property changed, so the holder's layout needs saving again.
    void LayoutPropertyChanged(const QString& name);

protected:
    virtual void UserControl_InitProperties() {}
    [[nodiscard]] virtual std::optional<corvane::Error> UserControl_ReadProperties(const PropertyBag&)
    {
        return std::nullopt;
    }
    virtual void UserControl_WriteProperties(PropertyBag&) {}
    virtual void UserControl_Resize() {}
    virtual void UserControl_Show() {}
    virtual void UserControl_MouseDown(short& /*Button*/, short& /*Shift*/, float& /*X*/, float& /*Y*/) {}
    virtual void UserControl_MouseMove(short& /*Button*/, short& /*Shift*/, float& /*X*/, float& /*Y*/) {}
    virtual void UserControl_MouseUp(short& /*Button*/, short& /*Shift*/, float& /*X*/, float& /*Y*/) {}
    virtual void UserControl_Click() {}
    virtual void UserControl_DblClick() {}
    virtual void UserControl_KeyDown(short& /*KeyCode*/, short& /*Shift*/) {}
    virtual void UserControl_KeyPress(short& /*KeyAscii*/) {}
    virtual void UserControl_KeyUp(short& /*KeyCode*/, short& /*Shift*/) {}
    virtual void UserControl_GotFocus() {}
    virtual void UserControl_LostFocus() {}
    virtual void UserControl_AccessKeyPress(short& /*KeyAscii*/) {}

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool ContainsPoint(QPoint local) const;
    // Sizes the image to the window; a hidden window gets its resize event only when shown.
    void FollowSize();

    QImage image_;
    StdFont font_;
    QFont drawingFont_;
    OleColor foreColor_ = SystemColorValue(SystemColor::ButtonText);
    OleColor backColor_ = SystemColorValue(SystemColor::ButtonFace);
    QString accessKeys_;
    std::vector<QShortcut*> shortcuts_;
    bool layoutChanged_ = false;
    Qt::MouseButton pressedButton_ = Qt::NoButton;
    bool releaseEndsDoubleClick_ = false;
    bool hasHostFocus_ = false;
};

}  // namespace corvane::platform
