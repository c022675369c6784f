#include "platform/hosted/StdFont.h"

namespace corvane::platform {

QFont ToQFont(const StdFont& font)
{
    QFont result(font.Name);
    result.setStyleHint(QFont::SansSerif);
    result.setPointSizeF(font.Size);
    result.setWeight(static_cast<QFont::Weight>(font.Weight));
    return result;
}

StdFont FromQFont(const QFont& font)
{
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    return StdFont{font.family(), points, static_cast<int>(font.weight()), 0};
}

}  // namespace corvane::platform
