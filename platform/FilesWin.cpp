// Paths and attributes on Windows, where a name is UTF-16 as the windows hold it and a file
// keeps its own attribute bits.
#include <QDir>
#include <QUrl>

#include <windows.h>

#include "codec/Describe.h"
#include "platform/Files.h"

namespace corvane::platform {

namespace fs = std::filesystem;

fs::path ToPath(const QString& path) { return fs::path(path.toStdWString()); }

QString FromPath(const fs::path& path) { return QString::fromStdWString(path.wstring()); }

QString LocalPath(const QUrl& address) { return QDir::toNativeSeparators(address.toLocalFile()); }

QString Shown(const QString& path) { return path; }

std::optional<Error> CheckFileToOpen(const QString& path)
{
    const DWORD bits = ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (bits == INVALID_FILE_ATTRIBUTES) return SystemError(static_cast<int>(::GetLastError()), "Cannot open", NameInMessage(path));
    if (bits & FILE_ATTRIBUTE_DIRECTORY) return SystemError(ERROR_ACCESS_DENIED, "Cannot open", NameInMessage(path));
    return std::nullopt;
}

ErrorOr<quint32> FileAttributes(const QString& path)
{
    const DWORD bits = ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (bits == INVALID_FILE_ATTRIBUTES) {
        return SystemError(static_cast<int>(::GetLastError()), "Cannot read the attributes of", NameInMessage(path));
    }
    return static_cast<quint32>(bits);
}

}  // namespace corvane::platform
