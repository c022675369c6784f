// A font as a control's stored layout holds it: face name, size in points, weight (400 regular,
// 700 bold) and character set.
#pragma once

#include <QFont>
#include <QString>

namespace corvane::platform {

struct StdFont {
    QString Name = QStringLiteral("MS Sans Serif");
    double Size = 8.25;
    int Weight = 400;
    int Charset = 0;
    friend bool operator==(const StdFont&, const StdFont&) = default;
};

// A face that is missing, or that this system has only as bitmap strikes, gives way to the
// closest scalable sans-serif face.
QFont ToQFont(const StdFont& font);
StdFont FromQFont(const QFont& font);

}  // namespace corvane::platform
