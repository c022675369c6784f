#include "ui/button/ButtonFace.h"

#include "ui/button/Mnemonic.h"

#include <cmath>

namespace corvane {

using namespace platform;
using namespace ButtonColors;

namespace {

// A gradient colour held as its three components, stepped after each row while it is above its floor.
struct Shade {
    int r, g, b;
    OleColor Value() const { return Rgb(r, g, b); }
    void Step(int dr, int dg, int db)
    {
        r -= dr;
        g -= dg;
        b -= db;
    }
};

Shade ShadeOf(OleColor colour)
{
    return Shade{RedOf(colour), GreenOf(colour), BlueOf(colour)};
}

std::int32_t RoundHalfEven(double value)
{
    return static_cast<std::int32_t>(std::nearbyint(value));
}

}  // namespace

ButtonGeometry GeometryOf(const Rect& clientRect)
{
    return ButtonGeometry{clientRect,       clientRect.Right,      clientRect.Bottom, clientRect.Left,
                          clientRect.Top,   clientRect.Right - 1,  clientRect.Bottom};
}

ButtonLook ChooseLook(const ButtonFaceState& state, bool pressed)
{
    if (!state.Enabled) return ButtonLook::Disabled;
    if (pressed && state.MouseButton == PressedButton::Left) return ButtonLook::Pressed;
    if (state.Hovering) return ButtonLook::Hot;
    if (state.HasFocus) return ButtonLook::Focused;
    return ButtonLook::Normal;
}

Rect CaptionRectangle(int scaleWidth, int scaleHeight, int textHeight)
{
    return Rect{0, RoundHalfEven(scaleHeight * 0.5 - textHeight * 0.5), scaleWidth,
                RoundHalfEven(scaleHeight * 0.5 + textHeight * 0.5)};
}

ButtonFace::ButtonFace(UserControl& surface, const ButtonGeometry& geometry, const ButtonFaceState& state)
    : surface_(surface), painter_(surface.hDC()), geometry_(geometry), state_(state)
{
}

void ButtonFace::Draw(ButtonLook look)
{
    switch (look) {
    case ButtonLook::Disabled: DrawDisabled(); break;
    case ButtonLook::Pressed:
        DrawPressed();
        DrawBorder();
        break;
    case ButtonLook::Hot:
        DrawFace();
        DrawHover();
        DrawBorder();
        break;
    case ButtonLook::Focused:
        DrawFace();
        DrawFocus();
        DrawBorder();
        break;
    case ButtonLook::Normal:
        DrawFace();
        DrawBorder();
        break;
    }
    DrawCaption();
}

// Every look starts from a surface cleared to the background colour.
void ButtonFace::PrepareSurface()
{
    surface_.Cls();
}

void ButtonFace::Line(int x0, int y0, int x1, int y1, OleColor colour, int width)
{
    painter_.DrawLine({x0, y0}, {x1, y1}, colour, width);
}

void ButtonFace::Pixels(std::initializer_list<std::pair<QPoint, OleColor>> pixels)
{
    for (const auto& [at, colour] : pixels) painter_.SetPixel(at, colour);
}

void ButtonFace::DrawFace()
{
    const auto& [rect, W, H, L, T, R, B] = geometry_;
    PrepareSurface();
    Shade shade = ShadeOf(FaceStart);
    for (int y = T + 3; y <= B - 3; ++y) {
        Line(L, y, R, y, shade.Value());
        if (shade.b > 229) shade.Step(1, 1, 1);
    }
    Line(L, B - 2, R, B - 2, FaceShade3);
    Line(L, B - 3, R, B - 3, FaceShade2);
    Line(L, B - 4, R, B - 4, FaceShade1);
}

void ButtonFace::DrawPressed()
{
    const auto& [rect, W, H, L, T, R, B] = geometry_;
    PrepareSurface();
    // Bands as wide as their spacing tile the face.
    Shade shade = ShadeOf(PressedStart);
    for (int y = T + 3; y <= B - 2; y += 4) {
        Line(L, y, R, y, shade.Value(), 4);
        if (shade.b >= 218) shade.Step(1, 1, 1);
    }
    Line(L, T + 1, R, T + 1, PressedTop1);
    Line(L, T + 2, R, T + 2, PressedTop2);
    Line(L, B - 3, R, B - 3, PressedBottom1);
    Line(L, B - 2, R, B - 2, PressedBottom2);
}

void ButtonFace::DrawHover()
{
    const auto& [rect, W, H, L, T, R, B] = geometry_;
    Line(L + 2, T + 1, R - 1, T + 1, HotTop1);
    Line(L + 1, T + 2, R, T + 2, HotTop2);

    Shade outer = ShadeOf(HotOuterStart);
    for (int y = T + 2; y <= B - 3; ++y) {
        Line(L + 1, y, L + 1, y + 1, outer.Value());
        Line(R - 1, y, R - 1, y + 1, outer.Value());
        if (outer.b >= 49) outer.Step(1, 3, 7);
    }
    Shade inner = ShadeOf(HotInnerStart);
    for (int y = T + 3; y <= B - 3; ++y) {
        Line(L + 2, y, L + 2, y + 1, inner.Value());
        Line(R - 2, y, R - 2, y + 1, inner.Value());
        if (inner.b > 56) inner.Step(1, 4, 8);
    }
    // The inner gradient's next colour closes the sides at the foot.
    Line(L + 3, B - 3, R, B - 3, inner.Value());
    Line(L + 2, B - 2, R - 1, B - 2, HotBottom);
}

void ButtonFace::DrawFocus()
{
    const auto& [rect, W, H, L, T, R, B] = geometry_;
    Line(L + 2, T + 1, R - 1, T + 1, FocusTop1);
    Line(L + 1, T + 2, R, T + 2, FocusTop2);

    Shade side = ShadeOf(FocusSideStart);
    for (int y = T + 3; y <= B - 4; ++y) {
        Line(L + 2, y, L + 2, y + 1, side.Value(), 2);
        Line(R - 1, y, R - 1, y + 1, side.Value(), 2);
        if (side.b > 227) side.Step(4, 3, 1);
    }
    Line(L + 1, B - 3, R - 1, B - 3, side.Value());
    Pixels({{{L + 2, B - 2}, FocusCorner}});
    Line(L + 3, B - 2, R - 2, B - 2, FocusBottom);
    Pixels({{{R - 2, B - 2}, FocusCorner}});
}

void ButtonFace::DrawBorder()
{
    const auto& [rect, W, H, L, T, R, B] = geometry_;
    painter_.FrameRect(rect, Border);
    const OleColor outer = CornerOuter;
    const OleColor inner = CornerInner;
    Pixels({
        {{L, T + 1}, outer}, {{L + 1, T + 1}, inner}, {{L + 1, T}, outer},          // top left
        {{R - 1, T}, outer}, {{R - 1, T + 1}, inner}, {{R, T + 1}, outer},          // top right
        {{L, B - 2}, outer}, {{L + 1, B - 2}, inner}, {{L + 1, B - 1}, outer},      // bottom left
        {{R, B - 2}, outer}, {{R - 1, B - 2}, inner}, {{R - 1, B - 1}, outer},      // bottom right
    });
}

void ButtonFace::DrawDisabled()
{
    const auto& [rect, W, H, L, T, R, B] = geometry_;
    PrepareSurface();
    painter_.FillRect(rect, DisabledFill);
    painter_.FrameRect(rect, DisabledFrame);
    const OleColor c1 = DisabledCorner1;
    const OleColor c2 = DisabledCorner2;
    Pixels({
        {{L, T + 1}, c1}, {{L + 1, T + 1}, c1}, {{L + 1, T}, c1}, {{L + 1, T + 2}, c2}, {{L + 2, T + 1}, c2},
        {{R - 1, T}, c1}, {{R - 1, T + 1}, c1}, {{R, T + 1}, c1}, {{R - 2, T + 1}, c2}, {{R - 1, T + 2}, c2},
        {{L, B - 2}, c1}, {{L + 1, B - 2}, c1}, {{L + 1, B - 1}, c1}, {{L + 1, B - 3}, c2}, {{L + 2, B - 2}, c2},
        {{R, B - 2}, c1}, {{R - 1, B - 2}, c1}, {{R - 1, B - 1}, c1}, {{R - 1, B - 3}, c2}, {{R - 2, B - 2}, c2},
    });
}

void ButtonFace::DrawCaption()
{
    const Rect work = GetClientRect(surface_.hWnd());  // the live size, not the stored edges
    const OleColor colour = !state_.Enabled ? DisabledText : state_.Hovering ? state_.ForeHover : state_.ForeColor;
    const QString text = ParseMnemonic(state_.Caption).ForPainter();
    const int textHeight = painter_.TextHeight(text, work.Right - work.Left, TextWrapping::Wrap);
    painter_.DrawText(CaptionRectangle(surface_.ScaleWidth(), surface_.ScaleHeight(), textHeight), text, colour,
                      TextAlignment::Center, TextWrapping::Wrap);
}

}  // namespace corvane
