// The drawing of self-painted controls: a painter that draws exactly into the pixels of a
// persistent image, and the window shape and pointer calls a control needs. Coordinates are
// pixels, origin at the top-left pixel; a rectangle's right and bottom are exclusive. Whatever
// falls outside the image is clipped, never an error.
//
// On a high-density screen the image holds devicePixelRatio device pixels to a pixel: each pixel
// drawn is a square of device pixels (so a line w pixels wide is w * ratio device pixels wide),
// and text is drawn at the device's resolution.
//
// A line is drawn from its start up to, but not including, its end point. A pen w pixels wide
// paints, across a horizontal or vertical line, the w rows (or columns) starting w / 2 before it,
// and along the line exactly the pixels a 1-pixel pen would: so a 4-pixel line at row y covers
// rows y - 2 to y + 1, a 2-pixel line at column x covers columns x - 1 and x. Other lines stamp a
// w x w square, placed the same way, on each pixel of the 1-pixel line.
#pragma once

#include "platform/hosted/Color.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QString>

#include <cstdint>

class QWidget;

namespace corvane::platform {

struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The client rectangle of a window: (0, 0, width, height) in pixels.
Rect GetClientRect(const QWidget* window);

enum class TextAlignment { Left, Center };
enum class TextWrapping { DontWrap, Wrap };

class Painter {
public:
    // The image belongs to the caller and must outlive the painter. Text is drawn in `font`,
    // smoothed and hinted to whole pixels; everything else paints whole pixels of its colour.
    Painter(QImage& image, const QFont& font);

    const QFont& Font() const { return font_; }

    void SetPixel(QPoint at, OleColor colour);
    void DrawLine(QPoint from, QPoint to, OleColor colour, int width = 1);
    void FillRect(const Rect& rect, OleColor colour);
    // The one-pixel edge just inside the rectangle.
    void FrameRect(const Rect& rect, OleColor colour);

    // Draws `text` transparently, clipped to `rect`, its first line at the rectangle's top. Lines
    // break at line feeds and, with Wrap, between words to fit the rectangle's width (a single
    // longer word stays whole). The "&" markers follow Qt's mnemonics: "&&" shows one "&" and
    // "&x" underlines x.
    void DrawText(const Rect& rect, const QString& text, OleColor colour, TextAlignment alignment,
                  TextWrapping wrapping);
    // The height in pixels of what DrawText draws for `text` in a rectangle `width` pixels wide.
    int TextHeight(const QString& text, int width, TextWrapping wrapping) const;

private:
    void Plot(int x, int y, QRgb rgb);

    QImage& image_;
    QFont font_;
};

// A window shape: the pixels in which a window paints and takes the pointer.
class Region {
public:
    explicit Region(const Rect& rect);
    void Subtract(const Rect& rect);
    const QRegion& Area() const { return area_; }

private:
    QRegion area_;
};

// Makes `region` the window's real shape and repaints the window at once, so the screen shows
// the window's current image inside its new shape.
void SetWindowRgn(QWidget* window, const Region& region);

// The pointer and the window under it. WindowFromPoint honours window shapes and passes over
// hidden and disabled windows to the enabled window below, as the platform call does.
QPoint GetCursorPos();
QWidget* WindowFromPoint(QPoint screenPoint);
// Sends the mouse input to `window` until the next button release (released by its host).
void SetCapture(QWidget* window);

}  // namespace corvane::platform
