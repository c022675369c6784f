// Window layouts are given in twips (1/1440 inch): 15 twips make a pixel at 96 dots per inch.
#pragma once

#include <QPoint>
#include <QRect>

namespace corvane::platform {

// A rectangle in twips from the top-left corner of the client area (or of the holding frame).
struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A point in twips from the top-left corner of the client area (or of the screen).
struct TwipsPoint {
    int x = 0;
    int y = 0;
};

// Twips to device-independent pixels at the primary screen's logical DPI (96 without a screen).
int TwipsToPixels(int twips);
QPoint TwipsToPixels(TwipsPoint point);
QRect TwipsToPixels(TwipsRect rect);

}  // namespace corvane::platform
