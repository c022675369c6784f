// Colour values as the hosted controls store them: 0x00BBGGRR for an explicit colour (red in the
// low byte) and 0x800000nn for the platform's system colour number nn.
#pragma once

#include <QColor>

#include <cstdint>

namespace corvane::platform {

using OleColor = std::uint32_t;

constexpr OleColor Rgb(int red, int green, int blue)
{
    return static_cast<OleColor>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}
constexpr int RedOf(OleColor colour) { return static_cast<int>(colour & 0xFF); }
constexpr int GreenOf(OleColor colour) { return static_cast<int>(colour >> 8 & 0xFF); }
constexpr int BlueOf(OleColor colour) { return static_cast<int>(colour >> 16 & 0xFF); }

// The classic system colour numbers; a colour value names one as 0x80000000 + number.
enum class SystemColor : std::uint8_t {
    ScrollBar = 0,
    Desktop = 1,
    ActiveCaption = 2,
    InactiveCaption = 3,
    Menu = 4,
    Window = 5,
    WindowFrame = 6,
    MenuText = 7,
    WindowText = 8,
    CaptionText = 9,
    ActiveBorder = 10,
    InactiveBorder = 11,
    AppWorkspace = 12,
    Highlight = 13,
    HighlightText = 14,
    ButtonFace = 15,
    ButtonShadow = 16,
    GrayText = 17,
    ButtonText = 18,
    InactiveCaptionText = 19,
    ButtonHighlight = 20,
    DarkShadow3D = 21,
    Light3D = 22,
    InfoText = 23,
    InfoBackground = 24,
};

constexpr OleColor SystemColorValue(SystemColor colour)
{
    return 0x80000000u | static_cast<OleColor>(colour);
}
constexpr bool IsSystemColor(OleColor colour) { return (colour & 0x80000000u) != 0; }

// An explicit colour as it is; a system colour looked up in the application palette (or a fixed
// value where the palette has no matching role). Unknown system numbers give black.
OleColor TranslateColor(OleColor colour);

QRgb ToQRgb(OleColor colour);  // resolves system colours first
OleColor FromQColor(const QColor& colour);

}  // namespace corvane::platform
