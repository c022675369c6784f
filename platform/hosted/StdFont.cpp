#include "platform/hosted/StdFont.h"

#include <QStringList>

namespace corvane::platform {

QFont ToQFont(const StdFont& font)
{
    // The windows' faces ("MS Sans Serif") are often missing here: metric-alike faces stand in, in this order,
    // and the font keeps its own name for the stored layout.
    QFont result(font.Name);
    result.setFamilies(QStringList{font.Name, QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                        QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
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
