#include "platform/hosted/Gdi.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace corvane::platform {

void SetRect(Rect& rect, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    rect = Rect{left, top, right, bottom};
}

void GetClientRect(const QWidget* window, Rect& rect)
{
    rect = Rect{0, 0, window->width(), window->height()};
}

MnemonicText ParseMnemonic(const QString& caption)
{
    MnemonicText result;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) {
            result.Text += caption[i];
            continue;
        }
        if (i + 1 >= caption.size()) break;  // a trailing marker shows nothing
        if (caption[i + 1] == QLatin1Char('&')) {
            result.Text += QLatin1Char('&');
            ++i;
            continue;
        }
        if (result.Underlined < 0) result.Underlined = result.Text.size();
    }
    return result;
}

DeviceContext::DeviceContext(QImage* image) : image_(image) {}

Pen DeviceContext::SelectObject(const Pen& pen)
{
    return std::exchange(pen_, pen);
}

void DeviceContext::SelectFont(const QFont& font)
{
    font_ = font;
    // Text is drawn in whole pixels of the text colour, like the classic non-smoothed fonts.
    font_.setStyleStrategy(QFont::NoAntialias);
}

void DeviceContext::MoveToEx(int x, int y, QPoint* previous)
{
    if (previous) *previous = position_;
    position_ = QPoint(x, y);
}

void DeviceContext::Plot(int x, int y, QRgb rgb)
{
    if (x < 0 || y < 0 || x >= image_->width() || y >= image_->height()) return;
    image_->setPixel(x, y, rgb);
}

void DeviceContext::StampPen(int x, int y, int width, QRgb rgb)
{
    const int from = -(width / 2);
    for (int dy = from; dy < from + width; ++dy)
        for (int dx = from; dx < from + width; ++dx) Plot(x + dx, y + dy, rgb);
}

void DeviceContext::LineTo(int x1, int y1)
{
    const int x0 = position_.x();
    const int y0 = position_.y();
    const int width = std::max(1, pen_.Width);
    const int across = -(width / 2);
    const QRgb rgb = ToQRgb(pen_.Color);
    position_ = QPoint(x1, y1);

    if (y0 == y1 || x0 == x1) {
        const bool horizontal = y0 == y1;
        const int from = horizontal ? x0 : y0;
        const int to = horizontal ? x1 : y1;
        const int step = to > from ? 1 : -1;
        for (int along = from; along != to; along += step)
            for (int a = across; a < across + width; ++a)
                horizontal ? Plot(along, y0 + a, rgb) : Plot(x0 + a, along, rgb);
        return;
    }
    // Bresenham from the start, stopping before the end point.
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        width == 1 ? Plot(x, y, rgb) : StampPen(x, y, width, rgb);
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

void DeviceContext::SetPixel(int x, int y, OleColor colour)
{
    Plot(x, y, ToQRgb(colour));
}

void DeviceContext::FillRect(const Rect& rect, const Brush& brush)
{
    const QRgb rgb = ToQRgb(brush.Color);
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x) Plot(x, y, rgb);
}

void DeviceContext::FrameRect(const Rect& rect, const Brush& brush)
{
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
    const QRgb rgb = ToQRgb(brush.Color);
    for (int x = rect.Left; x < rect.Right; ++x) {
        Plot(x, rect.Top, rgb);
        Plot(x, rect.Bottom - 1, rgb);
    }
    for (int y = rect.Top; y < rect.Bottom; ++y) {
        Plot(rect.Left, y, rgb);
        Plot(rect.Right - 1, y, rgb);
    }
}

OleColor DeviceContext::SetTextColor(OleColor colour)
{
    return std::exchange(textColor_, colour);
}

namespace {

struct TextLine {
    qsizetype start;
    qsizetype length;
};

// Breaks text into lines at line feeds and, with word breaks, between words so that each line
// fits `width`; a single word wider than that stays whole on its own line.
std::vector<TextLine> BreakLines(const QString& text, const QFontMetrics& metrics, int width, bool wordBreak)
{
    std::vector<TextLine> lines;
    qsizetype paragraph = 0;
    while (paragraph <= text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), paragraph);
        if (end < 0) end = text.size();
        qsizetype lineEnd = end;
        if (lineEnd > paragraph && text[lineEnd - 1] == QLatin1Char('\r')) --lineEnd;
        qsizetype start = paragraph;
        if (!wordBreak) {
            lines.push_back({start, lineEnd - start});
        } else {
            // Grow the line word by word while it fits.
            qsizetype fitEnd = -1;
            qsizetype cursor = start;
            while (true) {
                qsizetype space = text.indexOf(QLatin1Char(' '), cursor);
                if (space < 0 || space > lineEnd) space = lineEnd;
                const int advance = metrics.horizontalAdvance(text.mid(start, space - start));
                if (fitEnd >= 0 && advance > width) {
                    lines.push_back({start, fitEnd - start});
                    start = fitEnd + 1;  // the breaking space is not shown
                    cursor = start;
                    fitEnd = -1;
                    continue;
                }
                fitEnd = space;
                if (space >= lineEnd) break;
                cursor = space + 1;
            }
            lines.push_back({start, lineEnd - start});
        }
        paragraph = end + 1;
    }
    return lines;
}

}  // namespace

int DeviceContext::DrawTextA(const QString& text, int count, Rect& rect, DrawTextFormats format)
{
    const MnemonicText shown = ParseMnemonic(count < 0 ? text : text.left(count));
    const QFontMetrics metrics(font_, image_);
    const int width = rect.Right - rect.Left;
    const auto lines = BreakLines(shown.Text, metrics, width, format.Has(DrawTextFormat::WordBreak));
    const int lineHeight = metrics.height();
    const int height = lineHeight * static_cast<int>(lines.size());

    if (format.Has(DrawTextFormat::CalcRect)) {
        int widest = 0;
        for (const auto& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(shown.Text.mid(line.start, line.length)));
        rect.Right = rect.Left + widest;
        rect.Bottom = rect.Top + height;
        return height;
    }

    QPainter painter(image_);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setClipRect(QRect(rect.Left, rect.Top, width, rect.Bottom - rect.Top));
    painter.setFont(font_);
    const QColor colour = QColor::fromRgb(ToQRgb(textColor_));
    painter.setPen(colour);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString lineText = shown.Text.mid(lines[i].start, lines[i].length);
        const int lineWidth = metrics.horizontalAdvance(lineText);
        const int x = rect.Left + (format.Has(DrawTextFormat::Center) ? (width - lineWidth) / 2 : 0);
        const int baseline = rect.Top + static_cast<int>(i) * lineHeight + metrics.ascent();
        painter.drawText(QPoint(x, baseline), lineText);
        const qsizetype mark = shown.Underlined - lines[i].start;
        if (shown.Underlined >= 0 && mark >= 0 && mark < lines[i].length) {
            const int from = x + metrics.horizontalAdvance(lineText.left(mark));
            const int to = x + metrics.horizontalAdvance(lineText.left(mark + 1));
            painter.fillRect(QRect(from, baseline + metrics.underlinePos(), to - from,
                                   std::max(1, metrics.lineWidth())),
                             colour);
        }
    }
    return height;
}

Region CreateRectRgn(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    return Region{QRegion(left, top, std::max(0, right - left), std::max(0, bottom - top))};
}

RegionKind CombineRgn(Region& destination, const Region& first, const Region& second, CombineMode mode)
{
    switch (mode) {
    case CombineMode::And: destination.Area = first.Area.intersected(second.Area); break;
    case CombineMode::Or: destination.Area = first.Area.united(second.Area); break;
    case CombineMode::Xor: destination.Area = first.Area.xored(second.Area); break;
    case CombineMode::Diff: destination.Area = first.Area.subtracted(second.Area); break;
    case CombineMode::Copy: destination.Area = first.Area; break;
    }
    if (destination.Area.isEmpty()) return RegionKind::Null;
    return destination.Area.rectCount() == 1 ? RegionKind::Simple : RegionKind::Complex;
}

void SetWindowRgn(QWidget* window, const Region& region, bool redraw)
{
    window->setMask(region.Area);
    if (redraw && window->isVisible()) window->repaint();
}

QPoint GetCursorPos()
{
    return QCursor::pos();
}

QWidget* WindowFromPoint(QPoint screenPoint)
{
    QWidget* window = QApplication::widgetAt(screenPoint);
    while (window && !window->isWindow() && !window->isEnabled()) window = window->parentWidget();
    return window;
}

void SetCapture(QWidget* window)
{
    window->grabMouse();
}

}  // namespace corvane::platform
