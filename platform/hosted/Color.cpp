#include "platform/hosted/Color.h"

#include <QApplication>
#include <QPalette>

#include <optional>

namespace corvane::platform {
namespace {

struct SystemColorRow {
    SystemColor number;
    QPalette::ColorGroup group;
    std::optional<QPalette::ColorRole> role;
    OleColor fixed;  // used when there is no palette role
};

// Roles of the running style where one fits; otherwise the classic fixed value.
constexpr SystemColorRow kSystemColors[] = {
    {SystemColor::ScrollBar, QPalette::Active, QPalette::Midlight, 0},
    {SystemColor::Desktop, QPalette::Active, std::nullopt, Rgb(0, 78, 152)},
    {SystemColor::ActiveCaption, QPalette::Active, std::nullopt, Rgb(0, 84, 227)},
    {SystemColor::InactiveCaption, QPalette::Active, std::nullopt, Rgb(122, 150, 223)},
    {SystemColor::Menu, QPalette::Active, QPalette::Window, 0},
    {SystemColor::Window, QPalette::Active, QPalette::Base, 0},
    {SystemColor::WindowFrame, QPalette::Active, std::nullopt, Rgb(0, 0, 0)},
    {SystemColor::MenuText, QPalette::Active, QPalette::WindowText, 0},
    {SystemColor::WindowText, QPalette::Active, QPalette::Text, 0},
    {SystemColor::CaptionText, QPalette::Active, std::nullopt, Rgb(255, 255, 255)},
    {SystemColor::ActiveBorder, QPalette::Active, QPalette::Window, 0},
    {SystemColor::InactiveBorder, QPalette::Active, QPalette::Window, 0},
    {SystemColor::AppWorkspace, QPalette::Active, QPalette::Dark, 0},
    {SystemColor::Highlight, QPalette::Active, QPalette::Highlight, 0},
    {SystemColor::HighlightText, QPalette::Active, QPalette::HighlightedText, 0},
    {SystemColor::ButtonFace, QPalette::Active, QPalette::Button, 0},
    {SystemColor::ButtonShadow, QPalette::Active, QPalette::Dark, 0},
    {SystemColor::GrayText, QPalette::Disabled, QPalette::Text, 0},
    {SystemColor::ButtonText, QPalette::Active, QPalette::ButtonText, 0},
    {SystemColor::InactiveCaptionText, QPalette::Active, std::nullopt, Rgb(216, 228, 248)},
    {SystemColor::ButtonHighlight, QPalette::Active, QPalette::Light, 0},
    {SystemColor::DarkShadow3D, QPalette::Active, QPalette::Shadow, 0},
    {SystemColor::Light3D, QPalette::Active, QPalette::Midlight, 0},
    {SystemColor::InfoText, QPalette::Active, QPalette::ToolTipText, 0},
    {SystemColor::InfoBackground, QPalette::Active, QPalette::ToolTipBase, 0},
};

}  // namespace

OleColor TranslateColor(OleColor colour)
{
    if (!IsSystemColor(colour)) return colour & 0x00FFFFFFu;
    const auto number = colour & 0xFFu;
    for (const auto& row : kSystemColors) {
        if (static_cast<OleColor>(row.number) != number) continue;
        if (!row.role) return row.fixed;
        return FromQColor(QApplication::palette().color(row.group, *row.role));
    }
    return Rgb(0, 0, 0);
}

QRgb ToQRgb(OleColor colour)
{
    const auto value = TranslateColor(colour);
    return qRgb(RedOf(value), GreenOf(value), BlueOf(value));
}

OleColor FromQColor(const QColor& colour)
{
    return Rgb(colour.red(), colour.green(), colour.blue());
}

}  // namespace corvane::platform
