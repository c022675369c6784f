// The system's own number and words for the failures the tests provoke, as the program reports
// them: errno values and their texts on POSIX, Windows' error codes and the system's message for
// them on Windows (whose wording Wine and each Windows release choose).
#pragma once

#include <string>
#include <system_error>

#include <QString>

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

#ifdef _WIN32
inline constexpr int kNoSuchFile = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr int kThroughAFile = 3;     // ERROR_PATH_NOT_FOUND: a file where a folder should be
inline constexpr int kFolderAsFile = 5;     // ERROR_ACCESS_DENIED: a folder opened as a file
inline constexpr const char* kFolderAsFileWhat = "Cannot open";
inline constexpr const char* kThroughAFileWhat = "Cannot write";
#else
inline constexpr int kNoSuchFile = 2;       // ENOENT
inline constexpr int kThroughAFile = 20;    // ENOTDIR
inline constexpr int kFolderAsFile = 21;    // EISDIR
inline constexpr const char* kFolderAsFileWhat = "Cannot read";
inline constexpr const char* kThroughAFileWhat = "Cannot write";
#endif

}  // namespace corvane::testing
