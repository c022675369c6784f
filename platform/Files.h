// Files and folders as the windows see them: lengths, dates, attribute bits, folder creation.
// Every operation that can fail returns an Error with the system's number and a description
// that names the path: a query as ErrorOr<T>, a command as std::optional<Error>.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <system_error>

#include "codec/Error.h"

namespace corvane::platform {

// Attribute bits, as the Windows file system reports them. Elsewhere only these three are
// derived: read-only when the owner may not write, hidden for a name starting with ".",
// and folder.
enum FileAttribute : quint32 {
    kReadOnly = 1,
    kHidden = 2,
    kSystem = 4,
    kFolder = 16,
    kArchive = 32,
};

std::filesystem::path ToPath(const QString& path);
QString FromPath(const std::filesystem::path& path);

// The folder that holds the program's executable, without a trailing separator (a root keeps
// its own).
QString ProgramFolder();
// Makes ProgramFolder() answer `folder` instead ("" goes back to the executable's folder), so
// that tests keep their output folders to themselves.
void SetProgramFolder(const QString& folder);

ErrorOr<qint64> FileLength(const QString& path);
ErrorOr<QDateTime> FileModified(const QString& path);
ErrorOr<quint32> FileAttributes(const QString& path);

enum class EntryKind { File, Folder };

// The names of the regular files (or the subfolders) directly in `folder`, links followed,
// hidden ones included, sorted by name without regard to case.
ErrorOr<QStringList> ReadFolderNames(const QString& folder, EntryKind kind);

// Creates one folder; its parent must exist.
[[nodiscard]] std::optional<Error> MakeFolder(const QString& path);
// True when a file or folder (or a link to one) exists at `path`.
bool PathExists(const QString& path);
[[nodiscard]] std::optional<Error> RemoveFile(const QString& path);

// The user's short date format followed by the time with seconds.
QString DateTimeText(const QDateTime& when);

// The error of a failed std::filesystem call, as "<what> '<path>': <system text>".
Error FileError(const std::error_code& code, const QString& what, const QString& path);

}  // namespace corvane::platform
