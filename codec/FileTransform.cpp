#include "FileTransform.h"

#include <array>
#include <cstdlib>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "ByteCodec.h"
#include "Describe.h"
#include "OsFile.h"

namespace corvane {

namespace {

using detail::OsFile;

// One buffer this size serves the whole file: large enough that system calls cost nothing
// next to the copy, small enough to stay in the cache. 256 KiB and 4 MiB measured no better
// (bench/FileBench.cpp). Read ahead on a second thread, it is used in quarters.
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

// A test's injected fault, if any, before the chunk at `offset` is read or written.
void BeforeChunk(const std::atomic<void (*)(std::uint64_t)>& hook, std::uint64_t offset)
{
    if (void (*inject)(std::uint64_t) = hook.load(std::memory_order_relaxed)) inject(offset);
}

// Reads `in` to its end, coding it through `buffer` into `out`, and checks that `in` did not
// change meanwhile. One thread does it all.
std::optional<Error> PumpAlone(Coding coding, OsFile& in, OsFile& out, TransformControl* control,
                               std::span<std::uint8_t> buffer)
{
    std::uint8_t running = 0;
    for (std::uint64_t offset = 0;; offset += buffer.size()) {
        if (IsCancelled(control)) return Cancelled(in);
        BeforeChunk(detail::Faults().beforeRead, offset);
        const ErrorOr<std::size_t> got = in.ReadFull(buffer);
        if (!got) return got.error();
        const std::span<std::uint8_t> chunk = buffer.first(*got);
        running = coding == Coding::Encode ? EncodeBytes(chunk, running)
                                           : DecodeBytes(chunk, running);
        BeforeChunk(detail::Faults().beforeWrite, offset);
        if (auto error = out.WriteAll(chunk)) return error;
        if (control) control->done.fetch_add(*got, std::memory_order_relaxed);
        if (*got < buffer.size()) return in.CheckUnchanged();
    }
}

// The same with the reading and coding on a second thread, which fills the buffer's quarters a
// few ahead of the writes. Every failure and the end come to the writing thread through the
// quarter they stopped at; a failed write or a cancel stops the reader at its next quarter.
std::optional<Error> PumpAhead(Coding coding, OsFile& in, OsFile& out, TransformControl* control,
                               std::span<std::uint8_t> buffer)
{
    constexpr std::size_t kSlots = 4;
    const std::size_t slotSize = buffer.size() / kSlots;

    struct Slot {
        std::span<std::uint8_t> bytes;  // the quarter of the buffer
        std::size_t size = 0;           // of it filled with coded bytes
        bool last = false;              // the reader stopped here
        std::optional<Error> error;     // why it stopped, if not at a checked end
        std::exception_ptr thrown;      // or what it threw
    };
    std::array<Slot, kSlots> slots;
    for (std::size_t i = 0; i < kSlots; ++i) slots[i].bytes = buffer.subspan(i * slotSize, slotSize);
    // Quarters filled by the reader and given back by the writer, counted from the start. Each
    // side looks at the other's count for a moment before it sleeps: a quarter takes a fraction
    // of a millisecond, and a sleep and a wake-up for every one cost a tenth of the time in
    // /dev/shm. A mutex and a condition rather than semaphores: the standard library's
    // semaphores can miss a wake-up where they have no futex to wait on (they hung the Windows
    // build).
    std::mutex handover;
    std::condition_variable changed;
    std::atomic<std::size_t> filled{0};
    std::atomic<std::size_t> returned{0};
    std::atomic<bool> stop{false};
    const auto waitUntil = [&](const auto& ready) {
        for (int look = 0; look < 200; ++look) {
            if (ready()) return;
            std::this_thread::yield();
        }
        std::unique_lock lock(handover);
        changed.wait(lock, ready);
    };
    const auto publish = [&](std::atomic<std::size_t>& count, std::size_t value) {
        {
            const std::lock_guard lock(handover);
            count.store(value);
        }
        changed.notify_all();
    };

    const auto readAhead = [&] {
        std::uint8_t running = 0;
        for (std::size_t i = 0;; ++i) {
            waitUntil([&] { return i - returned.load() < kSlots; });
            Slot& slot = slots[i % kSlots];
            slot.size = 0;
            slot.last = true;
            slot.error.reset();
            try {
                if (!stop.load(std::memory_order_relaxed)) {  // else the writer has its answer
                    BeforeChunk(detail::Faults().beforeRead, i * slotSize);
                    const ErrorOr<std::size_t> got = in.ReadFull(slot.bytes);
                    if (!got) {
                        slot.error = got.error();
                    } else {
                        slot.size = *got;
                        const std::span<std::uint8_t> chunk = slot.bytes.first(*got);
                        running = coding == Coding::Encode ? EncodeBytes(chunk, running) : DecodeBytes(chunk, running);
                        if (*got < slotSize)
                            slot.error = in.CheckUnchanged();
                        else
                            slot.last = false;
                    }
                }
            } catch (...) {  // out of memory for a message: the writer throws it on, after the join
                slot.size = 0;
                slot.last = true;
                slot.thrown = std::current_exception();
            }
            const bool last = slot.last;
            publish(filled, i + 1);
            if (last) return;
        }
    };
    std::thread reader;
    try {
        // The reader never takes a clean-up signal: the handler's thread is the program's.
        const CleanupSignalsHeld held;
        reader = std::thread(readAhead);
    } catch (...) {  // no thread to be had: code the file on this one
        return PumpAlone(coding, in, out, control, buffer);
    }

    std::optional<Error> result;
    std::exception_ptr thrown;
    try {
        for (std::size_t i = 0;; ++i) {
            waitUntil([&] { return filled.load() > i; });
            Slot& slot = slots[i % kSlots];
            if (!result && !thrown) {
                if (slot.thrown) {
                    thrown = slot.thrown;
                } else if (IsCancelled(control)) {
                    result = Cancelled(in);
                } else {
                    BeforeChunk(detail::Faults().beforeWrite, i * slotSize);
                    if (auto error = out.WriteAll(slot.bytes.first(slot.size))) {
                        result = std::move(error);
                    } else {
                        if (control) control->done.fetch_add(slot.size, std::memory_order_relaxed);
                        if (slot.last) result = std::move(slot.error);
                    }
                }
                if (result || thrown) stop.store(true, std::memory_order_relaxed);
            }
            const bool last = slot.last;
            publish(returned, i + 1);
            if (last) break;
        }
    } catch (...) {
        // Let the reader stop at its next quarter, with every quarter given back, before the
        // buffer and the files it uses go. A quarter's `last` is read before the quarter is
        // given back: the reader may fill it again at once.
        thrown = std::current_exception();
        stop.store(true);
        while (true) {
            const std::size_t done = filled.load();
            const bool readerStopped = done > 0 && slots[(done - 1) % kSlots].last;
            publish(returned, done);
            if (readerStopped) break;
            waitUntil([&] { return filled.load() > done; });
        }
    }
    reader.join();
    if (thrown) std::rethrow_exception(thrown);
    return result;
}

// A file of more than one buffer is read and coded on a second thread while the first writes:
// the system's copy out of the buffer then overlaps its copy into the next one, which brings a
// coded copy between files in memory from about 1.2 times the time of `cp` to below it. A
// smaller file, or a single processor, has nothing to overlap. A pipe or a device, whose reads
// may wait on another program, keeps to one thread, so that nothing is read after a write fails.
// CORVANE_READ_AHEAD=on|off forces the read-ahead, for every source, or keeps it off, so that
// tests reach both ways with any file; unset, the source's size and the processors choose.
enum class ReadAhead { Chosen, On, Off };

ErrorOr<ReadAhead> ReadAheadFromEnvironment()
{
    const char* choice = std::getenv("CORVANE_READ_AHEAD");
    if (choice == nullptr) return ReadAhead::Chosen;
    const std::string_view value = choice;
    if (value == "on") return ReadAhead::On;
    if (value == "off") return ReadAhead::Off;
    return Error{detail::kErrorBadChoice,
                 "CORVANE_READ_AHEAD is '" + ShownText(value) + "': the choices are 'on' and 'off'"};
}

ChunkBuffer NewChunkBuffer() { return ChunkBuffer(new (kChunkAlignment, std::nothrow) std::uint8_t[kChunkSize]); }

// `buffer`: one from NewChunkBuffer, or none to have one made for this file.
std::optional<Error> Pump(Coding coding, OsFile& in, OsFile& out, TransformControl* control, ReadAhead readAhead,
                          std::uint8_t* buffer = nullptr)
{
    ChunkBuffer own;
    if (!buffer) {
        own = NewChunkBuffer();
        buffer = own.get();
    }
    if (!buffer) return SystemError(detail::kErrorOutOfMemory, "Cannot read", in.name());
    const std::span<std::uint8_t> bytes(buffer, kChunkSize);
    const bool ahead = readAhead == ReadAhead::Chosen
                           ? in.openedSize() > kChunkSize && std::thread::hardware_concurrency() >= 2
                           : readAhead == ReadAhead::On;
    if (!ahead) return PumpAlone(coding, in, out, control, bytes);
    return PumpAhead(coding, in, out, control, bytes);
}

// TransformFile without its guard against exceptions.
std::optional<Error> Transform(Coding coding, const Endpoint& source, const Endpoint& destination,
                               TransformControl* control)
{
    detail::PrepareProcess();
    std::optional<CleanupSignalsHeld> held;
    if (!detail::OnCleanupThread()) held.emplace();
    const ErrorOr<ReadAhead> readAhead = ReadAheadFromEnvironment();
    if (!readAhead) return readAhead.error();

    ErrorOr<OsFile> in =
        source.standardStream ? ErrorOr<OsFile>(OsFile::StandardInput()) : OsFile::OpenSource(source.path);
    if (!in) return in.error();
    if (control) control->total.store(in->openedSize(), std::memory_order_relaxed);

    if (destination.standardStream) {
        OsFile out = OsFile::StandardOutput();
        if (auto error = detail::RefuseSameFile(*in, out)) return error;
        return Pump(coding, *in, out, control, *readAhead);
    }
    ErrorOr<detail::Destination> out = detail::Destination::Open(destination.path, *in, destination.links);
    if (!out) return out.error();
    if (control) out->file().HeedCancel(&control->cancel);
    if (auto error = Pump(coding, *in, out->file(), control, *readAhead)) return error;
    // The source is closed before the rename: on Windows an open file cannot be replaced. A
    // failure to close a file only read loses nothing.
    static_cast<void>(in->Close());
    if (IsCancelled(control)) return Cancelled(*in);
    // On slow media the flush takes seconds: a cancel during it still leaves the destination
    // as it was.
    if (auto error = out->Flush()) return error;
    if (IsCancelled(control)) return Cancelled(*in);
    if (auto error = out->Commit()) return error;
    // The destination holds its new content: whatever fails now, the coding is done.
    if (auto warning = out->FlushFolder(); warning && control) control->warning = std::move(warning);
    return std::nullopt;
}

// What an exception that reached TransformFile is reported as. Memory may have run out, so a
// message that cannot be made falls back to one short enough to need no memory of its own.
Error ThrownError(const Endpoint& source) noexcept
{
    try {
        const std::string name = source.standardStream ? "standard input" : DisplayName(source.path);
        try {
            throw;
        } catch (const std::bad_alloc&) {
            return SystemError(detail::kErrorOutOfMemory, "Cannot code", name);
        } catch (const std::length_error&) {
            return SystemError(detail::kErrorOutOfMemory, "Cannot code", name);
        } catch (const std::system_error& failure) {
            // A thread or a lock the system refused carries the system's own number.
            const std::error_category& category = failure.code().category();
            if (category == std::system_category() || category == std::generic_category())
                return SystemError(failure.code().value(), "Cannot code", name);
            return Error{detail::kErrorInternal, "Cannot code '" + name + "': " + ShownText(failure.what())};
        } catch (const std::exception& failure) {
            return Error{detail::kErrorInternal, "Cannot code '" + name + "': " + ShownText(failure.what())};
        } catch (...) {
            return Error{detail::kErrorInternal, "Cannot code '" + name + "': unexpected failure"};
        }
    } catch (...) {
    }
    return Error{detail::kErrorOutOfMemory, "Out of memory"};
}

}  // namespace

std::optional<Error> TransformFile(Coding coding, const Endpoint& source,
                                   const Endpoint& destination, TransformControl* control) noexcept
{
    try {
        return Transform(coding, source, destination, control);
    } catch (...) {
        // Unwinding has removed the temporary file and joined the reader: the destination is as
        // it was.
        return ThrownError(source);
    }
}

namespace {

// The files of a batch coded so far and waiting for the group's shared flush.
struct Waiting {
    std::size_t index;
    detail::Destination destination;
};

// Sources read and coded into temporary files, not yet flushed: the group ends here.
constexpr std::uint64_t kGroupBytes = std::uint64_t{64} << 20;

// `size`: the source's size, 0 when unknown.
bool MayTakeLong(const BatchFile& file, std::uint64_t size)
{
    std::error_code unknown;
    const std::filesystem::file_status destination = std::filesystem::status(file.destination, unknown);
    if (std::filesystem::is_fifo(destination) || std::filesystem::is_character_file(destination) ||
        std::filesystem::is_block_file(destination))
        return true;
    return size >= kGroupBytes;
}

// Codes one file of a batch into its temporary file and parks it (see Destination::Park);
// nothing is flushed or put in place yet. `beside`: a waiting file whose folder it may share.
ErrorOr<detail::Destination> CodeIntoTemporary(const BatchFile& file, TransformControl* control, ReadAhead readAhead,
                                               std::uint8_t* buffer, const detail::Destination* beside,
                                               std::uint64_t& size)
{
    ErrorOr<OsFile> in = OsFile::OpenSource(file.source);
    if (!in) return in.error();
    size = in->openedSize();
    ErrorOr<detail::Destination> out = detail::Destination::Open(file.destination, *in, file.links, beside);
    if (!out) return out.error();
    if (control) out->file().HeedCancel(&control->cancel);
    if (auto error = Pump(file.coding, *in, out->file(), control, readAhead, buffer)) return *error;
    static_cast<void>(in->Close());
    if (auto error = out->Park()) return *error;
    return out;
}

// Puts a group's files in place: one flush for all, the renames, one flush of each folder. Fills
// in each file's outcome; a cancel drops the group. With AfterFailure::Stop, the files after the
// first that fails are dropped instead of put in place.
void PutInPlace(std::vector<Waiting>& group, std::vector<BatchOutcome>& outcomes, std::span<const BatchFile> files,
                TransformControl* control, AfterFailure afterFailure)
{
    const auto cancelAll = [&] {
        for (const Waiting& w : group)
            outcomes[w.index].error = Error{kErrorCancelled, "Coding '" + DisplayName(files[w.index].source) + "' was cancelled"};
        group.clear();
    };
    if (IsCancelled(control)) return cancelAll();
    std::vector<detail::Destination*> destinations;
    for (Waiting& w : group) destinations.push_back(&w.destination);
    const std::vector<std::optional<Error>> flushErrors = detail::Destination::FlushAll(destinations);
    if (IsCancelled(control)) return cancelAll();
    std::vector<detail::Destination*> committed;
    {
        // The renames are quick: the signals wait for all of them, rather than being held back
        // and let through again for each.
        const CleanupSignalsHeld held;
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (afterFailure == AfterFailure::Stop && committed.size() < i) break;  // dropped with the group
            std::optional<Error>& error = outcomes[group[i].index].error;
            error = flushErrors[i];
            if (!error) error = group[i].destination.Commit();
            if (!error) committed.push_back(destinations[i]);
        }
    }
    const std::vector<std::optional<Error>> warnings = detail::Destination::FlushFolders(committed);
    for (std::size_t i = 0, c = 0; i < group.size() && c < committed.size(); ++i) {
        if (destinations[i] == committed[c]) outcomes[group[i].index].warning = warnings[c++];
    }
    group.clear();
}

}  // namespace

std::vector<BatchOutcome> TransformFiles(std::span<const BatchFile> files, TransformControl* control,
                                         const std::function<void(std::size_t, const BatchOutcome&)>& landed,
                                         AfterFailure afterFailure)
{
    std::vector<BatchOutcome> outcomes(files.size());
    std::size_t reported = 0;
    const auto report = [&](std::size_t upTo) {
        for (; reported < upTo; ++reported) {
            if (landed) landed(reported, outcomes[reported]);
        }
    };
    const bool stopping = afterFailure == AfterFailure::Stop;
    // One past the last outcome there is: with AfterFailure::Stop, the first file that failed.
    std::size_t end = files.size();
    // Whether the batch ends at a failure among the outcomes not yet reported, up to `upTo`.
    const auto endsAtFailure = [&](std::size_t upTo) {
        if (!stopping) return false;
        for (std::size_t i = reported; i < upTo; ++i) {
            if (outcomes[i].error) {
                end = i + 1;
                return true;
            }
        }
        return false;
    };
    std::vector<Waiting> group;
    std::size_t next = 0;
    try {
        detail::PrepareProcess();
        std::optional<CleanupSignalsHeld> held;
        if (!detail::OnCleanupThread()) held.emplace();
        const ErrorOr<ReadAhead> readAhead = ReadAheadFromEnvironment();
        if (!readAhead) {
            for (BatchOutcome& outcome : outcomes) outcome.error = readAhead.error();
            endsAtFailure(files.size());
            report(end);
            outcomes.resize(end);
            return outcomes;
        }
        // The sources' sizes, looked up once: for the total a control follows, and for the
        // files that may take long.
        std::vector<std::uint64_t> sizes(files.size());
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            std::error_code unknown;
            const std::uintmax_t size = std::filesystem::file_size(files[i].source, unknown);
            sizes[i] = unknown ? 0 : size;
            total += sizes[i];
        }
        if (control) control->total.store(total, std::memory_order_relaxed);
        const std::size_t mostWaiting = detail::Destination::MostWaitingAtOnce();
        // One buffer serves every file; failing that, each file tries for its own.
        const ChunkBuffer buffer = NewChunkBuffer();
        std::uint64_t groupBytes = 0;
        for (; next < files.size(); ++next) {
            if (IsCancelled(control)) break;
            // A file that may take long (a large one, or one written into a FIFO or device that
            // waits on its reader) starts only once the files before it are in place.
            if (!group.empty() && MayTakeLong(files[next], sizes[next])) {
                PutInPlace(group, outcomes, files, control, afterFailure);
                groupBytes = 0;
                if (endsAtFailure(next)) break;
                report(next);
            }
            try {
                std::uint64_t size = 0;
                const detail::Destination* beside = group.empty() ? nullptr : &group.back().destination;
                ErrorOr<detail::Destination> coded = CodeIntoTemporary(files[next], control, *readAhead, buffer.get(), beside, size);
                if (!coded) {
                    outcomes[next].error = coded.error();
                } else {
                    groupBytes += size;
                    group.push_back({next, std::move(*coded)});
                }
            } catch (...) {
                outcomes[next].error = ThrownError(Endpoint::File(files[next].source));
            }
            if (group.size() >= mostWaiting || groupBytes >= kGroupBytes || (stopping && outcomes[next].error)) {
                PutInPlace(group, outcomes, files, control, afterFailure);
                groupBytes = 0;
                if (endsAtFailure(next + 1)) break;
                report(next + 1);
            }
        }
        PutInPlace(group, outcomes, files, control, afterFailure);
    } catch (...) {
        for (Waiting& w : group) outcomes[w.index].error = ThrownError(Endpoint::File(files[w.index].source));
        group.clear();
    }
    for (std::size_t i = next; i < end; ++i) {
        if (!outcomes[i].error) outcomes[i].error = Error{kErrorCancelled, "Coding '" + DisplayName(files[i].source) + "' was cancelled"};
    }
    endsAtFailure(end);
    report(end);
    outcomes.resize(end);
    return outcomes;
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
