#include "FileTransform.h"

#include <array>
#include <cstdlib>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <set>
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

Error Cancelled(const OsFile& in) { return CancelledError(kErrorCancelled, "Coding", in.name()); }

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
        CORVANE_TRY_VALUE(got, in.ReadFull(buffer));
        const std::span<std::uint8_t> chunk = buffer.first(*got);
        running = coding == Coding::Encode ? EncodeBytes(chunk, running)
                                           : DecodeBytes(chunk, running);
        BeforeChunk(detail::Faults().beforeWrite, offset);
        CORVANE_TRY(out.WriteAll(chunk));
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
    return ProblemError(detail::kErrorBadChoice, "CORVANE_READ_AHEAD is", ShownText(value), "the choices are 'on' and 'off'");
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

// What every transform sets up first: over-size writes made errors, the clean-up signals held
// back on a thread that is not the handler's, and the read-ahead chosen from the environment.
class Prepared {
public:
    Prepared() : readAhead_((detail::PrepareProcess(), ReadAheadFromEnvironment()))
    {
        if (!detail::OnCleanupThread()) held_.emplace();
    }
    const ErrorOr<ReadAhead>& readAhead() const { return readAhead_; }

private:
    ErrorOr<ReadAhead> readAhead_;
    std::optional<CleanupSignalsHeld> held_;
};

// TransformFile without its guard against exceptions.
std::optional<Error> Transform(Coding coding, const Endpoint& source, const Endpoint& destination,
                               TransformControl* control)
{
    const Prepared prepared;
    CORVANE_TRY_VALUE(readAhead, prepared.readAhead());

    CORVANE_TRY_VALUE(in, source.standardStream ? ErrorOr<OsFile>(OsFile::StandardInput())
                                                : OsFile::OpenSource(source.path));
    if (control) control->total.store(in->openedSize(), std::memory_order_relaxed);

    if (destination.standardStream) {
        OsFile out = OsFile::StandardOutput();
        CORVANE_TRY(detail::RefuseSameFile(*in, out));
        return Pump(coding, *in, out, control, *readAhead);
    }
    CORVANE_TRY_VALUE(out, detail::Destination::Open(destination.path, *in, destination.links));
    if (control) out->file().HeedCancel(&control->cancel);
    CORVANE_TRY(Pump(coding, *in, out->file(), control, *readAhead));
    // The source is closed before the rename: on Windows an open file cannot be replaced. A
    // failure to close a file only read loses nothing.
    static_cast<void>(in->Close());
    if (IsCancelled(control)) return Cancelled(*in);
    // On slow media the flush takes seconds: a cancel during it still leaves the destination
    // as it was.
    CORVANE_TRY(out->Flush());
    if (IsCancelled(control)) return Cancelled(*in);
    CORVANE_TRY(out->Commit());
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
            return ProblemError(detail::kErrorInternal, "Cannot code", name, failure.what());
        } catch (const std::exception& failure) {
            return ProblemError(detail::kErrorInternal, "Cannot code", name, failure.what());
        } catch (...) {
            return ProblemError(detail::kErrorInternal, "Cannot code", name, "unexpected failure");
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

// Sources read and coded into temporary files, not yet flushed: a group ends at this many bytes.
constexpr std::uint64_t kGroupBytes = std::uint64_t{64} << 20;

Error Cancelled(const BatchFile& file)
{
    return CancelledError(kErrorCancelled, "Coding", DisplayName(file.source));
}

// A batch's run: its files coded into temporary files a group at a time, each group put in
// place with shared flushes. A group holds only files that coding one by one would leave
// unchanged for each other: a file whose source or destination is the file an earlier waiting
// file writes starts a new group, and so does a file that fails while others wait (a source
// that one of them is about to make, a disk that the files they replace would free), which is
// then tried once more.
class Batch {
public:
    using Landed = std::function<void(std::size_t, const BatchOutcome&)>;
    using Admit = std::function<std::optional<Error>(std::size_t)>;

    Batch(std::span<const BatchFile> files, TransformControl* control, const Landed& landed, AfterFailure afterFailure,
          const Admit& admit)
        : files_(files), control_(control), landed_(landed), admit_(admit), stopping_(afterFailure == AfterFailure::Stop),
          outcomes_(files.size()), end_(files.size())
    {
        const detail::InjectedFaults& forced = detail::Faults();
        mostFiles_ = forced.groupFiles ? forced.groupFiles.load() : detail::Destination::MostWaitingAtOnce();
        mostBytes_ = forced.groupBytes ? forced.groupBytes.load() : kGroupBytes;
    }

    std::vector<BatchOutcome> Run()
    {
        std::size_t next = 0;
        try {
            const Prepared prepared;
            if (!prepared.readAhead()) {
                for (BatchOutcome& outcome : outcomes_) outcome.error = prepared.readAhead().error();
                return Finish(files_.size());
            }
            MeasureSources();
            // One buffer serves every file; failing that, each file tries for its own.
            const ChunkBuffer buffer = NewChunkBuffer();
            for (; next < files_.size() && !IsCancelled(control_); ++next) {
                // A file that may take long (a large one, or one written into a FIFO or device
                // that waits on its reader) starts only once the files before it are in place.
                if (!group_.empty() && MayTakeLong(next) && !PutGroupInPlace(next)) break;
                if (Code(next, *prepared.readAhead(), buffer.get()) == Attempt::AfterGroup) {
                    if (!PutGroupInPlace(next)) break;
                    Code(next, *prepared.readAhead(), buffer.get());  // alone now: coded or failed
                }
                const bool full = group_.size() >= mostFiles_ || groupBytes_ >= mostBytes_;
                if ((full || (stopping_ && outcomes_[next].error)) && !PutGroupInPlace(next + 1)) {
                    ++next;
                    break;
                }
            }
            PutInPlace();
        } catch (...) {
            for (Waiting& w : group_) outcomes_[w.index].error = ThrownError(Endpoint::File(files_[w.index].source));
            group_.clear();
        }
        return Finish(next);
    }

private:
    struct Waiting {
        std::size_t index;
        detail::Destination destination;
    };
    enum class Attempt { Coded, Failed, AfterGroup };

    // The sources' sizes, looked up once: for the total a control follows, and for the files that
    // may take long.
    void MeasureSources()
    {
        sizes_.resize(files_.size());
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < files_.size(); ++i) {
            std::error_code unknown;
            const std::uintmax_t size = std::filesystem::file_size(files_[i].source, unknown);
            sizes_[i] = unknown ? 0 : size;
            total += sizes_[i];
        }
        if (control_) control_->total.store(total, std::memory_order_relaxed);
    }

    bool MayTakeLong(std::size_t i) const
    {
        std::error_code unknown;
        const std::filesystem::file_status destination = std::filesystem::status(files_[i].destination, unknown);
        return std::filesystem::is_fifo(destination) || std::filesystem::is_character_file(destination) ||
               std::filesystem::is_block_file(destination) || sizes_[i] >= mostBytes_;
    }

    // Codes file `i` into a temporary file and parks it in the group (see Destination::Park);
    // nothing is flushed or put in place yet. AfterGroup: the file must wait for the group to be
    // in place, and nothing of it was kept.
    Attempt Code(std::size_t i, ReadAhead readAhead, std::uint8_t* buffer)
    {
        const BatchFile& file = files_[i];
        const bool alone = group_.empty();
        const std::uint64_t doneBefore = control_ ? control_->done.load() : 0;
        const auto failed = [&](Error error) {
            if (!alone && error.number != kErrorCancelled) {
                if (control_) control_->done.store(doneBefore);
                return Attempt::AfterGroup;
            }
            outcomes_[i].error = std::move(error);
            return Attempt::Failed;
        };
        try {
            ErrorOr<OsFile> in = OsFile::OpenSource(file.source);
            if (!in) return failed(in.error());
            if (!alone && in->id() && targets_.count({*in->id(), {}})) return Attempt::AfterGroup;
            const detail::Destination* beside = alone ? nullptr : &group_.back().destination;
            ErrorOr<detail::Destination> out = detail::Destination::Open(file.destination, *in, file.links, beside);
            if (!out) return failed(out.error());
            if (!alone && (targets_.count(out->target()) || out->danglingLink())) return Attempt::AfterGroup;
            if (admit_) {
                if (auto refused = admit_(i)) {
                    outcomes_[i].error = std::move(refused);
                    return Attempt::Failed;
                }
            }
            if (control_) out->file().HeedCancel(&control_->cancel);
            if (auto error = Pump(file.coding, *in, out->file(), control_, readAhead, buffer)) return failed(*error);
            static_cast<void>(in->Close());
            if (auto error = out->Park()) return failed(*error);
            targets_.insert(out->target());
            groupBytes_ += in->openedSize();
            group_.push_back({i, std::move(*out)});
            return Attempt::Coded;
        } catch (...) {
            outcomes_[i].error = ThrownError(Endpoint::File(file.source));
            return Attempt::Failed;
        }
    }

    // Puts the group in place and tells of the files before `upTo`; false when the batch stops
    // at a failure among them.
    bool PutGroupInPlace(std::size_t upTo)
    {
        PutInPlace();
        if (EndsAtFailure(upTo)) return false;
        Report(upTo);
        return true;
    }

    // One flush for all the group's files, the renames, one flush of each folder; each file's
    // outcome filled in. A cancel drops the group. With AfterFailure::Stop, the files after the
    // first that fails are dropped instead of put in place.
    void PutInPlace()
    {
        const auto done = [this] {
            group_.clear();
            targets_.clear();
            groupBytes_ = 0;
        };
        if (group_.empty()) return done();
        const auto cancelAll = [&] {
            for (const Waiting& w : group_) outcomes_[w.index].error = Cancelled(files_[w.index]);
            done();
        };
        if (IsCancelled(control_)) return cancelAll();
        std::vector<detail::Destination*> destinations;
        for (Waiting& w : group_) destinations.push_back(&w.destination);
        const std::vector<std::optional<Error>> flushErrors = detail::Destination::FlushAll(destinations);
        if (IsCancelled(control_)) return cancelAll();
        std::vector<detail::Destination*> committed;
        {
            // The renames are quick: a clean-up signal, on whatever thread it is taken, waits
            // for all of them, so that a group is put in place whole or not at all.
            const detail::NamesChanging renaming;
            for (std::size_t i = 0; i < group_.size(); ++i) {
                if (stopping_ && committed.size() < i) break;  // dropped with the group
                if (void (*hook)(std::size_t) = detail::Faults().beforeRename.load()) hook(group_[i].index);
                std::optional<Error>& error = outcomes_[group_[i].index].error;
                error = flushErrors[i];
                if (!error) error = group_[i].destination.Commit();
                if (!error) committed.push_back(destinations[i]);
            }
        }
        const std::vector<std::optional<Error>> warnings = detail::Destination::FlushFolders(committed);
        for (std::size_t i = 0, c = 0; i < group_.size() && c < committed.size(); ++i) {
            if (destinations[i] == committed[c]) outcomes_[group_[i].index].warning = warnings[c++];
        }
        done();
    }

    // With AfterFailure::Stop, whether a failure ends the batch among the outcomes not yet told,
    // before `upTo`; the batch then ends just after it.
    bool EndsAtFailure(std::size_t upTo)
    {
        if (!stopping_) return false;
        for (std::size_t i = reported_; i < upTo; ++i) {
            if (outcomes_[i].error) {
                end_ = i + 1;
                return true;
            }
        }
        return false;
    }

    void Report(std::size_t upTo)
    {
        for (; reported_ < upTo; ++reported_) {
            if (landed_) landed_(reported_, outcomes_[reported_]);
        }
    }

    // The outcomes once the batch ends at `next`: every file from there on cancelled, up to the
    // end a failure set.
    std::vector<BatchOutcome> Finish(std::size_t next)
    {
        for (std::size_t i = next; i < end_; ++i) {
            if (!outcomes_[i].error) outcomes_[i].error = Cancelled(files_[i]);
        }
        EndsAtFailure(end_);
        Report(end_);
        outcomes_.resize(end_);
        return std::move(outcomes_);
    }

    std::span<const BatchFile> files_;
    TransformControl* control_;
    const Landed& landed_;
    const Admit& admit_;
    const bool stopping_;
    std::size_t mostFiles_ = 0;
    std::uint64_t mostBytes_ = 0;
    std::vector<BatchOutcome> outcomes_;
    std::vector<std::uint64_t> sizes_;
    std::size_t reported_ = 0;  // outcomes told to landed_
    std::size_t end_;           // one past the last outcome there is
    std::vector<Waiting> group_;
    std::set<detail::NameTarget> targets_;  // what the group's files write
    std::uint64_t groupBytes_ = 0;
};

}  // namespace

std::vector<BatchOutcome> TransformFiles(std::span<const BatchFile> files, TransformControl* control,
                                         const std::function<void(std::size_t, const BatchOutcome&)>& landed,
                                         AfterFailure afterFailure,
                                         const std::function<std::optional<Error>(std::size_t)>& admit)
{
    return Batch(files, control, landed, afterFailure, admit).Run();
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
