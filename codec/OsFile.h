// The few file operations the transform needs, over the operating system's own calls
// (POSIX in posix/, one file for each concern; Win32 in win/). Internal to the codec library.
//
// Every failure comes back as an Error whose description names the file: queries return
// ErrorOr<T>, commands return std::optional<Error>.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Describe.h"
#include "Error.h"
#include "FileTransform.h"
#ifdef _WIN32
#include "win/Native.h"
#else
#include "posix/Native.h"
#endif

namespace corvane::detail {


// System error codes that the transform raises itself, in the system's own numbering.
extern const int kErrorIsFolder;     // EISDIR; ERROR_ACCESS_DENIED on Windows
extern const int kErrorOutOfMemory;  // ENOMEM; ERROR_NOT_ENOUGH_MEMORY on Windows
extern const int kErrorChanged;      // EAGAIN; ERROR_RETRY on Windows
extern const int kErrorSameFile;     // EINVAL; ERROR_INVALID_PARAMETER on Windows
extern const int kErrorInternal;     // ENOTRECOVERABLE; ERROR_INTERNAL_ERROR on Windows
extern const int kErrorBadChoice;    // EINVAL; ERROR_INVALID_PARAMETER on Windows

// Faults a test injects into the transform, process-wide; all empty in a program. A hook may
// throw, as an allocation that fails would.
struct InjectedFaults {
    // Called with the chunk's offset in the file before it is read (on the reading thread) and
    // before it is written (on the writing thread).
    std::atomic<void (*)(std::uint64_t offset)> beforeRead{nullptr};
    std::atomic<void (*)(std::uint64_t offset)> beforeWrite{nullptr};
    // When not 0, the flush of the destination's folder after the rename fails with this error.
    std::atomic<int> folderFlushError{0};
    // Called with the file's index in its batch before a waiting file takes its destination's
    // place.
    std::atomic<void (*)(std::size_t index)> beforeRename{nullptr};
    // When not 0, a batch's groups end at this many files or bytes instead of the usual limits,
    // so that a small batch crosses group boundaries.
    std::atomic<std::size_t> groupFiles{0};
    std::atomic<std::uint64_t> groupBytes{0};
};
InjectedFaults& Faults();

// True once the clean-up handler has begun to end the process (false on Windows).
bool CleanupStarted();

// While one lives, on any thread, the clean-up handler waits before it removes names: every
// temporary name made, removed or put in a destination's place within it is seen by the handler
// all done. Nests; the signals are held back on this thread meanwhile. Nothing on Windows.
class NamesChanging {
public:
    NamesChanging();
    ~NamesChanging();
    NamesChanging(const NamesChanging&) = delete;
    NamesChanging& operator=(const NamesChanging&) = delete;

private:
    CleanupSignalsHeld held_;  // first: the handler never runs on this thread meanwhile
};

// What tells one file from another.
using FileId = FileIdentity;

// The file a destination's name stands for: the file there now (`leaf` empty), or, for a name
// not yet taken, its folder and the name as the folder tells names apart (case folded on
// Windows). Two destinations with the same target write the same file.
struct NameTarget {
    FileId file;
    std::filesystem::path::string_type leaf;
    friend bool operator==(const NameTarget&, const NameTarget&) = default;
    friend bool operator<(const NameTarget& a, const NameTarget& b)
    {
        return a.file == b.file ? a.leaf < b.leaf : a.file < b.file;
    }
};

// False on a thread other than the one that installed InstallTemporaryFileCleanup.
bool OnCleanupThread();

// The system error code of the last failed call (errno, or GetLastError() on Windows).
int LastErrorCode();

// What says whether a file changed: its length and the time of its last change.
struct FileState {
    std::uint64_t size = 0;
    std::int64_t changeSeconds = 0;
    std::int64_t changeNanoseconds = 0;

    friend bool operator==(const FileState&, const FileState&) = default;
};

// An open file, with the name its errors are reported under.
class OsFile {
public:
    OsFile() = default;
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;
    OsFile(OsFile&& other) noexcept;
    OsFile& operator=(OsFile&& other) noexcept;
    ~OsFile();

    // Opens a regular file for reading and notes its state; a folder, FIFO or device is
    // refused without waiting.
    static ErrorOr<OsFile> OpenSource(const std::filesystem::path& path);
    static OsFile StandardInput();
    static OsFile StandardOutput();

    const std::string& name() const { return name_; }
    NativeHandle handle() const { return handle_; }
    // The permission bits a new copy of this file gets before the umask (0666 for a stream).
    unsigned permissions() const { return permissions_; }
    // The length noted when a file from OpenSource was opened; 0 for a stream.
    std::uint64_t openedSize() const { return opened_ ? opened_->size : 0; }
    // Which file a file from OpenSource is; nothing for a stream.
    const std::optional<FileId>& id() const { return id_; }

    // Reads until `buffer` is full or the file ends; a short count means the end.
    ErrorOr<std::size_t> ReadFull(std::span<std::uint8_t> buffer);
    // Writes all of `bytes`. A file opened without blocking (a FIFO or device destination) is
    // waited on for room, and a wait ends with a cancelled error once `cancel` (see
    // HeedCancel) is set.
    [[nodiscard]] std::optional<Error> WriteAll(std::span<const std::uint8_t> bytes);
    void HeedCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    [[nodiscard]] std::optional<Error> FlushToDisk();
    [[nodiscard]] std::optional<Error> Close();
    // For a file from OpenSource, once it has been read to its end: an error when its length or
    // change time differ from when it was opened, or when the bytes read differ from its length
    // (except for a pseudo file, under /proc or /sys, whose reported size is not its length).
    [[nodiscard]] std::optional<Error> CheckUnchanged() const;

private:
    friend class Destination;
    OsFile(NativeHandle handle, bool owned, std::string name)
        : handle_(handle), owned_(owned), name_(std::move(name))
    {
    }
    ErrorOr<FileState> State() const;

    NativeHandle handle_ = kNoHandle;
    bool owned_ = false;
    std::string name_;
    unsigned permissions_ = 0666;
    std::optional<FileState> opened_;  // set for a file from OpenSource
    bool sizeIsLength_ = true;         // false for a pseudo file (/proc, sysfs): read to its end
    std::optional<FileId> id_;         // set for a file from OpenSource
    std::uint64_t bytesRead_ = 0;
    const std::atomic<bool>* cancel_ = nullptr;
};

// An error when `output` is the very regular file `source` reads from (`encode f - >> f`
// would read its own output until the disk is full).
[[nodiscard]] std::optional<Error> RefuseSameFile(const OsFile& source, const OsFile& output);

// Where the coded bytes go when the destination is a path. An existing FIFO or device is
// written into directly. Otherwise the bytes go to a private temporary file in the destination's
// folder (unnamed where the system allows it) that Commit puts in the destination's place; until
// then the destination is untouched, and a Destination dropped without Commit leaves no file.
class Destination {
public:
    // Checks the destination (a folder, a link to one, a socket or a file the caller may not
    // write is refused; with Links::Refuse also a link and anything but a regular file) and
    // opens what the bytes go to. `source` gives a new file its mode. `beside`, when given, in
    // the same folder and opened with the same `links`, shares its open folder (a batch's files).
    static ErrorOr<Destination> Open(const std::filesystem::path& path, const OsFile& source,
                                     Links links = Links::Follow, const Destination* beside = nullptr);

    Destination(Destination&& other) noexcept;
    Destination& operator=(Destination&&) = delete;
    ~Destination();

    OsFile& file() { return file_; }
    // The file its name stands for as it was opened; a batch codes a later file whose source or
    // destination is that file only once this one is in place.
    const NameTarget& target() const { return target_; }
    // A symbolic link at the name whose target does not exist yet (which an earlier file of a
    // batch may be about to make).
    bool danglingLink() const { return danglingLink_; }
    // Flushes the bytes to disk, once: on slow media the long part of the work, after which the
    // caller may still drop the result.
    [[nodiscard]] std::optional<Error> Flush();
    // Flushes (unless Flush has), gives the file its final mode, owner and group and puts it
    // in the destination's place. A stream is closed.
    [[nodiscard]] std::optional<Error> Commit();
    // For a batch, once the bytes are written: gives the file its final mode, owner and group.
    // A file that is to replace another then gets a hidden name and is closed, so that it holds
    // no descriptor while it waits; a new result stays open and without a name until Commit
    // names it, so that a kill meanwhile leaves nothing of it. FlushAll must flush it before
    // Commit. Nothing for a stream, or on Windows.
    [[nodiscard]] std::optional<Error> Park();
    // After Commit put the file in place: flushes the folder, so that the new name survives a
    // power loss. A failure here comes after the destination took its new content.
    [[nodiscard]] std::optional<Error> FlushFolder();

    // For a batch: Flush for many destinations at once, with one flush of each file system
    // they are on (syncfs) where the system has one; an error for each destination not flushed.
    static std::vector<std::optional<Error>> FlushAll(std::span<Destination* const> destinations);
    // FlushFolder for many committed destinations, each folder flushed once; a warning for each
    // destination whose folder could not be flushed.
    static std::vector<std::optional<Error>> FlushFolders(std::span<Destination* const> destinations);
    // How many parked destinations a batch may hold at once: bounded by the names the clean-up
    // handler can hold, and by the open-files limit, since a waiting new result keeps its
    // descriptor.
    static std::size_t MostWaitingAtOnce();

private:
    enum class Kind { Stream, Unnamed, Named, Done };
    Destination() = default;
    Error Fail(int code, std::string_view what = "Cannot write") const;
    // Gives a replacing file the destination's owner, group, mode, ACL and user extended
    // attributes; lets a new file's owner read and write it.
    [[nodiscard]] std::optional<Error> GivePermissions();
    // POSIX: links the unnamed file at `name`; names it hidden for a rename (see Commit).
    int LinkUnnamed(const char* name) const;
    [[nodiscard]] std::optional<Error> NameHidden();
    // The temporary file's mode: private while it is to replace a file, else the new file's,
    // under the umask or the folder's default ACL.
    unsigned CreationMode() const { return existed_ ? 0600 : mode_; }

    Kind kind_ = Kind::Done;
    OsFile file_;
    std::string name_;                  // the destination as shown in messages
    std::filesystem::path path_;        // the destination as given
    std::filesystem::path leaf_;        // its last part, relative to the folder
    std::filesystem::path temporary_;   // a temporary name of ours now in the folder, or empty
    NativeDestination native_;          // what only one system's code holds
    NameTarget target_;
    bool danglingLink_ = false;
    bool parked_ = false;
    bool existed_ = false;
    bool flushed_ = false;
    bool committed_ = false;  // in place, the folder not yet flushed
    unsigned mode_ = 0;
    std::int64_t owner_ = -1;
    std::int64_t group_ = -1;
};

// The process that writes a temporary file: its id, and when it started (in the system's own
// measure), so that a later process given the same id is not taken for it.
struct Writer {
    std::uint32_t process = 0;
    std::uint64_t start = 0;
    friend bool operator==(const Writer&, const Writer&) = default;
};
// This process.
Writer ThisWriter();
// Whether `writer` has ended. A process that cannot be looked at counts as running.
bool WriterGone(const Writer& writer);

// A hidden file name of the transform's own for a temporary file: ".cv", the writer's process
// id and start, a random part and a check over them, all in lowercase hex digits (43 characters
// in all), so that a file left by a process that ended is known for the transform's beyond
// doubt, and whose it was.
std::string TemporaryNameOf(const Writer& writer);
std::string TemporaryName();  // this process's
// The writer a name of TemporaryNameOf names, or nothing for any other name.
std::optional<Writer> WriterOfTemporaryName(std::string_view name);

// One-time process set-up: an over-size write must fail with an error, not end the process.
void PrepareProcess();

}  // namespace corvane::detail
