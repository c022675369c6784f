// The file transform: codes one whole file from a source path to a destination path.
//
// Contract:
// - The result is written to a temporary file in the destination's folder, flushed to disk,
//   and only then renamed over the destination. On any failure the temporary file is removed:
//   the destination keeps its earlier content (or stays absent) and the source is never
//   changed. Source and destination may be the same path.
// - The file is streamed in chunks with the codec's running value carried between them, so
//   memory stays constant and files of any size (64-bit lengths) work. The result is
//   identical to coding the whole file in one buffer. An empty source gives an empty result.
// - A source that is not a regular file (a folder, a FIFO, a device) and a destination that
//   is an existing folder are refused before anything is written. A destination that is a
//   symbolic link is replaced by the new file; the link's target is left alone.
// - Failures come back as an Error: the system's error number (errno, or the Windows error
//   code) and a description naming the path. An over-size write is such an error; it never
//   raises SIGXFSZ.
#pragma once

#include <filesystem>
#include <optional>

#include "Error.h"

namespace corvane {

enum class Coding { Encode, Decode };

// One end of a transform: a file, or the process's standard input (as a source) or standard
// output (as a destination). A standard stream is read or written directly, without a
// temporary file, so a failure half-way leaves what was already written.
struct Endpoint {
    std::filesystem::path path;
    bool standardStream = false;

    static Endpoint File(std::filesystem::path p) { return {std::move(p), false}; }
    static Endpoint StandardStream() { return {{}, true}; }
};

// Codes `source` into `destination`. Returns nothing on success.
[[nodiscard]] std::optional<Error> TransformFile(Coding coding, const Endpoint& source,
                                                 const Endpoint& destination);

[[nodiscard]] std::optional<Error> EncodeFile(const std::filesystem::path& source,
                                              const std::filesystem::path& destination);
[[nodiscard]] std::optional<Error> DecodeFile(const std::filesystem::path& source,
                                              const std::filesystem::path& destination);

}  // namespace corvane
