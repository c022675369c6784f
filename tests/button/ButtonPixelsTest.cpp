// The button's looks, pixel by pixel: each drawing step paints its rows and columns in the face's
// colours, on buttons of several heights.
#include "ui/button/ButtonFace.h"

#include "FaceColours.h"

#include <gtest/gtest.h>

#include <QColor>

#include <ostream>
#include <string>

namespace corvane {
namespace {

using namespace testing::FaceColours;
using platform::TranslateColor;

// Stands for the surface's background colour (system colour 5) in the tables below.
constexpr OleColor kBack = platform::SystemColorValue(platform::SystemColor::Window);

std::string Describe(QRgb rgb)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(rgb)).arg(qGreen(rgb)).arg(qBlue(rgb)).toStdString();
}

// Paints one look with no caption on a surface of W x H, as Redraw would after a resize.
QImage Paint(int W, int H, ButtonLook look)
{
    platform::UserControl surface;
    surface.resize(W, H);
    surface.SetBackColor(kBack);
    const ButtonGeometry geometry = GeometryOf(platform::GetClientRect(&surface));
    const ButtonFaceState state;
    ButtonFace(surface, geometry, state).Draw(look);
    return surface.Image();
}

struct PixelRow {
    int W, H;
    ButtonLook look;
    int x, y;
    OleColor expected;
    const char* what;
};

std::ostream& operator<<(std::ostream& out, const PixelRow& row)
{
    return out << row.what << " (" << row.W << "x" << row.H << " at " << row.x << "," << row.y << ")";
}

class ButtonPixels : public ::testing::TestWithParam<PixelRow> {};

TEST_P(ButtonPixels, HasItsColour)
{
    const auto& row = GetParam();
    const QImage image = Paint(row.W, row.H, row.look);
    const OleColor expected = TranslateColor(row.expected);
    const QRgb want = qRgb(platform::RedOf(expected), platform::GreenOf(expected), platform::BlueOf(expected));
    const QRgb got = image.pixel(row.x, row.y);
    EXPECT_EQ(Describe(got), Describe(want)) << row;
}

constexpr auto N = ButtonLook::Normal;
constexpr auto P = ButtonLook::Pressed;
constexpr auto Hot = ButtonLook::Hot;
constexpr auto F = ButtonLook::Focused;
constexpr auto D = ButtonLook::Disabled;

INSTANTIATE_TEST_SUITE_P(Face, ButtonPixels, ::testing::Values(
    PixelRow{75, 33, N, 5, 3, FaceStart, "first gradient row"},
    PixelRow{75, 33, N, 5, 4, Rgb(254, 254, 252), "second gradient row one step darker"},
    PixelRow{75, 33, N, 5, 26, Rgb(232, 232, 230), "last row above the floor"},
    PixelRow{75, 33, N, 5, 27, FaceFloor, "floor from row 27"},
    PixelRow{75, 33, N, 5, 28, FaceFloor, "floor holds"},
    PixelRow{75, 33, N, 5, 29, FaceShade1, "shade 1 on row B - 4"},
    PixelRow{75, 33, N, 5, 30, FaceShade2, "shade 2 on row B - 3"},
    PixelRow{75, 33, N, 5, 31, FaceShade3, "shade 3 on row B - 2"},
    PixelRow{75, 33, N, 73, 10, Rgb(248, 248, 246), "gradient reaches column W - 2"},
    PixelRow{75, 33, N, 5, 1, kBack, "row 1 keeps the background"},
    PixelRow{75, 33, N, 5, 2, kBack, "row 2 keeps the background"},
    PixelRow{75, 33, N, 2, 1, kBack, "row 1 beside the corner keeps the background"},
    PixelRow{75, 33, N, 1, 2, kBack, "row 2 next to the border keeps the background"},
    PixelRow{75, 33, N, 73, 2, kBack, "row 2 at column W - 2 keeps the background"},
    PixelRow{40, 80, N, 5, 60, FaceFloor, "tall: the floor holds"},
    PixelRow{75, 5, N, 5, 1, FaceShade1, "5 high: no gradient, shade 1 on row 1"},
    PixelRow{75, 5, N, 5, 2, FaceShade2, "5 high: shade 2 on row 2"},
    PixelRow{75, 5, N, 5, 3, FaceShade3, "5 high: shade 3 on row 3"},
    PixelRow{300, 23, N, 150, 3, FaceStart, "wide: first gradient row"},
    PixelRow{300, 23, N, 298, 10, Rgb(248, 248, 246), "wide: column W - 2"},
    PixelRow{300, 23, N, 299, 10, Border, "wide: right border"}));

INSTANTIATE_TEST_SUITE_P(Border, ButtonPixels, ::testing::Values(
    PixelRow{75, 33, N, 5, 0, Border, "top edge"},
    PixelRow{75, 33, N, 5, 32, Border, "bottom edge"},
    PixelRow{75, 33, N, 0, 10, Border, "left edge"},
    PixelRow{75, 33, N, 74, 10, Border, "right edge"},
    PixelRow{75, 33, N, 0, 1, CornerOuter, "top left (L, T + 1)"},
    PixelRow{75, 33, N, 1, 1, CornerInner, "top left (L + 1, T + 1)"},
    PixelRow{75, 33, N, 1, 0, CornerOuter, "top left (L + 1, T)"},
    PixelRow{75, 33, N, 73, 0, CornerOuter, "top right (R - 1, T)"},
    PixelRow{75, 33, N, 73, 1, CornerInner, "top right (R - 1, T + 1)"},
    PixelRow{75, 33, N, 74, 1, CornerOuter, "top right (R, T + 1)"},
    PixelRow{75, 33, N, 0, 31, CornerOuter, "bottom left (L, B - 2)"},
    PixelRow{75, 33, N, 1, 31, CornerInner, "bottom left (L + 1, B - 2)"},
    PixelRow{75, 33, N, 1, 32, CornerOuter, "bottom left (L + 1, B - 1)"},
    PixelRow{75, 33, N, 74, 31, CornerOuter, "bottom right (R, B - 2)"},
    PixelRow{75, 33, N, 73, 31, CornerInner, "bottom right (R - 1, B - 2)"},
    PixelRow{75, 33, N, 73, 32, CornerOuter, "bottom right (R - 1, B - 1)"}));

INSTANTIATE_TEST_SUITE_P(Pressed, ButtonPixels, ::testing::Values(
    PixelRow{75, 33, P, 5, 3, PressedStart, "first band, row 3"},
    PixelRow{75, 33, P, 5, 4, PressedStart, "first band covers row 4"},
    PixelRow{75, 33, P, 5, 5, Rgb(238, 237, 230), "second band starts at row 5"},
    PixelRow{75, 33, P, 5, 29, Rgb(232, 231, 224), "eighth band, at row 31, covers row 29"},
    PixelRow{75, 33, P, 73, 29, Rgb(232, 231, 224), "bands reach column W - 2"},
    PixelRow{75, 33, P, 5, 1, PressedTop1, "row T + 1"},
    PixelRow{75, 33, P, 5, 2, PressedTop2, "row T + 2"},
    PixelRow{75, 33, P, 5, 30, PressedBottom1, "row B - 3"},
    PixelRow{75, 33, P, 5, 31, PressedBottom2, "row B - 2"},
    PixelRow{75, 33, P, 5, 32, Border, "border over the last band"},
    PixelRow{40, 80, P, 5, 59, PressedFloor, "fifteenth band at the floor"},
    PixelRow{40, 80, P, 5, 63, PressedFloor, "the floor holds"},
    PixelRow{40, 80, P, 5, 55, Rgb(226, 225, 218), "fourteenth band one above the floor"}));

INSTANTIATE_TEST_SUITE_P(Hot, ButtonPixels, ::testing::Values(
    PixelRow{75, 33, Hot, 2, 1, HotTop1, "row 1 from column 2"},
    PixelRow{75, 33, Hot, 72, 1, HotTop1, "row 1 to column W - 3"},
    PixelRow{75, 33, Hot, 2, 2, HotTop2, "row 2"},
    PixelRow{75, 33, Hot, 1, 2, HotOuterStart, "outer side starts on row 2 over row 2's line"},
    PixelRow{75, 33, Hot, 73, 2, HotOuterStart, "outer side at column W - 2"},
    PixelRow{75, 33, Hot, 1, 3, Rgb(253, 220, 147), "outer side one step on"},
    PixelRow{75, 33, Hot, 73, 10, Rgb(246, 199, 98), "outer side row 10"},
    PixelRow{75, 33, Hot, 1, 17, Rgb(239, 178, 49), "outer side last step"},
    PixelRow{75, 33, Hot, 1, 18, HotOuterFloor, "outer side floor from row 18"},
    PixelRow{75, 33, Hot, 2, 3, HotInnerStart, "inner side starts on row 3"},
    PixelRow{75, 33, Hot, 72, 5, Rgb(250, 202, 105), "inner side at column W - 3"},
    PixelRow{75, 33, Hot, 2, 11, Rgb(244, 178, 57), "inner side last step"},
    PixelRow{75, 33, Hot, 2, 12, HotInnerFloor, "inner side floor from row 12"},
    PixelRow{75, 33, Hot, 3, 30, HotInnerFloor, "bottom inner line, 33 high"},
    PixelRow{75, 33, Hot, 73, 30, HotInnerFloor, "bottom inner line to column W - 2"},
    PixelRow{75, 33, Hot, 2, 31, HotBottom, "row B - 2 from column 2"},
    PixelRow{75, 33, Hot, 72, 31, HotBottom, "row B - 2 to column W - 3"},
    PixelRow{75, 33, Hot, 5, 10, Rgb(248, 248, 246), "face inside the highlight"},
    PixelRow{75, 23, Hot, 5, 20, HotInnerFloor, "bottom inner line, 23 high"},
    PixelRow{75, 10, Hot, 5, 7, Rgb(247, 190, 81), "bottom inner line, 10 high"},
    PixelRow{300, 23, Hot, 297, 5, Rgb(250, 202, 105), "wide: inner side at column W - 3"},
    PixelRow{300, 23, Hot, 298, 5, Rgb(251, 214, 133), "wide: outer side at column W - 2"}));

INSTANTIATE_TEST_SUITE_P(Focused, ButtonPixels, ::testing::Values(
    PixelRow{75, 33, F, 2, 1, FocusTop1, "row 1 from column 2"},
    PixelRow{75, 33, F, 72, 1, FocusTop1, "row 1 to column W - 3"},
    PixelRow{75, 33, F, 1, 2, FocusTop2, "row 2 from column 1"},
    PixelRow{75, 33, F, 73, 2, FocusTop2, "row 2 to column W - 2"},
    PixelRow{75, 33, F, 1, 3, FocusSideStart, "two-pixel side covers column 1"},
    PixelRow{75, 33, F, 2, 3, FocusSideStart, "and column 2"},
    PixelRow{75, 33, F, 3, 3, Rgb(255, 255, 253), "but not column 3"},
    PixelRow{75, 33, F, 72, 5, Rgb(178, 205, 244), "right side covers column W - 3"},
    PixelRow{75, 33, F, 73, 5, Rgb(178, 205, 244), "and column W - 2"},
    PixelRow{75, 33, F, 1, 21, Rgb(114, 157, 228), "side last step"},
    PixelRow{75, 33, F, 1, 22, FocusSideFloor, "side floor from row 22"},
    PixelRow{75, 33, F, 2, 29, FocusSideFloor, "side ends on row B - 4"},
    PixelRow{75, 33, F, 1, 30, FocusSideFloor, "bottom inner line, 33 high, from column 1"},
    PixelRow{75, 33, F, 72, 30, FocusSideFloor, "bottom inner line to column W - 3"},
    PixelRow{75, 33, F, 73, 30, FaceShade2, "column W - 2 of row B - 3 keeps the face"},
    PixelRow{75, 33, F, 2, 31, FocusCorner, "corner pixel (2, H - 2)"},
    PixelRow{75, 33, F, 3, 31, FocusBottom, "row B - 2 from column 3"},
    PixelRow{75, 33, F, 71, 31, FocusBottom, "row B - 2 to column W - 4"},
    PixelRow{75, 33, F, 72, 31, FocusCorner, "corner pixel (W - 3, H - 2)"},
    PixelRow{75, 23, F, 5, 20, Rgb(118, 160, 229), "bottom inner line, 23 high"},
    PixelRow{75, 10, F, 5, 7, Rgb(170, 199, 242), "bottom inner line, 10 high"}));

INSTANTIATE_TEST_SUITE_P(Disabled, ButtonPixels, ::testing::Values(
    PixelRow{75, 23, D, 5, 5, DisabledFill, "fill"},
    PixelRow{75, 23, D, 5, 1, DisabledFill, "no gradient, no highlight"},
    PixelRow{75, 23, D, 5, 0, DisabledFrame, "frame top"},
    PixelRow{75, 23, D, 74, 5, DisabledFrame, "frame right"},
    PixelRow{75, 23, D, 5, 22, DisabledFrame, "frame bottom"},
    PixelRow{75, 23, D, 0, 1, DisabledCorner1, "top left c1"},
    PixelRow{75, 23, D, 1, 1, DisabledCorner1, "top left c1 inner"},
    PixelRow{75, 23, D, 1, 0, DisabledCorner1, "top left c1 top"},
    PixelRow{75, 23, D, 1, 2, DisabledCorner2, "top left c2 below"},
    PixelRow{75, 23, D, 2, 1, DisabledCorner2, "top left c2 right"},
    PixelRow{75, 23, D, 73, 0, DisabledCorner1, "top right c1"},
    PixelRow{75, 23, D, 72, 1, DisabledCorner2, "top right c2"},
    PixelRow{75, 23, D, 73, 2, DisabledCorner2, "top right c2 below"},
    PixelRow{75, 23, D, 0, 21, DisabledCorner1, "bottom left c1"},
    PixelRow{75, 23, D, 1, 20, DisabledCorner2, "bottom left c2 above"},
    PixelRow{75, 23, D, 2, 21, DisabledCorner2, "bottom left c2 right"},
    PixelRow{75, 23, D, 74, 21, DisabledCorner1, "bottom right c1"},
    PixelRow{75, 23, D, 73, 22, DisabledCorner1, "bottom right c1 bottom"},
    PixelRow{75, 23, D, 73, 20, DisabledCorner2, "bottom right c2 above"},
    PixelRow{75, 23, D, 72, 21, DisabledCorner2, "bottom right c2 left"}));

TEST(ButtonLooks, RedrawPicksTheFirstMatchingLook)
{
    using enum PressedButton;
    struct Row {
        bool enabled;
        bool pressed;
        PressedButton mouseButton;
        bool hovering;
        bool hasFocus;
        ButtonLook expected;
    };
    const Row rows[] = {
        {false, true, Left, true, true, D},   {false, false, None, false, false, D}, {true, true, Left, false, false, P},
        {true, true, Left, true, true, P},    {true, true, Right, false, false, N},  {true, true, Right, true, false, Hot},
        {true, true, Middle, false, true, F}, {true, false, Left, false, false, N},  {true, false, Left, true, true, Hot},
        {true, false, None, false, true, F},  {true, true, None, false, true, F},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "enabled " << row.enabled << " pressed " << row.pressed << " button "
                                          << static_cast<int>(row.mouseButton) << " hovering " << row.hovering
                                          << " focus " << row.hasFocus);
        ButtonFaceState state;
        state.Enabled = row.enabled;
        state.MouseButton = row.mouseButton;
        state.Hovering = row.hovering;
        state.HasFocus = row.hasFocus;
        EXPECT_EQ(ChooseLook(state, row.pressed), row.expected);
    }
}

TEST(ButtonLooks, EveryLookRepaintsTheWholeSurface)
{
    // A look drawn over another leaves nothing of the first behind.
    for (const ButtonLook first : {N, P, Hot, F, D}) {
        for (const ButtonLook second : {N, P, Hot, F, D}) {
            SCOPED_TRACE(::testing::Message() << static_cast<int>(first) << " then " << static_cast<int>(second));
            platform::UserControl surface;
            surface.resize(60, 23);
            surface.SetBackColor(kBack);
            const auto geometry = GeometryOf(platform::GetClientRect(&surface));
            const ButtonFaceState state;
            ButtonFace(surface, geometry, state).Draw(first);
            ButtonFace(surface, geometry, state).Draw(second);
            EXPECT_EQ(surface.Image(), Paint(60, 23, second));
        }
    }
}

TEST(ButtonGeometry, TheRightEdgeIsTheLastColumnAndTheBottomEdgeOnePastTheLastRow)
{
    const ButtonGeometry geometry = GeometryOf(platform::Rect{0, 0, 75, 23});
    EXPECT_EQ(geometry.ClientRect, (platform::Rect{0, 0, 75, 23}));
    EXPECT_EQ(geometry.EdgeLeft, 0);
    EXPECT_EQ(geometry.EdgeTop, 0);
    EXPECT_EQ(geometry.EdgeRight, 74);
    EXPECT_EQ(geometry.EdgeBottom, 23);
    EXPECT_EQ(geometry.ButtonWidth, 75);
    EXPECT_EQ(geometry.ButtonHeight, 23);
}

TEST(ButtonCaption, RectangleIsCentredWithHalvesRoundedToEven)
{
    struct Row {
        int H, textHeight, top, bottom;
    };
    const Row rows[] = {{33, 13, 10, 23}, {23, 13, 5, 18}, {24, 13, 6, 18}, {10, 26, -8, 18}, {25, 14, 6, 20}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "H " << row.H << " text " << row.textHeight);
        EXPECT_EQ(CaptionRectangle(75, row.H, row.textHeight), (platform::Rect{0, row.top, 75, row.bottom}));
    }
}

}  // namespace
}  // namespace corvane
