#include "FileTransform.h"

#include <memory>
#include <new>

#include "ByteCodec.h"
#include "OsFile.h"

namespace corvane {

namespace {

using detail::OsFile;

// One buffer this size serves the whole file: large enough that system calls cost nothing
// next to the copy, small enough to stay in the cache. 256 KiB and 4 MiB measured no better
// (bench/FileBench.cpp).
constexpr std::size_t kChunkSize = std::size_t{1} << 20;

// The buffer starts on a page boundary. The system's copies into and out of it then run at full
// speed: a buffer a few bytes past a boundary, as `new` gives one this large, made those copies
// up to twice as slow on the processors measured (bench/FileBench.cpp).
constexpr std::align_val_t kChunkAlignment{4096};

struct AlignedDelete {
    void operator()(std::uint8_t* bytes) const { ::operator delete[](bytes, kChunkAlignment); }
};
using ChunkBuffer = std::unique_ptr<std::uint8_t[], AlignedDelete>;

Error Cancelled(const OsFile& in) { return Error{kErrorCancelled, "Coding '" + in.name() + "' was cancelled"}; }

bool IsCancelled(const TransformControl* control)
{
    return control && control->cancel.load(std::memory_order_relaxed);
}

// Reads `in` to its end, coding chunk by chunk into `out`, and checks that `in` did not change
// meanwhile.
std::optional<Error> Pump(Coding coding, OsFile& in, OsFile& out, TransformControl* control)
{
    const ChunkBuffer buffer(new (kChunkAlignment, std::nothrow) std::uint8_t[kChunkSize]);
    if (!buffer) return SystemError(detail::kErrorOutOfMemory, "Cannot read", in.name());

    std::uint8_t running = 0;
    for (;;) {
        if (IsCancelled(control)) return Cancelled(in);
        const ErrorOr<std::size_t> got = in.ReadFull({buffer.get(), kChunkSize});
        if (!got) return got.error();
        const std::span<std::uint8_t> chunk(buffer.get(), *got);
        running = coding == Coding::Encode ? EncodeBytes(chunk, running)
                                           : DecodeBytes(chunk, running);
        if (auto error = out.WriteAll(chunk)) return error;
        if (control) control->done.fetch_add(*got, std::memory_order_relaxed);
        if (*got < kChunkSize) return in.CheckUnchanged();
    }
}

}  // namespace

std::optional<Error> TransformFile(Coding coding, const Endpoint& source,
                                   const Endpoint& destination, TransformControl* control)
{
    detail::PrepareProcess();

    ErrorOr<OsFile> in =
        source.standardStream ? ErrorOr<OsFile>(OsFile::StandardInput()) : OsFile::OpenSource(source.path);
    if (!in) return in.error();
    if (control) control->total.store(in->openedSize(), std::memory_order_relaxed);

    if (destination.standardStream) {
        OsFile out = OsFile::StandardOutput();
        if (auto error = detail::RefuseSameFile(*in, out)) return error;
        return Pump(coding, *in, out, control);
    }
    ErrorOr<detail::Destination> out = detail::Destination::Open(destination.path, *in);
    if (!out) return out.error();
    if (auto error = Pump(coding, *in, out->file(), control)) return error;
    // The source is closed before the rename: on Windows an open file cannot be replaced. A
    // failure to close a file only read loses nothing.
    static_cast<void>(in->Close());
    if (IsCancelled(control)) return Cancelled(*in);
    // On slow media the flush takes seconds: a cancel during it still leaves the destination
    // as it was.
    if (auto error = out->Flush()) return error;
    if (IsCancelled(control)) return Cancelled(*in);
    return out->Commit();
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
