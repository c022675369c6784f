// What the file layer holds on POSIX beside what it holds on every system. Internal to the codec
// library.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codec/FileTransform.h"

namespace corvane::detail {

using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;

// A destination's folder, opened once so that everything is done relative to it, and what a
// replacing file carries over.
struct NativeDestination {
    std::filesystem::path folderPath;         // the folder as opened
    std::shared_ptr<const int> folderHandle;  // owns the folder's descriptor, shared by a batch's files
    FileIdentity folderId;                    // which folder it is
    Links links = Links::Follow;              // how it was opened
    int folder = -1;                          // that descriptor
    int inFlight = -1;                        // the signal handler's slot for the temporary name, or -1
    bool folderFlushable = true;
    // The replaced file's ACL and user extended attributes, as names and values.
    std::vector<std::pair<std::string, std::string>> attributes;
};

}  // namespace corvane::detail
