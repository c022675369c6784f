// The look of ZelXpButton: which look a repaint draws, and the drawing steps that paint it into
// the button's surface. Painting reads a snapshot of the button's state and changes none of it.
//
// Coordinates come from the edges stored at the last resize: L = EdgeLeft (0), T = EdgeTop (0),
// R = EdgeRight (W - 1, the last column) and B = EdgeBottom (H, one past the last row). Lines end
// before their end point, so a line from (L, y) to (R, y) paints columns 0 to W - 2.
#pragma once

#include "platform/hosted/Color.h"
#include "platform/hosted/Gdi.h"
#include "platform/hosted/UserControl.h"

#include <QString>

#include <cstdint>

namespace corvane {

using platform::OleColor;
using platform::Rgb;

// The fixed colours of the face.
namespace ButtonColors {
constexpr OleColor Border = Rgb(0, 60, 116);
constexpr OleColor CornerOuter = Rgb(122, 149, 168);
constexpr OleColor CornerInner = Rgb(37, 87, 131);
constexpr OleColor FaceStart = Rgb(255, 255, 253);
constexpr OleColor FaceFloor = Rgb(231, 231, 229);
constexpr OleColor FaceShade1 = Rgb(236, 235, 230);
constexpr OleColor FaceShade2 = Rgb(226, 223, 214);
constexpr OleColor FaceShade3 = Rgb(214, 208, 197);
constexpr OleColor PressedStart = Rgb(239, 238, 231);
constexpr OleColor PressedFloor = Rgb(225, 224, 217);
constexpr OleColor PressedTop1 = Rgb(209, 204, 192);
constexpr OleColor PressedTop2 = Rgb(220, 216, 207);
constexpr OleColor PressedBottom1 = Rgb(234, 233, 227);
constexpr OleColor PressedBottom2 = Rgb(242, 241, 238);
constexpr OleColor HotTop1 = Rgb(255, 240, 207);
constexpr OleColor HotTop2 = Rgb(253, 216, 137);
constexpr OleColor HotOuterStart = Rgb(254, 223, 154);
constexpr OleColor HotOuterFloor = Rgb(238, 175, 42);
constexpr OleColor HotInnerStart = Rgb(252, 210, 121);
constexpr OleColor HotInnerFloor = Rgb(243, 174, 49);
constexpr OleColor HotBottom = Rgb(229, 151, 0);
constexpr OleColor FocusTop1 = Rgb(206, 231, 251);
constexpr OleColor FocusTop2 = Rgb(188, 212, 246);
constexpr OleColor FocusSideStart = Rgb(186, 211, 246);
constexpr OleColor FocusSideFloor = Rgb(110, 154, 227);
constexpr OleColor FocusCorner = Rgb(77, 125, 193);
constexpr OleColor FocusBottom = Rgb(97, 125, 229);
constexpr OleColor DisabledFill = Rgb(245, 244, 234);
constexpr OleColor DisabledFrame = Rgb(201, 199, 186);
constexpr OleColor DisabledCorner1 = Rgb(216, 213, 199);
constexpr OleColor DisabledCorner2 = Rgb(234, 233, 222);
constexpr OleColor DisabledText = Rgb(161, 161, 146);
}  // namespace ButtonColors

enum class ButtonLook { Disabled, Pressed, Hot, Focused, Normal };

// The mouse button of the last press, valued as the host codes it; a key or access-key click
// counts as a left-button one.
enum class PressedButton : short {
    None = 0,
    Left = platform::HostCodes::LeftButton,
    Right = platform::HostCodes::RightButton,
    Middle = platform::HostCodes::MiddleButton,
};

// What a repaint reads of the button.
struct ButtonFaceState {
    bool Enabled = true;
    bool Hovering = false;
    bool HasFocus = false;
    PressedButton MouseButton = PressedButton::None;
    QString Caption;
    OleColor ForeColor = 0;
    OleColor ForeHover = 0;
};

// The geometry stored at the last resize, the one place the edges are computed from the client
// rectangle.
struct ButtonGeometry {
    platform::Rect ClientRect;
    std::int32_t ButtonWidth = 0;   // of the shape
    std::int32_t ButtonHeight = 0;
    std::int32_t EdgeLeft = 0;
    std::int32_t EdgeTop = 0;
    std::int32_t EdgeRight = -1;
    std::int32_t EdgeBottom = 0;
};
ButtonGeometry GeometryOf(const platform::Rect& clientRect);

// The first matching row decides: disabled; pressed (held down and the last press was left);
// hot (hovering); focused; normal.
ButtonLook ChooseLook(const ButtonFaceState& state, bool pressed);

// The rectangle the caption is drawn into: the full width, and `textHeight` rows centred on the
// surface's height, each edge rounded to the nearest pixel with halves to the even one.
platform::Rect CaptionRectangle(int scaleWidth, int scaleHeight, int textHeight);

class ButtonFace {
public:
    ButtonFace(platform::UserControl& surface, const ButtonGeometry& geometry, const ButtonFaceState& state);

    // Draws the steps of `look`, then the caption.
    void Draw(ButtonLook look);

    void DrawFace();
    void DrawPressed();
    void DrawHover();
    void DrawFocus();
    void DrawBorder();
    void DrawDisabled();
    void DrawCaption();

private:
    void PrepareSurface();
    void Line(int x0, int y0, int x1, int y1, OleColor colour, int width = 1);
    void Pixels(std::initializer_list<std::pair<QPoint, OleColor>> pixels);

    platform::UserControl& surface_;
    platform::Painter painter_;
    const ButtonGeometry& geometry_;
    const ButtonFaceState& state_;
};

}  // namespace corvane
