// The few file operations the transform needs, over the operating system's own calls
// (POSIX here, Win32 in OsFileWin.cpp). Internal to the codec library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Error.h"

namespace corvane::detail {

#ifdef _WIN32
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

// A path as UTF-8 text, for messages.
std::string DisplayName(const std::filesystem::path& path);

// "<what> '<name>': <the system's text for code>", numbered with the code itself.
Error SystemError(int code, std::string_view what, std::string_view name);

// System error codes that the transform raises itself, in the system's own numbering.
extern const int kErrorIsFolder;     // EISDIR; ERROR_ACCESS_DENIED on Windows
extern const int kErrorOutOfMemory;  // ENOMEM; ERROR_NOT_ENOUGH_MEMORY on Windows

// The system error code of the last failed call (errno, or GetLastError() on Windows).
int LastErrorCode();

// An open file. Operations return 0 or the system error code.
class OsFile {
public:
    OsFile() = default;
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;
    OsFile(OsFile&& other) noexcept;
    OsFile& operator=(OsFile&& other) noexcept;
    ~OsFile();

    // Opens a regular file for reading; a folder, FIFO or device is refused without waiting.
    static std::optional<Error> OpenSource(const std::filesystem::path& path, OsFile& out);
    // Creates a new empty file with a short name of its own in `folder` ("" is the current
    // folder) and returns its path in `created`.
    static int CreateTemporary(const std::filesystem::path& folder, OsFile& out,
                               std::filesystem::path& created);
    static OsFile StandardInput();
    static OsFile StandardOutput();

    // Reads until `buffer` is full or the file ends; a short count means the end.
    int ReadFull(std::span<std::uint8_t> buffer, std::size_t& got);
    int WriteAll(std::span<const std::uint8_t> bytes);
    int FlushToDisk();
    int Close();

private:
    OsFile(NativeHandle handle, bool owned) : handle_(handle), owned_(owned) {}

#ifdef _WIN32
    NativeHandle handle_ = nullptr;
#else
    NativeHandle handle_ = -1;
#endif
    bool owned_ = false;
};

// A short file name of its own for a temporary file: ".cv" and eight random hex digits.
std::string TemporaryName();

// True when `path` is an existing folder (a link to one is not).
bool IsFolder(const std::filesystem::path& path);
// Renames `from` over `to`, replacing whatever file or link is there.
int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);
void RemoveFile(const std::filesystem::path& path) noexcept;
// One-time process set-up: an over-size write must fail with an error, not end the process.
void PrepareProcess();

}  // namespace corvane::detail
