// What the parts of the POSIX file layer share. Internal to the codec library.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "codec/Error.h"
#include "codec/FileTransform.h"

namespace corvane::detail {

// How many named temporary files the clean-up handler can hold at once: every file of a batch's
// group, and single transforms besides.
constexpr std::size_t kInFlightSlots = 1088;

// Registers a named temporary file `name` in `folder` for the clean-up handler and returns its
// slot; -1 when every slot is taken (a signal then leaves the file behind). Call inside a
// NamesChanging.
int RegisterInFlight(int folder, const std::string& name);
// Gives a slot of RegisterInFlight back (-1: none). Call inside a NamesChanging.
void UnregisterInFlight(int slot);

// A descriptor the codec opens never takes the number of a closed standard stream: a source
// opened as 1 would be "standard output", and a message meant for a closed standard error would
// be written into a result opened as 2. Such a descriptor is moved above them; -1 stays -1.
int ApartFromStandardStreams(int fd);

// A file's ACL and user extended attributes, as names and values.
using Attributes = std::vector<std::pair<std::string, std::string>>;
// Those of the destination `leaf` in `folder` (opened with `links`), to be given to the file
// that replaces it; an error names the destination as `shown`.
ErrorOr<Attributes> KeptAttributes(int folder, const char* leaf, Links links, const std::string& shown);
// Gives the file `fd` the user attributes, then the ACL, of `kept`; a default ACL it was made
// with goes when `kept` has none. The system's error number of the first that fails, or 0.
int ApplyKeptAttributes(int fd, const Attributes& kept);

// Removes from `folder` the temporary files of writers that have ended (see WriterGone): what a
// SIGKILL or a power cut left of their work. Only regular files with a name of the transform's
// own go; a folder that cannot be listed is left as it is.
void RemoveLeftovers(int folder);

}  // namespace corvane::detail
