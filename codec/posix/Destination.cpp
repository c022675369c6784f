// The destination on POSIX: checked, written to a temporary file in its folder, given its
// permissions and put in its place. The destination's folder is opened once and everything else
// is done relative to it, so any destination path the system accepts works, however long.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "codec/FileTransform.h"
#include "codec/OsFile.h"
#include "codec/posix/Posix.h"

namespace corvane::detail {

namespace {

// Tests force the named temporary file, which is otherwise only used where the file system
// has no unnamed ones. An unknown value is an error rather than a silent default.
ErrorOr<bool> UnnamedTemporaryWanted()
{
    const char* choice = std::getenv("CORVANE_TEMPORARY_FILE");
    if (choice == nullptr || std::strcmp(choice, "unnamed") == 0) return true;
    if (std::strcmp(choice, "named") == 0) return false;
    return ProblemError(EINVAL, "CORVANE_TEMPORARY_FILE is", choice, "the choices are 'unnamed' and 'named'");
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
    return ApartFromStandardStreams(
        ::open(folder.c_str(), access | O_DIRECTORY | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0)));
}

}  // namespace

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
    if (beside && beside->native_.folderHandle && beside->native_.folderPath == folder && beside->native_.links == links) {
        to.native_.folderHandle = beside->native_.folderHandle;
        to.native_.folderFlushable = beside->native_.folderFlushable;
        to.native_.folderId = beside->native_.folderId;
    } else {
        int fd = OpenFolder(folder, links, O_RDONLY);
#ifdef O_PATH
        if (fd < 0 && errno == EACCES) {
            // A folder one may write in but not list still takes the file; it just cannot be flushed.
            fd = OpenFolder(folder, links, O_PATH);
            to.native_.folderFlushable = false;
        }
#endif
        if (fd < 0 && links == Links::Refuse && (errno == ELOOP || errno == ENOTDIR)) {
            struct stat info {};
            if (::lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
                return ProblemError(ELOOP, "Cannot write into", DisplayName(folder), "it is a symbolic link, not a folder");
            }
        }
        if (fd < 0) return to.Fail(errno);
        to.native_.folderHandle = std::shared_ptr<const int>(new int(fd), [](const int* owned) {
            ::close(*owned);
            delete owned;
        });
        struct stat folderInfo {};
        if (::fstat(fd, &folderInfo) != 0) return to.Fail(errno);
        RemoveLeftovers(fd);
        to.native_.folderId = FileId{static_cast<std::uint64_t>(folderInfo.st_dev), static_cast<std::uint64_t>(folderInfo.st_ino)};
    }
    to.native_.folderPath = folder;
    to.native_.links = links;
    to.native_.folder = *to.native_.folderHandle;

    const char* leaf = to.leaf_.c_str();
    struct stat info {};
    if (::fstatat(to.native_.folder, leaf, &info, links == Links::Refuse ? AT_SYMLINK_NOFOLLOW : 0) == 0) {
        if (links == Links::Refuse) {
            CORVANE_TRY(RefuseNonFile(info, to.name_));
        }
        if (S_ISDIR(info.st_mode)) return to.Fail(EISDIR);
        if (S_ISSOCK(info.st_mode)) return to.Fail(ENXIO);  // what opening one would answer
        if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
            // Opened without waiting: a FIFO nobody reads is refused at once, where a blocking
            // open would wait, beyond any cancel, for a reader that may never come. The file
            // stays non-blocking, so that WriteAll can heed a cancel while the reader is slow.
            const int fd =
                ApartFromStandardStreams(::openat(to.native_.folder, leaf, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
            if (fd < 0 && errno == ENXIO && S_ISFIFO(info.st_mode)) {
                return ProblemError(ENXIO, "Cannot write", to.name_, "no program is reading from this FIFO");
            }
            if (fd < 0) return to.Fail(errno);
            to.file_ = OsFile(fd, true, to.name_);
            to.kind_ = Kind::Stream;
            return to;
        }
        to.target_ = {FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)}, {}};
        if (links == Links::Refuse && (info.st_uid != ::geteuid() || info.st_nlink > 1)) {
            // In a folder of the program's own, a file another user made (or a name linked to
            // a file elsewhere) is no template for a result: whoever planted it would get the
            // result's access. It is replaced as a new file would be made, the caller's own.
            to.mode_ = (source.permissions() | 0600) & 0777;
        } else {
            // Replacing needs only the folder's permission; refusing what the caller may not
            // write agrees with cp and with Windows. Root passes, as for cp.
            if (::faccessat(to.native_.folder, leaf, W_OK, AT_EACCESS) != 0) return to.Fail(errno);
            to.existed_ = true;
            to.mode_ = info.st_mode & 07777;
            to.owner_ = info.st_uid;
            to.group_ = info.st_gid;
            CORVANE_TRY_VALUE(attributes, KeptAttributes(to.native_.folder, leaf, links, to.name_));
            to.native_.attributes = std::move(*attributes);
        }
    } else if (errno == ENOENT) {
        to.mode_ = (source.permissions() | 0600) & 0777;
        to.target_ = {to.native_.folderId, to.leaf_.native()};
        if (links == Links::Follow) {
            struct stat link {};
            to.danglingLink_ = ::fstatat(to.native_.folder, leaf, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode);
        }
    } else {
        return to.Fail(errno);
    }

    CORVANE_TRY_VALUE(unnamed, UnnamedTemporaryWanted());
#ifdef O_TMPFILE
    if (*unnamed) {
        const int fd = ApartFromStandardStreams(
            ::openat(to.native_.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, to.CreationMode()));
        if (fd >= 0) {
            to.file_ = OsFile(fd, true, to.name_);
            to.kind_ = Kind::Unnamed;
            return to;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return to.Fail(errno);
    }
#endif
    const NamesChanging change;
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string candidate = TemporaryName();
        const int fd = ApartFromStandardStreams(::openat(
            to.native_.folder, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, to.CreationMode()));
        if (fd >= 0) {
            to.file_ = OsFile(fd, true, to.name_);
            to.kind_ = Kind::Named;
            to.temporary_ = candidate;
            to.native_.inFlight = RegisterInFlight(to.native_.folder, candidate);
            return to;
        }
        if (errno != EEXIST) return to.Fail(errno);
    }
    return to.Fail(EEXIST);
}

Destination::~Destination()
{
    static_cast<void>(file_.Close());
    if (!temporary_.empty()) {
        const NamesChanging change;
        ::unlinkat(native_.folder, temporary_.c_str(), 0);
        UnregisterInFlight(std::exchange(native_.inFlight, -1));
    }
    // The folder is closed with its last destination (native_.folderHandle).
}

std::optional<Error> Destination::Commit()
{
    if (kind_ == Kind::Stream) {
        kind_ = Kind::Done;
        return file_.Close();
    }
    if (!parked_) {
        CORVANE_TRY(Flush());
        CORVANE_TRY(Park());
    } else if (!flushed_) {
        return Fail(EIO);  // a parked file is flushed by FlushAll before it may be put in place
    }
    const NamesChanging change;
    if (kind_ == Kind::Unnamed) {
        // A new result, on disk and still without a name, takes the destination's name itself:
        // there is nothing to replace, so no hidden name comes between. A name taken since the
        // destination was opened is replaced as any destination is.
        const int failure = LinkUnnamed(leaf_.c_str());
        if (failure == 0) {
            kind_ = Kind::Done;
            committed_ = true;
            // Its bytes are already on disk: closing can no longer lose any of them.
            static_cast<void>(file_.Close());
            return std::nullopt;
        }
        if (failure != EEXIST) return Fail(failure);
        CORVANE_TRY(NameHidden());
    }
    if (::renameat(native_.folder, temporary_.c_str(), native_.folder, leaf_.c_str()) != 0) {
        return Fail(errno, "Cannot replace");
    }
    UnregisterInFlight(std::exchange(native_.inFlight, -1));
    temporary_.clear();
    kind_ = Kind::Done;
    committed_ = true;
    return std::nullopt;
}

// Links the unnamed file at `name` in the folder; 0, or the system's error number.
int Destination::LinkUnnamed(const char* name) const
{
    const int fd = file_.handle();
    // Linking by descriptor needs CAP_DAC_READ_SEARCH; /proc names the same file.
    if (::linkat(fd, "", native_.folder, name, AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    char viaProc[64];
    std::snprintf(viaProc, sizeof viaProc, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, viaProc, native_.folder, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Gives the unnamed file a fresh hidden name of the transform's own, and closes it: a file that
// is to replace another takes its place by rename, since linkat cannot replace a file. Call
// inside a NamesChanging.
std::optional<Error> Destination::NameHidden()
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string hidden = TemporaryName();
        const int failure = LinkUnnamed(hidden.c_str());
        if (failure == EEXIST) continue;
        if (failure != 0) return Fail(failure);
        temporary_ = hidden;
        native_.inFlight = RegisterInFlight(native_.folder, hidden);
        kind_ = Kind::Named;
        return file_.Close();
    }
    return Fail(EEXIST);
}

// For a batch, once the bytes are written. A file that replaces another gets its hidden name
// now and holds no descriptor while it waits; a new result keeps its descriptor and no name, so
// that a kill leaves nothing of it (the batch bounds how many wait at once).
std::optional<Error> Destination::Park()
{
    if (parked_ || (kind_ != Kind::Unnamed && kind_ != Kind::Named)) return std::nullopt;
    CORVANE_TRY(GivePermissions());
    if (kind_ == Kind::Unnamed && existed_) {
        const NamesChanging change;
        CORVANE_TRY(NameHidden());
    } else if (kind_ == Kind::Named) {
        CORVANE_TRY(file_.Close());
    }
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
    if (const int code = ApplyKeptAttributes(fd, native_.attributes)) {
        return Fail(code, "Cannot keep the ACL and extended attributes of");
    }
    // After fchown, which clears set-user-ID bits, and after the ACL, whose bits agree with it.
    if (::fchmod(fd, static_cast<mode_t>(mode_)) != 0 && !refused()) return Fail(errno);
    return std::nullopt;
}

}  // namespace corvane::detail
