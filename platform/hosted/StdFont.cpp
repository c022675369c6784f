#include "platform/hosted/StdFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace corvane::platform {

namespace {

// The faces that stand in for a face this system lacks, metric-alike first. On Windows,
// "Microsoft Sans Serif" is the scalable successor of "MS Sans Serif" with its widths, and Tahoma
// is on every Windows (and is Wine's own face).
QStringList StandIns()
{
    QStringList faces;
#ifdef Q_OS_WIN
    faces << QStringLiteral("Microsoft Sans Serif") << QStringLiteral("Tahoma");
#endif
    faces << QStringLiteral("Arial") << QStringLiteral("Liberation Sans") << QStringLiteral("Helvetica")
          << QStringLiteral("DejaVu Sans");
    return faces;
}

// A face that this system has only as bitmap strikes ("MS Sans Serif" on Windows: 8, 10, 12 ...
// points at 96 dots per inch) cannot be drawn at any other size or scale. Worse, Qt's Windows
// font database files each strike under its cell height, 13 px for the 8 pt strike, and asks
// Windows for that as the em height, which Windows answers with the next strike up: 8.25 pt came
// out as 10 pt. Such a face gives way to its scalable stand-ins, drawn at the very size asked.
bool OnlyBitmapStrikes(const QString& face)
{
    return QFontDatabase::hasFamily(face) && !QFontDatabase::isSmoothlyScalable(face);
}

}  // namespace

QFont ToQFont(const StdFont& font)
{
    // The faces it is drawn with: the font's own where this system can draw it at any size,
    // then the stand-ins, in this order.
    QFont result(font.Name);
    QStringList faces = StandIns();
    faces.removeAll(font.Name);
    if (!OnlyBitmapStrikes(font.Name)) faces.prepend(font.Name);
    result.setFamilies(faces);
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
