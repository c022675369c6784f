// Files and folders as the windows see them: lengths, dates, attribute bits, folder creation.
// Every operation that can fail returns an Error with the system's number and a description
// that names the path: a query as ErrorOr<T>, a command as std::optional<Error>.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>

#include "codec/Error.h"

class QUrl;

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

// A path as the system names it and as the windows hold it. On Windows both are UTF-16. Elsewhere
// a name is any bytes: UTF-8 is read as text, and each byte that is not part of valid UTF-8 is
// held as the lone code unit U+DC00 + byte (U+DC80..U+DCFF), which no valid UTF-8 produces, so
// that FromPath and ToPath give back the very bytes of every name.
std::filesystem::path ToPath(const QString& path);
QString FromPath(const std::filesystem::path& path);
// The local path of a file address, with the very bytes of its name: "file:///tmp/caf%E9" is the
// name whose fourth byte is 0xE9, where QUrl::toLocalFile would give U+FFFD.
QString LocalPath(const QUrl& address);
// A path or name as shown in a window or a message: each byte held above as U+FFFD.
QString Shown(const QString& path);

// The folder that holds the program's executable, without a trailing separator (a root keeps
// its own).
QString ProgramFolder();
// Makes ProgramFolder() answer `folder` instead ("" goes back to the executable's folder), so
// that tests keep their output folders to themselves.
void SetProgramFolder(const QString& folder);

ErrorOr<qint64> FileLength(const QString& path);
ErrorOr<QDateTime> FileModified(const QString& path);
ErrorOr<quint32> FileAttributes(const QString& path);
// Whether `path` names a file that can be opened to code: none when it does, else "Cannot open
// '<path>': <reason>" in the system's own number and words (Windows' on Windows). A folder is
// refused as the system refuses to open one as a file (EISDIR; on Windows, ERROR_ACCESS_DENIED).
std::optional<Error> CheckFileToOpen(const QString& path);

enum class EntryKind { File, Folder };

// The names of the regular files (or the subfolders) directly in `folder`, links followed,
// hidden ones included, sorted by name without regard to case.
ErrorOr<QStringList> ReadFolderNames(const QString& folder, EntryKind kind);

// Creates a folder and those of its parents that are missing; a folder that exists already is
// the error "File exists".
[[nodiscard]] std::optional<Error> MakeFolder(const QString& path);
// True when a file or folder (or a link to one) exists at `path`.
bool PathExists(const QString& path);
// True when `path` is a folder (or a link to one); false when it is not or cannot be reached.
bool IsFolder(const QString& path);
// True when `path` is a regular file (or a link to one).
bool IsFile(const QString& path);
[[nodiscard]] std::optional<Error> RemoveFile(const QString& path);

// The user's short date format followed by the time with seconds.
QString DateTimeText(const QDateTime& when);

// `path` as a message names it: corvane::DisplayName of its very bytes, so that a byte that is
// not UTF-8 shows as `\xe9` and a control character as `\n` or `\x1b`.
std::string NameInMessage(const QString& path);

}  // namespace corvane::platform
