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

QPoint TwipsToPixels(TwipsPoint point) { return {TwipsToPixels(point.x), TwipsToPixels(point.y)}; }

QRect TwipsToPixels(TwipsRect rect)
{
    return {TwipsToPixels(rect.left), TwipsToPixels(rect.top), TwipsToPixels(rect.width), TwipsToPixels(rect.height)};
}

}  // namespace corvane::platform
