// Files and folders as every system has them, through std::filesystem; how a path is held and
// what a file's attributes are is each system's own (FilesPosix.cpp, FilesWin.cpp).
#include "platform/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <chrono>
#include <system_error>

#include "codec/Describe.h"

namespace corvane::platform {

namespace fs = std::filesystem;

std::string NameInMessage(const QString& path) { return DisplayName(ToPath(path)); }

namespace {
QString& ProgramFolderOverride()
{
    static QString folder;
    return folder;
}
}  // namespace

QString ProgramFolder()
{
    const QString& folder = ProgramFolderOverride();
    return QDir::toNativeSeparators(folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder);
}

void SetProgramFolder(const QString& folder) { ProgramFolderOverride() = folder; }

ErrorOr<qint64> FileLength(const QString& path)
{
    std::error_code code;
    const auto size = fs::file_size(ToPath(path), code);
    if (code) return SystemError(code, "Cannot read the size of", NameInMessage(path));
    return static_cast<qint64>(size);
}

ErrorOr<QDateTime> FileModified(const QString& path)
{
    std::error_code code;
    const auto written = fs::last_write_time(ToPath(path), code);
    if (code) return SystemError(code, "Cannot read the date of", NameInMessage(path));
    const auto since = std::chrono::file_clock::to_sys(written).time_since_epoch();
    return QDateTime::fromMSecsSinceEpoch(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

ErrorOr<QStringList> ReadFolderNames(const QString& folder, EntryKind kind)
{
    std::error_code code;
    const fs::path root = ToPath(folder);
    if (!fs::is_directory(root, code)) {
        if (!code) code = std::make_error_code(std::errc::not_a_directory);
        return SystemError(code, "Cannot open the folder", NameInMessage(folder));
    }
    QStringList names;
    fs::directory_iterator it(root, code);
    for (; !code && it != fs::directory_iterator(); it.increment(code)) {
        std::error_code ignored;
        const bool wanted = kind == EntryKind::File ? it->is_regular_file(ignored) : it->is_directory(ignored);
        if (wanted) names.push_back(FromPath(it->path().filename()));
    }
    if (code) return SystemError(code, "Cannot read the folder", NameInMessage(folder));
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

std::optional<Error> MakeFolder(const QString& path)
{
    std::error_code code;
    if (!fs::create_directories(ToPath(path), code) && !code) {
        code = std::make_error_code(std::errc::file_exists);
    }
    if (code) return SystemError(code, "Cannot create the folder", NameInMessage(path));
    return std::nullopt;
}

bool PathExists(const QString& path)
{
    std::error_code code;
    return fs::exists(fs::symlink_status(ToPath(path), code));
}

bool IsFolder(const QString& path)
{
    std::error_code code;
    return fs::is_directory(ToPath(path), code);
}

bool IsFile(const QString& path)
{
    std::error_code code;
    return fs::is_regular_file(ToPath(path), code);
}

std::optional<Error> RemoveFile(const QString& path)
{
    std::error_code code;
    if (!fs::remove(ToPath(path), code) && !code) {
        code = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (code) return SystemError(code, "Cannot delete", NameInMessage(path));
    return std::nullopt;
}

QString DateTimeText(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (!timeFormat.contains(QLatin1Char('s'))) timeFormat.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), timeFormat);
}

}  // namespace corvane::platform
