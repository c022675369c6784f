// Window layouts are given in twips (1/1440 inch): 15 twips make a pixel at 96 dots per inch.
#pragma once

#include <QRect>

namespace corvane::platform {

// Twips to device-independent pixels at the primary screen's logical DPI (96 without a screen).
int TwipsToPixels(int twips);
QRect TwipsToPixels(int left, int top, int width, int height);

}  // namespace corvane::platform
