#include "platform/hosted/Gdi.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace corvane::platform {
namespace {

QRect ToQRect(const Rect& rect)
{
    return QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
}

int TextFlags(TextAlignment alignment, TextWrapping wrapping)
{
    const int horizontal = alignment == TextAlignment::Center ? Qt::AlignHCenter : Qt::AlignLeft;
    return Qt::AlignTop | Qt::TextShowMnemonic | horizontal | (wrapping == TextWrapping::Wrap ? Qt::TextWordWrap : 0);
}

}  // namespace

Rect GetClientRect(const QWidget* window)
{
    return Rect{0, 0, window->width(), window->height()};
}

Painter::Painter(QImage& image, const QFont& font) : image_(image), font_(font)
{
    // Small captions read best smoothed, with stems and advances hinted to whole pixels: unsmoothed
    // stand-in faces set their letters unevenly enough to run words together.
    font_.setStyleStrategy(QFont::PreferAntialias);
    font_.setHintingPreference(QFont::PreferFullHinting);
}

void Painter::Plot(int x, int y, QRgb rgb)
{
    const qreal ratio = image_.devicePixelRatio();
    if (ratio == 1) {
        if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
        image_.setPixel(x, y, rgb);
        return;
    }
    // A pixel is a square of device pixels. Its edges are rounded the same way for every pixel,
    // so that neighbouring squares tile the image without gaps or overlaps at any ratio.
    const int left = std::max(0, qRound(x * ratio));
    const int top = std::max(0, qRound(y * ratio));
    const int right = std::min(image_.width(), qRound((x + 1) * ratio));
    const int bottom = std::min(image_.height(), qRound((y + 1) * ratio));
    for (int deviceY = top; deviceY < bottom; ++deviceY)
        for (int deviceX = left; deviceX < right; ++deviceX) image_.setPixel(deviceX, deviceY, rgb);
}

void Painter::SetPixel(QPoint at, OleColor colour)
{
    Plot(at.x(), at.y(), ToQRgb(colour));
}

void Painter::DrawLine(QPoint from, QPoint to, OleColor colour, int width)
{
    const int x0 = from.x();
    const int y0 = from.y();
    const int x1 = to.x();
    const int y1 = to.y();
    width = std::max(1, width);
    const int across = -(width / 2);
    const QRgb rgb = ToQRgb(colour);

    if (y0 == y1 || x0 == x1) {
        const bool horizontal = y0 == y1;
        const int start = horizontal ? x0 : y0;
        const int end = horizontal ? x1 : y1;
        const int step = end > start ? 1 : -1;
        for (int along = start; along != end; along += step)
            for (int a = across; a < across + width; ++a)
                horizontal ? Plot(along, y0 + a, rgb) : Plot(x0 + a, along, rgb);
        return;
    }
    // Bresenham from the start, stopping before the end point, stamping the pen on each pixel.
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        for (int py = y + across; py < y + across + width; ++py)
            for (int px = x + across; px < x + across + width; ++px) Plot(px, py, rgb);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

void Painter::FillRect(const Rect& rect, OleColor colour)
{
    const QRgb rgb = ToQRgb(colour);
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x) Plot(x, y, rgb);
}

void Painter::FrameRect(const Rect& rect, OleColor colour)
{
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
    FillRect({rect.Left, rect.Top, rect.Right, rect.Top + 1}, colour);
    FillRect({rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, colour);
    FillRect({rect.Left, rect.Top, rect.Left + 1, rect.Bottom}, colour);
    FillRect({rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, colour);
}

void Painter::DrawText(const Rect& rect, const QString& text, OleColor colour, TextAlignment alignment,
                       TextWrapping wrapping)
{
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setClipRect(ToQRect(rect));
    painter.setFont(font_);
    painter.setPen(QColor::fromRgb(ToQRgb(colour)));
    painter.drawText(ToQRect(rect), TextFlags(alignment, wrapping), text);
}

int Painter::TextHeight(const QString& text, int width, TextWrapping wrapping) const
{
    const QFontMetrics metrics(font_, &image_);
    const QRect room(0, 0, width, std::numeric_limits<int>::max() / 2);
    return metrics.boundingRect(room, TextFlags(TextAlignment::Left, wrapping), text).height();
}

Region::Region(const Rect& rect) : area_(ToQRect(rect)) {}

void Region::Subtract(const Rect& rect)
{
    area_ -= ToQRect(rect);
}

void SetWindowRgn(QWidget* window, const Region& region)
{
    window->setMask(region.Area());
    if (window->isVisible()) window->repaint();
}

void SetCapture(QWidget* window)
{
    window->grabMouse();
}

}  // namespace corvane::platform
