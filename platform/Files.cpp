#include "platform/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <string_view>
#include <system_error>

#include "codec/Describe.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace corvane::platform {

namespace fs = std::filesystem;

#ifndef Q_OS_WIN
namespace {
constexpr char16_t kEscapedByte = 0xDC00;

bool IsEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }
}  // namespace
#endif

fs::path ToPath(const QString& path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(path.size()));
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsEscapedByte(path.at(i).unicode())) continue;
        bytes += QStringView(path).sliced(start, i - start).toUtf8().toStdString();
        if (i < path.size()) bytes += static_cast<char>(path.at(i).unicode() - kEscapedByte);
        start = i + 1;
    }
    return fs::path(std::move(bytes));
#endif
}

QString FromPath(const fs::path& path)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.wstring());
#else
    const std::string_view bytes = path.native();
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const int length = Utf8SequenceLength(bytes.substr(i));
        if (length > 0) {
            i += static_cast<std::size_t>(length);
            continue;
        }
        text += QString::fromUtf8(bytes.data() + start, static_cast<qsizetype>(i - start));
        text += QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[i])));
        start = ++i;
    }
    text += QString::fromUtf8(bytes.data() + start, static_cast<qsizetype>(i - start));
    return text;
#endif
}

QString LocalPath(const QUrl& address)
{
#ifndef Q_OS_WIN
    if (address.host().isEmpty()) {
        const QByteArray bytes = QByteArray::fromPercentEncoding(address.path(QUrl::FullyEncoded).toLatin1());
        return FromPath(fs::path(bytes.toStdString()));
    }
#endif
    return QDir::toNativeSeparators(address.toLocalFile());
}

QString Shown(const QString& path)
{
#ifdef Q_OS_WIN
    return path;
#else
    QString shown = path;
    for (QChar& unit : shown) {
        if (IsEscapedByte(unit.unicode())) unit = QChar::ReplacementCharacter;
    }
    return shown;
#endif
}

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

std::optional<Error> CheckFileToOpen(const QString& path)
{
#ifdef Q_OS_WIN
    const DWORD bits = ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (bits == INVALID_FILE_ATTRIBUTES) return SystemError(static_cast<int>(::GetLastError()), "Cannot open", NameInMessage(path));
    if (bits & FILE_ATTRIBUTE_DIRECTORY) return SystemError(ERROR_ACCESS_DENIED, "Cannot open", NameInMessage(path));
#else
    std::error_code code;
    const fs::file_status status = fs::status(ToPath(path), code);
    if (!code && status.type() == fs::file_type::directory) code = std::make_error_code(std::errc::is_a_directory);
    if (code) return SystemError(code, "Cannot open", NameInMessage(path));
#endif
    return std::nullopt;
}

ErrorOr<quint32> FileAttributes(const QString& path)
{
#ifdef Q_OS_WIN
    const DWORD bits = ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (bits == INVALID_FILE_ATTRIBUTES) {
        return SystemError(static_cast<int>(::GetLastError()), "Cannot read the attributes of", NameInMessage(path));
    }
    return static_cast<quint32>(bits);
#else
    std::error_code code;
    const fs::file_status status = fs::status(ToPath(path), code);
    if (code) return SystemError(code, "Cannot read the attributes of", NameInMessage(path));
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
