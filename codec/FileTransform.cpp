#include "FileTransform.h"

#include <cerrno>
#include <memory>
#include <new>

#include "ByteCodec.h"
#include "OsFile.h"

namespace corvane {

namespace {

using detail::OsFile;
using detail::SystemError;

// One buffer this size serves the whole file: large enough that system calls cost nothing
// next to the copy, small enough to stay in the cache. 256 KiB and 4 MiB measured no better
// (bench/FileBench.cpp).
constexpr std::size_t kChunkSize = std::size_t{1} << 20;

// Reads `in` to its end, coding chunk by chunk into `out`.
std::optional<Error> Pump(Coding coding, OsFile& in, std::string_view inName, OsFile& out,
                          std::string_view outName)
{
    const std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kChunkSize]);
    if (!buffer) return SystemError(detail::kErrorOutOfMemory, "Cannot read", inName);

    std::uint8_t running = 0;
    for (;;) {
        std::size_t got = 0;
        if (const int code = in.ReadFull({buffer.get(), kChunkSize}, got)) {
            return SystemError(code, "Cannot read", inName);
        }
        const std::span<std::uint8_t> chunk(buffer.get(), got);
        running = coding == Coding::Encode ? EncodeBytes(chunk, running)
                                           : DecodeBytes(chunk, running);
        if (const int code = out.WriteAll(chunk)) return SystemError(code, "Cannot write", outName);
        if (got < kChunkSize) return std::nullopt;
    }
}

// Codes `in` into a temporary file beside `destination`, then renames it over the destination.
std::optional<Error> ReplaceDestination(Coding coding, OsFile& in, std::string_view inName,
                                        const std::filesystem::path& destination)
{
    const std::string outName = detail::DisplayName(destination);
    if (detail::IsFolder(destination)) return SystemError(detail::kErrorIsFolder, "Cannot write", outName);

    OsFile out;
    std::filesystem::path temporary;
    if (const int code = OsFile::CreateTemporary(destination.parent_path(), out, temporary)) {
        return SystemError(code, "Cannot write", outName);
    }

    std::optional<Error> error = Pump(coding, in, inName, out, outName);
    if (!error) {
        if (const int code = out.FlushToDisk()) error = SystemError(code, "Cannot write", outName);
    }
    if (const int code = out.Close(); code && !error) {
        error = SystemError(code, "Cannot write", outName);
    }
    // The source is closed before the rename: on Windows an open file cannot be replaced.
    in.Close();
    if (!error) {
        if (const int code = detail::RenameOver(temporary, destination)) {
            error = SystemError(code, "Cannot replace", outName);
        }
    }
    if (error) detail::RemoveFile(temporary);
    return error;
}

}  // namespace

std::optional<Error> TransformFile(Coding coding, const Endpoint& source,
                                   const Endpoint& destination)
{
    detail::PrepareProcess();

    OsFile in;
    std::string inName = "standard input";
    if (source.standardStream) {
        in = OsFile::StandardInput();
    } else {
        inName = detail::DisplayName(source.path);
        if (auto error = OsFile::OpenSource(source.path, in)) return error;
    }

    if (destination.standardStream) {
        OsFile out = OsFile::StandardOutput();
        return Pump(coding, in, inName, out, "standard output");
    }
    return ReplaceDestination(coding, in, inName, destination.path);
}

std::optional<Error> EncodeFile(const std::filesystem::path& source,
                                const std::filesystem::path& destination)
{
    return TransformFile(Coding::Encode, Endpoint::File(source), Endpoint::File(destination));
}

std::optional<Error> DecodeFile(const std::filesystem::path& source,
                                const std::filesystem::path& destination)
{
    return TransformFile(Coding::Decode, Endpoint::File(source), Endpoint::File(destination));
}

}  // namespace corvane
