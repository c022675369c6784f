// The file layer on POSIX systems. The destination's folder is opened once and everything else
// is done relative to it, so any destination path the system accepts works, however long.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <utility>

#include "FileTransform.h"
#include "OsFile.h"

namespace corvane {

namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t CleanupSignals()
{
    sigset_t signals;
    ::sigemptyset(&signals);
    for (const int signalNumber : kCleanupSignals) ::sigaddset(&signals, signalNumber);
    return signals;
}

// The named temporary files in flight, for the signal handler: a folder descriptor and a name
// in it for each. A name is written before its folder is published and only read after it.
// Enough for every file of a batch's group (TransformFiles) and single transforms besides.
struct InFlight {
    std::atomic<bool> claimed{false};
    std::atomic<int> folder{-1};
    char name[16];
};
constexpr std::size_t kInFlightSlots = 1088;
InFlight gInFlight[kInFlightSlots];

// What the handler shares with the threads that make and remove names. A thread changing names
// counts itself in `gChanging` with the signals held back on itself; the handler, on whatever
// thread takes the signal, first says the process is ending, then waits for changes under way
// to finish, so that it never sees a name half made or half gone. A change that starts after
// that never happens: its thread waits for the end.
std::atomic<bool> gEnding{false};
std::atomic<int> gChanging{0};
std::atomic<void (*)()> gFirst{nullptr};
// The thread that installed the clean-up, the one meant to take the signals.
std::atomic<bool> gCleanupInstalled{false};
pthread_t gCleanupThread;

// The handler may only use what is lock-free.
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<void (*)()>::is_always_lock_free);

extern "C" void RemoveInFlightAndEnd(int signalNumber)
{
    gEnding.store(true);
    while (gChanging.load() != 0) ::sched_yield();
    // The files go first: the program's own first step may block (a write to a stopped
    // terminal), and nothing may be left when it does.
    for (InFlight& slot : gInFlight) {
        const int folder = slot.folder.load();
        if (folder >= 0) ::unlinkat(folder, slot.name, 0);
    }
    if (void (*first)() = gFirst.load()) first();
    // Ending through the signal itself lets the parent see it (a shell reports 128+signal).
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(signalNumber, &fallback, nullptr);
    ::raise(signalNumber);
}

}  // namespace

const std::int32_t kErrorCancelled = ECANCELED;

void InstallTemporaryFileCleanup(void (*first)())
{
    gFirst.store(first);
    gCleanupThread = ::pthread_self();
    gCleanupInstalled.store(true);
    struct sigaction action {};
    action.sa_handler = RemoveInFlightAndEnd;
    action.sa_mask = CleanupSignals();
    for (const int signalNumber : kCleanupSignals) {
        struct sigaction earlier {};
        ::sigaction(signalNumber, nullptr, &earlier);
        // A signal the process was started to ignore (nohup) stays ignored.
        if (earlier.sa_handler != SIG_IGN) ::sigaction(signalNumber, &action, nullptr);
    }
}

void RemoveTemporaryFilesInFlight()
{
    gEnding.store(true);
    while (gChanging.load() != 0) ::sched_yield();
    for (InFlight& slot : gInFlight) {
        const int folder = slot.folder.load();
        if (folder >= 0) ::unlinkat(folder, slot.name, 0);
    }
}

namespace {
// How many CleanupSignalsHeld live on this thread: only the outermost changes the mask, so that
// a batch that holds the signals for its whole run pays no system call for each name it makes.
thread_local int tHeldDepth = 0;
}  // namespace

CleanupSignalsHeld::CleanupSignalsHeld()
{
    static_assert(sizeof(sigset_t) <= sizeof earlier_ && alignof(sigset_t) <= 8);
    if (tHeldDepth++ > 0) return;
    const sigset_t held = CleanupSignals();
    ::pthread_sigmask(SIG_BLOCK, &held, reinterpret_cast<sigset_t*>(earlier_));
}

CleanupSignalsHeld::~CleanupSignalsHeld()
{
    if (--tHeldDepth > 0) return;
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(earlier_), nullptr);
}

namespace detail {

const int kErrorIsFolder = EISDIR;
const int kErrorOutOfMemory = ENOMEM;
// A file that changed while it was read is a passing state, not a fault of the device: EAGAIN
// says that trying again later can succeed, where EIO would suggest a failing disk.
const int kErrorChanged = EAGAIN;
const int kErrorSameFile = EINVAL;
const int kErrorInternal = ENOTRECOVERABLE;
const int kErrorBadChoice = EINVAL;

int LastErrorCode() { return errno; }

bool OnCleanupThread() { return !gCleanupInstalled.load() || ::pthread_equal(::pthread_self(), gCleanupThread); }

namespace {

// A temporary name appearing or going: the handler waits for it to be done, and once the
// process is ending no new change begins.
class NameChange {
public:
    NameChange()
    {
        gChanging.fetch_add(1);
        if (gEnding.load()) {
            // The handler runs on another thread and ends the process; this thread changes
            // nothing more until then.
            gChanging.fetch_sub(1);
            for (;;) ::pause();
        }
    }
    ~NameChange() { gChanging.fetch_sub(1); }
    NameChange(const NameChange&) = delete;
    NameChange& operator=(const NameChange&) = delete;

private:
    CleanupSignalsHeld held_;  // first: the handler never runs on this thread meanwhile
};

// Where the search for a free slot starts: a batch takes slots and gives them back mostly in
// order, so the next free one is nearly always there, and a group of a thousand files does not
// search a thousand slots for each.
std::atomic<std::size_t> gNextFree{0};

// Registers a named temporary file for the handler and returns its slot. When every slot is
// taken (more transforms at once than a batch's group and a few besides) the file is not
// registered (-1) and a signal leaves it behind. Call inside a NameChange.
int RegisterInFlight(int folder, const std::string& name)
{
    if (name.size() >= sizeof InFlight::name) return -1;
    const std::size_t start = gNextFree.load(std::memory_order_relaxed);
    for (std::size_t k = 0; k < kInFlightSlots; ++k) {
        const std::size_t i = (start + k) % kInFlightSlots;
        InFlight& slot = gInFlight[i];
        if (slot.claimed.load(std::memory_order_relaxed) || slot.claimed.exchange(true)) continue;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        slot.folder.store(folder);
        gNextFree.store((i + 1) % kInFlightSlots, std::memory_order_relaxed);
        return static_cast<int>(i);
    }
    return -1;
}

// Gives a slot of RegisterInFlight back (-1: none). Call inside a NameChange.
void UnregisterInFlight(int slot)
{
    if (slot < 0) return;
    gInFlight[slot].folder.store(-1);
    gInFlight[slot].claimed.store(false);
}

// Tests force the named temporary file, which is otherwise only used where the file system
// has no unnamed ones. An unknown value is an error rather than a silent default.
ErrorOr<bool> UnnamedTemporaryWanted()
{
    const char* choice = std::getenv("CORVANE_TEMPORARY_FILE");
    if (choice == nullptr || std::strcmp(choice, "unnamed") == 0) return true;
    if (std::strcmp(choice, "named") == 0) return false;
    return ProblemError(EINVAL, "CORVANE_TEMPORARY_FILE is", choice, "the choices are 'unnamed' and 'named'");
}

// The access list a file's permission bits are part of, as the system stores it.
constexpr char kAccessList[] = "system.posix_acl_access";

bool IsKeptAttribute(std::string_view name) { return name == kAccessList || name.rfind("user.", 0) == 0; }

using Attributes = std::vector<std::pair<std::string, std::string>>;

// Reads the ACL and the user extended attributes of a file with the calls `list` and `get`
// (over a descriptor or a path). None at all, or a file system without them, gives an empty
// list; a failure gives an Error with the system's number alone.
template <class List, class Get>
ErrorOr<Attributes> ReadKept(const List& list, const Get& get)
{
    Attributes kept;
    std::string names;
    for (;;) {
        const ssize_t size = list(nullptr, 0);
        if (size < 0 && (errno == ENOTSUP || errno == EOPNOTSUPP)) return kept;
        if (size < 0) return Error{errno, {}};
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = list(names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) return Error{errno, {}};  // ERANGE: more names came meanwhile
    }
    for (std::size_t at = 0, end = 0; at < names.size(); at = end + 1) {
        end = std::min(names.find('\0', at), names.size());
        const std::string name = names.substr(at, end - at);
        if (!IsKeptAttribute(name)) continue;
        for (std::string value;;) {
            const ssize_t size = get(name.c_str(), nullptr, 0);
            if (size < 0 && errno == ENODATA) break;  // gone meanwhile
            if (size < 0) return Error{errno, {}};
            value.resize(static_cast<std::size_t>(size));
            const ssize_t got = get(name.c_str(), value.data(), value.size());
            if (got >= 0) {
                value.resize(static_cast<std::size_t>(got));
                kept.emplace_back(name, std::move(value));
                break;
            }
            if (errno != ERANGE) return Error{errno, {}};
        }
    }
    return kept;
}

// The ACL and user extended attributes of the destination `leaf` in `folder`, to be given to
// the file that replaces it. Read through a descriptor of the file; a file the caller may
// write but not read is reached through its path under /proc, which is enough for its ACL.
ErrorOr<Attributes> KeptAttributes(int folder, const char* leaf, Links links, const std::string& shown)
{
    const int noFollow = links == Links::Refuse ? O_NOFOLLOW : 0;
    int fd = ::openat(folder, leaf, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow);
    const bool readable = fd >= 0;
    if (!readable && errno == EACCES) fd = ::openat(folder, leaf, O_PATH | O_CLOEXEC | noFollow);
    if (fd < 0) return SystemError(errno, "Cannot write", shown);
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    const ErrorOr<Attributes> kept =
        readable ? ReadKept([fd](char* names, std::size_t size) { return ::flistxattr(fd, names, size); },
                            [fd](const char* name, void* value, std::size_t size) {
                                return ::fgetxattr(fd, name, value, size);
                            })
                 : ReadKept([&path](char* names, std::size_t size) { return ::listxattr(path, names, size); },
                            [&path](const char* name, void* value, std::size_t size) {
                                return ::getxattr(path, name, value, size);
                            });
    ::close(fd);
    if (!kept) return SystemError(kept.error().number, "Cannot keep the ACL and extended attributes of", shown);
    return kept;
}

// Refuses what a destination whose links are refused may not be: anything but a regular file
// (`info`, not following a link) or a folder, which is refused as a folder later.
std::optional<Error> RefuseNonFile(const struct stat& info, const std::string& shown)
{
    if (S_ISLNK(info.st_mode)) return ProblemError(ELOOP, "Cannot write", shown, "it is a symbolic link, not a file");
    if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) return std::nullopt;
    return ProblemError(EINVAL, "Cannot write", shown, "not a regular file");
}

// Opens a destination's folder. With Links::Refuse the folder must not be a link.
int OpenFolder(const std::filesystem::path& folder, Links links, int access)
{
    return ::open(folder.c_str(), access | O_DIRECTORY | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0));
}

}  // namespace

ErrorOr<OsFile> OsFile::OpenSource(const std::filesystem::path& path)
{
    const std::string name = DisplayName(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return SystemError(errno, "Cannot open", name);
    OsFile file(fd, true, name);

    struct stat info {};
    if (::fstat(fd, &info) != 0) return SystemError(errno, "Cannot read", name);
    if (S_ISDIR(info.st_mode)) return SystemError(kErrorIsFolder, "Cannot read", name);
    if (!S_ISREG(info.st_mode)) return ProblemError(EINVAL, "Cannot read", name, "not a regular file");
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    file.permissions_ = info.st_mode & 0777;
    file.opened_ = FileState{static_cast<std::uint64_t>(info.st_size), info.st_ctim.tv_sec,
                             info.st_ctim.tv_nsec};
    return file;
}

OsFile OsFile::StandardInput() { return OsFile(STDIN_FILENO, false, "standard input"); }
OsFile OsFile::StandardOutput() { return OsFile(STDOUT_FILENO, false, "standard output"); }

ErrorOr<FileState> OsFile::State() const
{
    struct stat info {};
    if (::fstat(handle_, &info) != 0) return SystemError(errno, "Cannot read", name_);
    return FileState{static_cast<std::uint64_t>(info.st_size), info.st_ctim.tv_sec,
                     info.st_ctim.tv_nsec};
}

ErrorOr<std::size_t> OsFile::ReadFull(std::span<std::uint8_t> buffer)
{
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(handle_, buffer.data() + got, buffer.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            return SystemError(errno, "Cannot read", name_);
        }
    }
    bytesRead_ += got;
    return got;
}

std::optional<Error> OsFile::WriteAll(std::span<const std::uint8_t> bytes)
{
    // How long a wait for room in a non-blocking file lasts before the cancel is looked at again.
    constexpr int kCancelCheckMs = 100;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(handle_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0) {
            return SystemError(EIO, "Cannot write", name_);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
                return Error{ECANCELED, "Writing '" + name_ + "' was cancelled"};
            }
            pollfd room{handle_, POLLOUT, 0};
            ::poll(&room, 1, kCancelCheckMs);
        } else if (errno != EINTR) {
            return SystemError(errno, "Cannot write", name_);
        }
    }
    return std::nullopt;
}

std::optional<Error> OsFile::FlushToDisk()
{
    if (::fsync(handle_) == 0) return std::nullopt;
    return SystemError(errno, "Cannot write", name_);
}

std::optional<Error> OsFile::Close()
{
    if (!owned_) return std::nullopt;
    owned_ = false;
    // On Linux the descriptor is gone even when close() reports EINTR: never retry.
    if (::close(handle_) == 0 || errno == EINTR) return std::nullopt;
    return SystemError(errno, "Cannot write", name_);
}

std::optional<Error> RefuseSameFile(const OsFile& source, const OsFile& output)
{
    struct stat in {};
    struct stat out {};
    // A descriptor that cannot be examined fails on its first read or write instead.
    if (::fstat(source.handle(), &in) != 0 || ::fstat(output.handle(), &out) != 0) return std::nullopt;
    if (!S_ISREG(out.st_mode) || in.st_dev != out.st_dev || in.st_ino != out.st_ino) return std::nullopt;
    return ProblemError(kErrorSameFile, "Cannot read", source.name(), "input file is output file");
}

ErrorOr<Destination> Destination::Open(const std::filesystem::path& path, const OsFile& source, Links links,
                                       const Destination* beside)
{
    Destination to;
    to.name_ = DisplayName(path);
    to.path_ = path;
    to.leaf_ = path.filename();
    if (to.leaf_.empty() || to.leaf_ == "." || to.leaf_ == "..") {
        // "dir/" or "dir/..": the path names a folder, or nothing a file could be.
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return to.Fail(errno);
        return to.Fail(S_ISDIR(info.st_mode) ? EISDIR : ENOTDIR);
    }
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (beside && beside->folderHandle_ && beside->folderPath_ == folder && beside->links_ == links) {
        to.folderHandle_ = beside->folderHandle_;
        to.folderFlushable_ = beside->folderFlushable_;
    } else {
        int fd = OpenFolder(folder, links, O_RDONLY);
#ifdef O_PATH
        if (fd < 0 && errno == EACCES) {
            // A folder one may write in but not list still takes the file; it just cannot be flushed.
            fd = OpenFolder(folder, links, O_PATH);
            to.folderFlushable_ = false;
        }
#endif
        if (fd < 0 && links == Links::Refuse && (errno == ELOOP || errno == ENOTDIR)) {
            struct stat info {};
            if (::lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
                return ProblemError(ELOOP, "Cannot write into", DisplayName(folder), "it is a symbolic link, not a folder");
            }
        }
        if (fd < 0) return to.Fail(errno);
        to.folderHandle_ = std::shared_ptr<const int>(new int(fd), [](const int* owned) {
            ::close(*owned);
            delete owned;
        });
    }
    to.folderPath_ = folder;
    to.links_ = links;
    to.folder_ = *to.folderHandle_;

    const char* leaf = to.leaf_.c_str();
    struct stat info {};
    if (::fstatat(to.folder_, leaf, &info, links == Links::Refuse ? AT_SYMLINK_NOFOLLOW : 0) == 0) {
        if (links == Links::Refuse) {
            if (auto error = RefuseNonFile(info, to.name_)) return *error;
        }
        if (S_ISDIR(info.st_mode)) return to.Fail(EISDIR);
        if (S_ISSOCK(info.st_mode)) return to.Fail(ENXIO);  // what opening one would answer
        if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
            // Opened without waiting: a FIFO nobody reads is refused at once, where a blocking
            // open would wait, beyond any cancel, for a reader that may never come. The file
            // stays non-blocking, so that WriteAll can heed a cancel while the reader is slow.
            const int fd = ::openat(to.folder_, leaf, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            if (fd < 0 && errno == ENXIO && S_ISFIFO(info.st_mode)) {
                return Error{ENXIO, "Cannot write '" + to.name_ + "': no program is reading from this FIFO"};
            }
            if (fd < 0) return to.Fail(errno);
            to.file_ = OsFile(fd, true, to.name_);
            to.kind_ = Kind::Stream;
            return to;
        }
        // Replacing needs only the folder's permission; refusing what the caller may not write
        // agrees with cp and with Windows. Root passes, as for cp.
        if (::faccessat(to.folder_, leaf, W_OK, AT_EACCESS) != 0) return to.Fail(errno);
        to.existed_ = true;
        to.mode_ = info.st_mode & 07777;
        to.owner_ = info.st_uid;
        to.group_ = info.st_gid;
        auto attributes = KeptAttributes(to.folder_, leaf, links, to.name_);
        if (!attributes) return attributes.error();
        to.attributes_ = std::move(*attributes);
    } else if (errno == ENOENT) {
        to.mode_ = (source.permissions() | 0600) & 0777;
    } else {
        return to.Fail(errno);
    }

    const ErrorOr<bool> unnamed = UnnamedTemporaryWanted();
    if (!unnamed) return unnamed.error();
#ifdef O_TMPFILE
    if (*unnamed) {
        const int fd = ::openat(to.folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, to.CreationMode());
        if (fd >= 0) {
            to.file_ = OsFile(fd, true, to.name_);
            to.kind_ = Kind::Unnamed;
            return to;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return to.Fail(errno);
    }
#endif
    const NameChange change;
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string candidate = TemporaryName();
        const int fd = ::openat(to.folder_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                to.CreationMode());
        if (fd >= 0) {
            to.file_ = OsFile(fd, true, to.name_);
            to.kind_ = Kind::Named;
            to.temporary_ = candidate;
            to.inFlight_ = RegisterInFlight(to.folder_, candidate);
            return to;
        }
        if (errno != EEXIST) return to.Fail(errno);
    }
    return to.Fail(EEXIST);
}

Destination::Destination(Destination&& other) noexcept
    : kind_(std::exchange(other.kind_, Kind::Done)),
      file_(std::move(other.file_)),
      name_(std::move(other.name_)),
      path_(std::move(other.path_)),
      leaf_(std::move(other.leaf_)),
      temporary_(std::move(other.temporary_)),
      folderPath_(std::move(other.folderPath_)),
      folderHandle_(std::move(other.folderHandle_)),
      links_(other.links_),
      folder_(std::exchange(other.folder_, -1)),
      inFlight_(std::exchange(other.inFlight_, -1)),
      folderFlushable_(other.folderFlushable_),
      attributes_(std::move(other.attributes_)),
      parked_(other.parked_),
      existed_(other.existed_),
      flushed_(other.flushed_),
      committed_(other.committed_),
      mode_(other.mode_),
      owner_(other.owner_),
      group_(other.group_)
{
    other.temporary_.clear();
}

Destination::~Destination()
{
    static_cast<void>(file_.Close());
    if (!temporary_.empty()) {
        const NameChange change;
        ::unlinkat(folder_, temporary_.c_str(), 0);
        UnregisterInFlight(std::exchange(inFlight_, -1));
    }
    // The folder is closed with its last destination (folderHandle_).
}

std::optional<Error> Destination::Commit()
{
    if (kind_ == Kind::Stream) {
        kind_ = Kind::Done;
        return file_.Close();
    }
    if (!parked_) {
        if (auto error = Flush()) return error;
        if (auto error = Park()) return error;
    } else if (!flushed_) {
        return Fail(EIO);  // a parked file is flushed by FlushAll before it may be put in place
    }
    const NameChange change;
    if (::renameat(folder_, temporary_.c_str(), folder_, leaf_.c_str()) != 0) {
        return Fail(errno, "Cannot replace");
    }
    UnregisterInFlight(std::exchange(inFlight_, -1));
    temporary_.clear();
    kind_ = Kind::Done;
    committed_ = true;
    return std::nullopt;
}

std::optional<Error> Destination::Park()
{
    if (parked_ || (kind_ != Kind::Unnamed && kind_ != Kind::Named)) return std::nullopt;
    const int fd = file_.handle();
    if (auto error = GivePermissions()) return error;

    const NameChange change;
    if (kind_ == Kind::Unnamed) {
        // linkat cannot replace a file: the complete file gets a fresh hidden name first,
        // then takes the destination's place by rename.
        char viaProc[64];
        std::snprintf(viaProc, sizeof viaProc, "/proc/self/fd/%d", fd);
        for (int attempt = 0; temporary_.empty(); ++attempt) {
            if (attempt == 64) return Fail(EEXIST);
            const std::string hidden = TemporaryName();
            // Linking by descriptor needs CAP_DAC_READ_SEARCH; /proc names the same file.
            if (::linkat(fd, "", folder_, hidden.c_str(), AT_EMPTY_PATH) == 0 ||
                (errno != EEXIST &&
                 ::linkat(AT_FDCWD, viaProc, folder_, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0)) {
                temporary_ = hidden;
                inFlight_ = RegisterInFlight(folder_, hidden);
            } else if (errno != EEXIST) {
                return Fail(errno);
            }
        }
    }
    kind_ = Kind::Named;
    if (auto error = file_.Close()) return error;
    parked_ = true;
    return std::nullopt;
}

std::optional<Error> Destination::GivePermissions()
{
    const int fd = file_.handle();
    // A file system without modes (FAT) refuses them, and the file is then only more private.
    const auto refused = [] { return errno == EPERM || errno == EOPNOTSUPP; };
    if (!existed_) {
        // The system gave the file its permissions when it was made; only an umask or a default
        // ACL that leaves the owner unable to read or write it is made good, by the owner's bits
        // alone (an ACL's other entries stay as they are).
        struct stat info {};
        if (::fstat(fd, &info) != 0) return Fail(errno);
        if ((info.st_mode & 0600) == 0600) return std::nullopt;
        if (::fchmod(fd, (info.st_mode & 07777) | 0600) != 0 && !refused()) return Fail(errno);
        return std::nullopt;
    }
    // Owner and group are kept where the process may set them: both as root, otherwise the
    // group when the caller belongs to it. Failing that, the file stays the caller's.
    [[maybe_unused]] const int ignored =
        ::geteuid() == 0 ? ::fchown(fd, static_cast<uid_t>(owner_), static_cast<gid_t>(group_))
                         : ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group_));
    // The user's attributes before the ACL, which may take the caller's write access away. The
    // file was made with the folder's default ACL, if any: it goes when the replaced file had no
    // ACL of its own, or it would reach further than the replaced file did.
    const auto cannotKeep = [this](int code) { return Fail(code, "Cannot keep the ACL and extended attributes of"); };
    bool accessList = false;
    for (const auto& [name, value] : attributes_) {
        if (name == kAccessList) {
            accessList = true;
        } else if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
            return cannotKeep(errno);
        }
    }
    for (const auto& [name, value] : attributes_) {
        if (name == kAccessList && ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
            return cannotKeep(errno);
        }
    }
    if (!accessList && ::fremovexattr(fd, kAccessList) != 0 && errno != ENODATA && errno != ENOTSUP &&
        errno != EOPNOTSUPP) {
        return cannotKeep(errno);
    }
    // After fchown, which clears set-user-ID bits, and after the ACL, whose bits agree with it.
    if (::fchmod(fd, static_cast<mode_t>(mode_)) != 0 && !refused()) return Fail(errno);
    return std::nullopt;
}

std::optional<Error> Destination::FlushFolder()
{
    if (!committed_) return std::nullopt;
    committed_ = false;
    // Without this the rename may not survive a power loss, and the old file would be back.
    // Some file systems cannot flush a folder (EINVAL): there is nothing more to do there.
    int failure = Faults().folderFlushError.load();
    if (failure == 0 && folderFlushable_ && ::fsync(folder_) != 0 && errno != EINVAL) failure = errno;
    if (failure == 0) return std::nullopt;
    return Fail(failure, "Written, but cannot flush the folder of");
}

std::vector<std::optional<Error>> Destination::FlushAll(std::span<Destination* const> destinations)
{
    // One syncfs for each file system: the data of every file is on disk before any of them is
    // renamed, at the cost of one journal commit rather than one for each file.
    std::vector<std::pair<dev_t, int>> flushed;  // file system, and the error of its flush
    std::vector<std::optional<Error>> errors(destinations.size());
    for (std::size_t i = 0; i < destinations.size(); ++i) {
        Destination& to = *destinations[i];
        if (to.kind_ == Kind::Stream || to.kind_ == Kind::Done || to.flushed_) continue;
        struct stat info {};
        if (::fstat(to.folder_, &info) != 0) {
            errors[i] = to.Fail(errno);
            continue;
        }
        auto known = std::find_if(flushed.begin(), flushed.end(), [&](const auto& f) { return f.first == info.st_dev; });
        if (known == flushed.end()) {
            flushed.emplace_back(info.st_dev, ::syncfs(to.folder_) == 0 ? 0 : errno);
            known = flushed.end() - 1;
        }
        if (known->second != 0)
            errors[i] = to.Fail(known->second);
        else
            to.flushed_ = true;
    }
    return errors;
}

std::vector<std::optional<Error>> Destination::FlushFolders(std::span<Destination* const> destinations)
{
    std::vector<std::pair<std::pair<dev_t, ino_t>, int>> flushed;  // folder, and the error of its flush
    std::vector<std::optional<Error>> warnings(destinations.size());
    for (std::size_t i = 0; i < destinations.size(); ++i) {
        Destination& to = *destinations[i];
        if (!to.committed_) continue;
        to.committed_ = false;
        struct stat info {};
        if (::fstat(to.folder_, &info) != 0) {
            warnings[i] = to.Fail(errno, "Written, but cannot flush the folder of");
            continue;
        }
        const std::pair<dev_t, ino_t> folder{info.st_dev, info.st_ino};
        auto known = std::find_if(flushed.begin(), flushed.end(), [&](const auto& f) { return f.first == folder; });
        if (known == flushed.end()) {
            int failure = Faults().folderFlushError.load();
            if (failure == 0 && to.folderFlushable_ && ::fsync(to.folder_) != 0 && errno != EINVAL) failure = errno;
            flushed.emplace_back(folder, failure);
            known = flushed.end() - 1;
        }
        if (known->second != 0) warnings[i] = to.Fail(known->second, "Written, but cannot flush the folder of");
    }
    return warnings;
}

// A parked file holds no descriptor and the files of one folder share one: the group is
// bounded by the names the signal handler can hold, with room for single transforms besides.
std::size_t Destination::MostWaitingAtOnce() { return kInFlightSlots - 64; }

void PrepareProcess()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace detail
}  // namespace corvane
