// The drawing calls of self-painted controls, drawing exactly into the pixels of a persistent
// image. Coordinates are pixels, origin at the top-left pixel; a rectangle's right and bottom are
// exclusive. Whatever falls outside the image is clipped, never an error.
//
// Pens are solid. A line is drawn from the current position up to, but not including, its end
// point. A pen w pixels wide paints, across a horizontal or vertical line, the w rows (or columns)
// starting w / 2 before it, and along the line exactly the pixels a 1-pixel pen would: so a 4-pixel
// line at row y covers rows y - 2 to y + 1, a 2-pixel line at column x covers columns x - 1 and x.
// Other lines stamp a w x w square, placed the same way, on each pixel of the 1-pixel line.
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

void SetRect(Rect& rect, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
// The client rectangle of a window: (0, 0, width, height) in pixels.
void GetClientRect(const QWidget* window, Rect& rect);

enum class PenStyle { Solid };

struct Pen {
    PenStyle Style = PenStyle::Solid;
    int Width = 1;
    OleColor Color = 0;
};
struct Brush {
    OleColor Color = 0;
};

inline Pen CreatePen(PenStyle style, int width, OleColor colour) { return Pen{style, width, colour}; }
inline Brush CreateSolidBrush(OleColor colour) { return Brush{colour}; }

// Options of DrawTextA, with the platform's bit values.
enum class DrawTextFormat : unsigned {
    Center = 0x0001,
    WordBreak = 0x0010,
    CalcRect = 0x0400,
};
struct DrawTextFormats {
    unsigned bits = 0;
    constexpr DrawTextFormats() = default;
    constexpr DrawTextFormats(DrawTextFormat f) : bits(static_cast<unsigned>(f)) {}
    constexpr bool Has(DrawTextFormat f) const { return (bits & static_cast<unsigned>(f)) != 0; }
};
constexpr DrawTextFormats operator|(DrawTextFormats a, DrawTextFormats b)
{
    DrawTextFormats r;
    r.bits = a.bits | b.bits;
    return r;
}
constexpr DrawTextFormats operator|(DrawTextFormat a, DrawTextFormat b)
{
    return DrawTextFormats(a) | DrawTextFormats(b);
}

// A caption with its "&" markers taken out: a single "&" underlines the character after it (the
// first such marker counts), "&&" shows one "&", and a trailing "&" shows nothing.
struct MnemonicText {
    QString Text;
    qsizetype Underlined = -1;  // index into Text, -1 for none
};
MnemonicText ParseMnemonic(const QString& caption);

// Drawing state over one image: the selected pen and font, the text colour and the current
// position. The image belongs to the caller and must outlive the context.
class DeviceContext {
public:
    explicit DeviceContext(QImage* image);

    // Selects a pen and returns the one it replaces, as the platform call does.
    Pen SelectObject(const Pen& pen);
    void SelectFont(const QFont& font);
    const QFont& Font() const { return font_; }

    void MoveToEx(int x, int y, QPoint* previous = nullptr);
    void LineTo(int x, int y);
    void SetPixel(int x, int y, OleColor colour);
    void FillRect(const Rect& rect, const Brush& brush);
    void FrameRect(const Rect& rect, const Brush& brush);
    OleColor SetTextColor(OleColor colour);  // returns the previous text colour

    // Draws (or, with CalcRect, only measures) `count` characters of `text` (-1: all) into `rect`
    // and returns the height of the text in pixels. With WordBreak the text wraps between words to
    // the rectangle's width; with Center each line is centred in it. Drawing is transparent and
    // clipped to the rectangle. CalcRect draws nothing and sets the rectangle's right and bottom to
    // fit the text.
    int DrawTextA(const QString& text, int count, Rect& rect, DrawTextFormats format);

private:
    void Plot(int x, int y, QRgb rgb);
    void StampPen(int x, int y, int width, QRgb rgb);

    QImage* image_;
    Pen pen_;
    QFont font_;
    OleColor textColor_ = 0;
    QPoint position_;
};

// Selects a pen for the length of a scope and selects the previous one back at its end.
class SelectedPen {
public:
    SelectedPen(DeviceContext& dc, const Pen& pen) : dc_(dc), previous_(dc.SelectObject(pen)) {}
    ~SelectedPen() { dc_.SelectObject(previous_); }
    SelectedPen(const SelectedPen&) = delete;
    SelectedPen& operator=(const SelectedPen&) = delete;

private:
    DeviceContext& dc_;
    Pen previous_;
};

// Window shapes.
struct Region {
    QRegion Area;
};
enum class CombineMode { And, Or, Xor, Diff, Copy };
enum class RegionKind { Error = 0, Null = 1, Simple = 2, Complex = 3 };

Region CreateRectRgn(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
RegionKind CombineRgn(Region& destination, const Region& first, const Region& second, CombineMode mode);
// Makes `region` the window's real shape: it paints and takes the pointer only inside it.
void SetWindowRgn(QWidget* window, const Region& region, bool redraw);

// The pointer and the window under it. WindowFromPoint honours window shapes and passes over
// hidden and disabled windows to the enabled window below, as the platform call does.
QPoint GetCursorPos();
QWidget* WindowFromPoint(QPoint screenPoint);
// Sends the mouse input to `window` until the next button release (released by its host).
void SetCapture(QWidget* window);

}  // namespace corvane::platform
