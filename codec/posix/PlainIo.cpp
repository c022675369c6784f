// Plain I/O on POSIX: a source opened and read, a file written and flushed, the error numbers
// the transform raises itself.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <linux/magic.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "codec/FileTransform.h"
#include "codec/OsFile.h"
#include "codec/posix/Posix.h"

namespace corvane {

const std::int32_t kErrorCancelled = ECANCELED;

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
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

// A descriptor the codec opens never takes the number of a closed standard stream: a source
// opened as 1 would be "standard output", and a message meant for a closed standard error would
// be written into a result opened as 2. Such a descriptor is moved above them; -1 stays -1.
int ApartFromStandardStreams(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int code = errno;
    ::close(fd);
    errno = code;
    return moved;
}

namespace {

constexpr off_t kSequentialFrom = off_t{1} << 20;

// Whether a file's reported size may differ from what reading it gives: the files of the
// kernel's pseudo file systems report 0 (/proc) or a page (sysfs) whatever they hold. The last
// device found to be an ordinary file system is remembered, so that a batch of many files from
// one disk asks once.
bool SizeIsNotLength(int fd, dev_t device)
{
    static std::atomic<dev_t> ordinary{0};
    if (device != 0 && ordinary.load(std::memory_order_relaxed) == device) return false;
    struct statfs system {};
    if (::fstatfs(fd, &system) != 0) return false;
    switch (static_cast<unsigned long>(system.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case 0x62656570:  // configfs, whose number the system's headers do not name
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
        return true;
    default:
        ordinary.store(device, std::memory_order_relaxed);
        return false;
    }
}

}  // namespace

ErrorOr<OsFile> OsFile::OpenSource(const std::filesystem::path& path)
{
    const std::string name = DisplayName(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    const int fd = ApartFromStandardStreams(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd < 0) return SystemError(errno, "Cannot open", name);
    OsFile file(fd, true, name);

    struct stat info {};
    if (::fstat(fd, &info) != 0) return SystemError(errno, "Cannot read", name);
    if (S_ISDIR(info.st_mode)) return SystemError(kErrorIsFolder, "Cannot read", name);
    if (!S_ISREG(info.st_mode)) return ProblemError(EINVAL, "Cannot read", name, "not a regular file");
    // O_NONBLOCK is the only status flag it was opened with.
    ::fcntl(fd, F_SETFL, 0);
    // Read-ahead matters only beyond the first read, which asks for a whole chunk.
    if (info.st_size > kSequentialFrom) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    file.permissions_ = info.st_mode & 0777;
    file.sizeIsLength_ = !SizeIsNotLength(fd, info.st_dev);
    file.id_ = FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
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
                return CancelledError(ECANCELED, "Writing", name_);
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

}  // namespace detail
}  // namespace corvane
