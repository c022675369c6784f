#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace corvane::platform {

namespace {
double LogicalDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}
}  // namespace

int TwipsToPixels(int twips)
{
    return static_cast<int>(std::lround(twips * LogicalDpi() / 1440.0));
}

QRect TwipsToPixels(int left, int top, int width, int height)
{
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace corvane::platform
