// The colours the button's face must show, written out here as literal values, apart from
// ButtonColors (the table the painter itself reads): a wrong value there then fails the pixel
// tests instead of passing them. Each colour is written once, for every pixel test.
#pragma once

#include "platform/hosted/Color.h"

namespace corvane::testing::FaceColours {

using platform::OleColor;
using platform::Rgb;

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

}  // namespace corvane::testing::FaceColours
