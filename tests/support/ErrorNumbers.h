// The system's own numbers for the failures the tests provoke, as both programs report them:
// errno values on POSIX, Windows' error codes on Windows. One table for every test.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace corvane::testing {

#ifdef _WIN32
inline constexpr int kNoSuchFile = ERROR_FILE_NOT_FOUND;
inline constexpr int kNoSuchFolder = ERROR_PATH_NOT_FOUND;  // a missing folder on the way
inline constexpr int kThroughAFile = ERROR_PATH_NOT_FOUND;  // a file where a folder should be
inline constexpr int kFolderAsFile = ERROR_ACCESS_DENIED;   // a folder opened as a file
inline constexpr int kNotAFolder = ERROR_DIRECTORY;         // a file named as a folder to write into
inline constexpr int kAlreadyWritten = ERROR_ALREADY_EXISTS;
inline constexpr const char* kFolderAsFileWhat = "Cannot open";
#else
inline constexpr int kNoSuchFile = ENOENT;
inline constexpr int kNoSuchFolder = ENOENT;
inline constexpr int kThroughAFile = ENOTDIR;
inline constexpr int kFolderAsFile = EISDIR;
inline constexpr int kNotAFolder = ENOTDIR;
inline constexpr int kAlreadyWritten = EEXIST;
inline constexpr const char* kFolderAsFileWhat = "Cannot read";
#endif
inline constexpr const char* kThroughAFileWhat = "Cannot write";

}  // namespace corvane::testing
