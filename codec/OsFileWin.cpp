// The file layer on Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

#include "OsFile.h"

namespace corvane::detail {

namespace {
// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kMaxTransfer = 1u << 30;
}  // namespace

// What Windows itself answers when a folder is opened as a file.
const int kErrorIsFolder = ERROR_ACCESS_DENIED;
const int kErrorOutOfMemory = ERROR_NOT_ENOUGH_MEMORY;

int LastErrorCode() { return static_cast<int>(::GetLastError()); }

std::optional<Error> OsFile::OpenSource(const std::filesystem::path& path, OsFile& out)
{
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS: it fails here already.
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return SystemError(LastErrorCode(), "Cannot open", DisplayName(path));
    }
    out = OsFile(handle, true);
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        return Error{ERROR_INVALID_PARAMETER,
                     "Cannot read '" + DisplayName(path) + "': not a regular file"};
    }
    return std::nullopt;
}

int OsFile::CreateTemporary(const std::filesystem::path& folder, OsFile& out,
                            std::filesystem::path& created)
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::filesystem::path candidate = folder / TemporaryName();
        HANDLE handle = ::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            out = OsFile(handle, true);
            created = std::move(candidate);
            return 0;
        }
        const int code = LastErrorCode();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) return code;
    }
    return ERROR_FILE_EXISTS;
}

OsFile OsFile::StandardInput() { return OsFile(::GetStdHandle(STD_INPUT_HANDLE), false); }
OsFile OsFile::StandardOutput() { return OsFile(::GetStdHandle(STD_OUTPUT_HANDLE), false); }

int OsFile::ReadFull(std::span<std::uint8_t> buffer, std::size_t& got)
{
    got = 0;
    while (got < buffer.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(buffer.size() - got, kMaxTransfer));
        if (!::ReadFile(handle_, buffer.data() + got, want, &n, nullptr)) {
            const int code = LastErrorCode();
            if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) break;  // writer gone: the end
            return code;
        }
        if (n == 0) break;
        got += n;
    }
    return 0;
}

int OsFile::WriteAll(std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(bytes.size() - done, kMaxTransfer));
        if (!::WriteFile(handle_, bytes.data() + done, want, &n, nullptr)) return LastErrorCode();
        if (n == 0) return ERROR_WRITE_FAULT;
        done += n;
    }
    return 0;
}

int OsFile::FlushToDisk() { return ::FlushFileBuffers(handle_) ? 0 : LastErrorCode(); }

int OsFile::Close()
{
    if (!owned_) return 0;
    owned_ = false;
    return ::CloseHandle(handle_) ? 0 : LastErrorCode();
}

bool IsFolder(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // Windows refuses to replace a read-only file; Wine replaces it. Asked first, both refuse.
    const DWORD attributes = ::GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return ERROR_ACCESS_DENIED;
    }
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastErrorCode();
}

void RemoveFile(const std::filesystem::path& path) noexcept { ::DeleteFileW(path.c_str()); }

void PrepareProcess() {}

}  // namespace corvane::detail
