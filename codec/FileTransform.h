// The file transform: codes one whole file from a source path to a destination path.
//
// Contract:
// - A destination file is replaced only by its complete new content. The content is written to
//   a temporary file in the destination's folder: unnamed on Linux where the file system allows
//   it, else a hidden name (see IsTemporaryName). It is flushed to disk, given its final
//   permissions and put in the destination's place, and the folder is flushed before success is
//   reported. An unnamed file takes a new destination's name itself (linkat); one that replaces
//   a file gets a hidden name and is renamed over it. On any failure nothing of it remains: the destination keeps its earlier content
//   (or stays absent) and the source is never changed. Source and destination may be the same
//   path. Any destination path the system accepts works, however long.
// - Once the new content has taken the destination's name, the coding is done: a failure after
//   that (only the folder's flush can fail then) is never reported as an error, since the
//   destination no longer holds what it held, and coding again would code the result a second
//   time. The transform succeeds, and the failure comes back as TransformControl::warning
//   ("Written, but cannot flush the folder of '<destination>': <reason>"), for the caller to
//   show as a warning: the new name may not survive a power loss. Without a control it is not
//   reported.
// - An existing destination keeps its permission bits, and its owner and group where the process
//   may set them (both as root, otherwise the group when the caller belongs to it), and its ACL
//   and user extended attributes ("user.*"), as cp --preserve keeps them. Until then its
//   temporary file is private (0600). What cannot be carried over (attributes the caller may
//   not read, an ACL the file system will not take) is an error, and the destination is kept
//   rather than replaced without them (a file that lost its ACL would give its group the ACL
//   mask's access). A new destination gets its permissions as cp gives them: its temporary file
//   is made with the source's permission bits, so that the system applies the umask or the
//   folder's default ACL, except that its owner may always read and write it (a read-only
//   source gives a result that can be coded again; a private source gives a private result).
// - An existing destination the caller may not write (a read-only file) is refused with the
//   system's "permission denied" (root may write any, as with cp). An existing FIFO or device
//   (or a link to one) is written into directly, like standard output, never replaced; a socket
//   is refused. Such a file is opened without waiting: a FIFO that nobody reads is refused at
//   once (ENXIO), and while its reader is slow a cancel still ends the wait within a tenth of a
//   second. A reader that leaves is a write error (EPIPE) where the process ignores SIGPIPE. A folder, or a link to a folder, is refused as a folder. A symbolic link to a
//   file is replaced by the new file; the link's target is left alone.
// - The file is streamed in chunks with the codec's running value carried between them, so
//   memory stays constant and files of any size (64-bit lengths) work. The result is
//   identical to coding the whole file in one buffer. An empty source gives an empty result.
// - A destination whose links are refused (Links::Refuse) is written only as a regular file or
//   a new name in a folder that is no link itself; anything else there is refused before
//   anything is written.
// - A SIGKILL or a power cut can leave at most one hidden temporary file (see IsTemporaryName):
//   an unnamed one that replaces a file only in the microseconds between the linkat that names
//   the complete file and the renameat that puts it in place; a named one at any time while it
//   is written. A new destination written through an unnamed file leaves nothing. Either is a
//   complete or partial coded copy of the source, never the destination's only content. The
//   next transform into that folder removes it, once the process that wrote it has ended.
// - A source that is not a regular file (a folder, a FIFO, a device) is refused before anything
//   is written. A source whose length or change time differs at its end from its start, or
//   whose bytes read differ from its length, changed while being read: that is an error, and
//   the destination is left as it was. Standard output that is the source file itself is
//   refused before anything is read ("input file is output file").
// - Failures come back as an Error: the system's error number (errno, or the Windows error
//   code) and a one-line description naming the path, control characters shown escaped. An
//   over-size write is such an error; it never raises SIGXFSZ. TransformFile never throws: an
//   exception on either of its threads is such an error too (memory that ran out: ENOMEM, or
//   ERROR_NOT_ENOUGH_MEMORY), and leaves what any failure leaves.
// - On Windows the temporary file is always named, a destination with the read-only attribute
//   is refused, and the move over the destination is written through to disk; a result carries
//   none of the source's attributes (read-only, hidden, system). Modes, owners, ACLs, extended
//   attributes and the umask are POSIX's alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Error.h"

namespace corvane {

enum class Coding { Encode, Decode };

// How a destination's symbolic links are taken.
enum class Links {
    // As the user who named the destination means it: a link at its name or on the way to it is
    // followed (by the rules above).
    Follow,
    // For a folder of the program's own, which the user never named: the destination's folder
    // must be a folder, not a link to one, and its name a regular file or nothing. A link, FIFO,
    // device or socket there is an error naming it (a link: ELOOP, or ERROR_CANT_ACCESS_FILE on
    // Windows; anything else: EINVAL, or ERROR_INVALID_PARAMETER), and nothing is written
    // through it. Only the folder's last part is checked; the folders above it are the user's.
    // There a result always belongs to the user who made it: a file another user owns, or a
    // name with more than one link, is replaced as a new file (the permissions a new file gets,
    // the caller's own), never taken as the template of the result.
    Refuse,
};

// One end of a transform: a file, or the process's standard input (as a source) or standard
// output (as a destination). A standard stream is read or written directly, without a
// temporary file, so a failure half-way leaves what was already written. `links` matters for
// a destination file only.
struct Endpoint {
    std::filesystem::path path;
    bool standardStream = false;
    Links links = Links::Follow;

    static Endpoint File(std::filesystem::path p, Links links = Links::Follow)
    {
        return {std::move(p), false, links};
    }
    static Endpoint StandardStream() { return {{}, true}; }
};

// Lets a caller, on this thread or another, follow a transform and stop it. The transform sets
// `total` (the source's size; 0 for a standard stream) before the first chunk and adds to `done`
// after each chunk written; it looks at `cancel` before each chunk and before and after the final
// flush to disk. The result takes the destination's place only when no cancel came by then.
struct TransformControl {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> cancel{false};
    // Set by a transform that succeeded with a warning, before it returns; read it after.
    std::optional<Error> warning;
};

// The number of the error a cancelled transform returns: ECANCELED, or ERROR_CANCELLED on
// Windows. A cancel leaves what any failure leaves: no temporary file, the destination as it
// was. Callers show it as no failure at all.
extern const std::int32_t kErrorCancelled;

// Codes `source` into `destination`. Returns nothing on success.
[[nodiscard]] std::optional<Error> TransformFile(Coding coding, const Endpoint& source,
                                                 const Endpoint& destination,
                                                 TransformControl* control = nullptr) noexcept;

[[nodiscard]] std::optional<Error> EncodeFile(const std::filesystem::path& source,
                                              const std::filesystem::path& destination);
[[nodiscard]] std::optional<Error> DecodeFile(const std::filesystem::path& source,
                                              const std::filesystem::path& destination);

// One file of a batch: `source` coded into `destination`, both files; `links` as for an
// Endpoint's destination.
struct BatchFile {
    Coding coding;
    std::filesystem::path source;
    std::filesystem::path destination;
    Links links = Links::Follow;
};

// How one file of a batch ended: an error (the destination as it was), or done, perhaps with a
// warning (see TransformControl::warning).
struct BatchOutcome {
    std::optional<Error> error;
    std::optional<Error> warning;
};

// Codes many files, each exactly as TransformFile would (atomic: complete or not at all; durable:
// its data on disk before its name points at it, its folder flushed before it is reported done),
// with the flushes shared: the files are coded into temporary files a group at a time (up to
// 1,024 files and about 64 MiB), then one flush of each file system they are on (syncfs on
// Linux) puts all their data on disk, each takes its destination's place, and each folder is
// flushed once. A large file, or one written into a FIFO or device, starts only once the files
// before it are in place. A new result waits open and without a name, and takes its name
// directly (linkat): a SIGKILL or a power cut leaves nothing of it. A file that replaces
// another waits under a hidden name (IsTemporaryName) and holds no descriptor:
// InstallTemporaryFileCleanup's handler removes it, a SIGKILL or a power cut may leave it (every
// such file of the group being coded or flushed), and the next transform into that folder
// removes it once the batch's process has ended. Since new results hold descriptors, a group
// takes at most half the open-files limit (whose soft value is raised once toward twice a full
// group, as far as the hard one allows), and a file that finds no descriptor left waits for the
// group to be in place. A signal that comes while a group takes its names waits for the whole
// group, on whatever thread it is taken. A group's files are therefore done, or fail at their
// flush, together; a file that fails earlier fails alone, and the others go on.
//
// The batch gives what coding the files one by one gives, whatever names the items use for the
// same file (links, hard links, "./", "..", a folder mounted twice, a name in another case where
// the folder ignores case): a file whose source or destination is the file a waiting file writes
// (by file identity: device and inode, the file ID on Windows; for a name not yet taken, its
// folder's identity and the name) starts only once the waiting files are in place. A file that
// fails while others wait (a source that one of them is about to make, a disk that the files
// they replace would free) is tried once more after they are in place, so that a full disk
// holds at least as many results as one by one.
//
// `landed`, when given, hears each file's outcome in the files' order, as each group ends; the
// outcomes are returned too. `admit`, when given, is asked just before each file starts, once
// every earlier file that writes the same file has been heard of: an error refuses the file
// (its outcome) and it is not touched. `control`, when given, follows the whole batch: `total`
// is the sum of the sources' sizes, `done` grows with each file, and a cancel ends the batch at
// once (the group not yet in place is dropped, its files and every later one cancelled; files
// reported done stay). On Windows each file is flushed on its own, in groups of up to 64 open
// files. Never throws out of its own work; `landed` and `admit` may throw.
//
// With AfterFailure::Stop the batch ends at the first file that fails: the files before it are
// put in place as usual, none after it is touched (a later file already coded into its temporary
// file is dropped), and the outcomes, returned and heard, end with that failure. A caller that
// asks its user whether to go on then starts a new batch with the files after it.
enum class AfterFailure { GoOn, Stop };
std::vector<BatchOutcome> TransformFiles(
    std::span<const BatchFile> files, TransformControl* control = nullptr,
    const std::function<void(std::size_t index, const BatchOutcome& outcome)>& landed = {},
    AfterFailure afterFailure = AfterFailure::GoOn,
    const std::function<std::optional<Error>(std::size_t index)>& admit = {});

// Which file a path names, following links: its device and inode, or its volume's serial number
// and file index on Windows. Nothing when the path names no file, or it cannot be looked at.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    friend bool operator<(const FileIdentity& a, const FileIdentity& b)
    {
        return a.device != b.device ? a.device < b.device : a.index < b.index;
    }
};
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// True for the name of the transform's named temporary file, so that file lists can leave such
// files out: ".cv", then in lowercase hex digits the writing process's id and start, a random
// part and a check over them (43 characters), which a name made by anyone else matches but once
// in four thousand million. Such a file whose writer has ended is the rest of a transform ended
// by SIGKILL or a power cut; the next transform into its folder removes it.
bool IsTemporaryName(std::string_view fileName);

// For a program's main: makes SIGINT, SIGTERM, SIGHUP and SIGQUIT remove the named temporary
// files that transforms are writing, then end the process through the same signal (a shell
// reports 128+signal). Signals the process ignores stay ignored. Without it, or on SIGKILL, a
// named temporary file stays behind; an unnamed one never does. Process-wide; call it once, on
// the thread meant to take these signals. On Windows the console's Ctrl+C, Ctrl+Break and close
// events remove the file the same way.
// `first`, when given, runs in the handler after the files are removed (so that a `first` that
// blocks, writing to a stopped terminal, leaves nothing behind); it must be async-signal-safe
// (on Windows it runs on the console handler's thread, before the file goes).
// The handler is correct on whatever thread takes the signal: while a temporary name appears or
// goes, the thread changing it holds the signals back and the handler waits for the change to
// finish, and no change begins after the handler has started. Still, a program should take
// these signals on one thread only: it should start its other threads inside a
// CleanupSignalsHeld. A transform run on another thread than the one that installed this holds
// them back itself for its whole run, and so does its read-ahead thread.
void InstallTemporaryFileCleanup(void (*first)() = nullptr);

// For a program about to end while a transform it abandoned may still run (blocked in a read that
// never returns): removes the named temporary files in flight, as the signals above do, and no
// temporary file is named after it. Call it only when the process ends right after.
void RemoveTemporaryFilesInFlight();

// Holds back SIGINT, SIGTERM, SIGHUP and SIGQUIT on this thread while it lives, and restores
// the earlier mask after; a thread started meanwhile keeps them held back for good. Nothing on
// Windows.
class CleanupSignalsHeld {
public:
    CleanupSignalsHeld();
    ~CleanupSignalsHeld();
    CleanupSignalsHeld(const CleanupSignalsHeld&) = delete;
    CleanupSignalsHeld& operator=(const CleanupSignalsHeld&) = delete;

private:
    // Room for the earlier mask (a sigset_t) without the system's headers.
    alignas(8) unsigned char earlier_[128];
};

}  // namespace corvane
