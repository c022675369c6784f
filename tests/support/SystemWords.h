// The system's own number and words for the failures the tests provoke, as the program reports
// them: errno values and their texts on POSIX, Windows' error codes and the system's message for
// them on Windows (whose wording Wine and each Windows release choose).
#pragma once

#include <string>
#include <system_error>

#include <QString>

#include "support/ErrorNumbers.h"

namespace corvane::testing {

inline QString SystemWords(int number)
{
#ifdef _WIN32
    QString text = QString::fromStdString(std::system_category().message(number)).trimmed();
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
#else
    return QString::fromStdString(std::generic_category().message(number));
#endif
}

// "Error: N: <what> '<path>': <the system's words>", the line the error report shows.
inline QString ErrorText(int number, const QString& what, const QString& path)
{
    return QStringLiteral("Error: %1: %2 '%3': %4").arg(number).arg(what, path, SystemWords(number));
}

}  // namespace corvane::testing
