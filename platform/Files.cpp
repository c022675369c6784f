#include "platform/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace corvane::platform {

namespace fs = std::filesystem;

fs::path ToPath(const QString& path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

QString FromPath(const fs::path& path)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

Error FileError(const std::error_code& code, const QString& what, const QString& path)
{
    QString text = QString::fromStdString(code.message()).trimmed();
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return {code.value(), QStringLiteral("%1 '%2': %3").arg(what, path, text).toStdString()};
}

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
    if (code) return FileError(code, QStringLiteral("Cannot read the size of"), path);
    return static_cast<qint64>(size);
}

ErrorOr<QDateTime> FileModified(const QString& path)
{
    std::error_code code;
    static_cast<void>(fs::status(ToPath(path), code));
    if (code) return FileError(code, QStringLiteral("Cannot read the date of"), path);
    return QFileInfo(path).lastModified();
}

ErrorOr<quint32> FileAttributes(const QString& path)
{
#ifdef Q_OS_WIN
    const DWORD bits = ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (bits == INVALID_FILE_ATTRIBUTES) {
        return FileError(std::error_code(static_cast<int>(::GetLastError()), std::system_category()),
                         QStringLiteral("Cannot read the attributes of"), path);
    }
    return static_cast<quint32>(bits);
#else
    std::error_code code;
    const fs::file_status status = fs::status(ToPath(path), code);
    if (code) return FileError(code, QStringLiteral("Cannot read the attributes of"), path);
    quint32 bits = 0;
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) bits |= kReadOnly;
    if (ToPath(path).filename().native().starts_with('.')) bits |= kHidden;
    if (status.type() == fs::file_type::directory) bits |= kFolder;
    return bits;
#endif
}

ErrorOr<QStringList> ReadFolderNames(const QString& folder, EntryKind kind)
{
    std::error_code code;
    const fs::path root = ToPath(folder);
    if (!fs::is_directory(root, code)) {
        if (!code) code = std::make_error_code(std::errc::not_a_directory);
        return FileError(code, QStringLiteral("Cannot open the folder"), folder);
    }
    QStringList names;
    fs::directory_iterator it(root, code);
    for (; !code && it != fs::directory_iterator(); it.increment(code)) {
        std::error_code ignored;
        const bool wanted = kind == EntryKind::File ? it->is_regular_file(ignored) : it->is_directory(ignored);
        if (wanted) names.push_back(FromPath(it->path().filename()));
    }
    if (code) return FileError(code, QStringLiteral("Cannot read the folder"), folder);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

std::optional<Error> MakeFolder(const QString& path)
{
    std::error_code code;
    if (!fs::create_directory(ToPath(path), code) && !code) {
        code = std::make_error_code(std::errc::file_exists);
    }
    if (code) return FileError(code, QStringLiteral("Cannot create the folder"), path);
    return std::nullopt;
}

bool PathExists(const QString& path)
{
    std::error_code code;
    return fs::exists(fs::symlink_status(ToPath(path), code));
}

std::optional<Error> RemoveFile(const QString& path)
{
    std::error_code code;
    if (!fs::remove(ToPath(path), code) && !code) {
        code = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (code) return FileError(code, QStringLiteral("Cannot delete"), path);
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
