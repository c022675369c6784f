// The file layer on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

#include "OsFile.h"

namespace corvane::detail {

const int kErrorIsFolder = EISDIR;
const int kErrorOutOfMemory = ENOMEM;

int LastErrorCode() { return errno; }

std::optional<Error> OsFile::OpenSource(const std::filesystem::path& path, OsFile& out)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return SystemError(errno, "Cannot open", DisplayName(path));
    out = OsFile(fd, true);

    struct stat info {};
    if (::fstat(fd, &info) != 0) return SystemError(errno, "Cannot read", DisplayName(path));
    if (S_ISDIR(info.st_mode)) return SystemError(kErrorIsFolder, "Cannot read", DisplayName(path));
    if (!S_ISREG(info.st_mode)) {
        return Error{EINVAL, "Cannot read '" + DisplayName(path) + "': not a regular file"};
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::nullopt;
}

int OsFile::CreateTemporary(const std::filesystem::path& folder, OsFile& out,
                            std::filesystem::path& created)
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::filesystem::path candidate = folder / TemporaryName();
        // Mode 0666 under the umask: the result gets the permissions of any new file.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            out = OsFile(fd, true);
            created = std::move(candidate);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

OsFile OsFile::StandardInput() { return OsFile(STDIN_FILENO, false); }
OsFile OsFile::StandardOutput() { return OsFile(STDOUT_FILENO, false); }

int OsFile::ReadFull(std::span<std::uint8_t> buffer, std::size_t& got)
{
    got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(handle_, buffer.data() + got, buffer.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

int OsFile::WriteAll(std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(handle_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0) {
            return EIO;
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

int OsFile::FlushToDisk() { return ::fsync(handle_) == 0 ? 0 : errno; }

int OsFile::Close()
{
    if (!owned_) return 0;
    owned_ = false;
    // On Linux the descriptor is gone even when close() reports EINTR: never retry.
    return ::close(handle_) == 0 || errno == EINTR ? 0 : errno;
}

bool IsFolder(const std::filesystem::path& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void RemoveFile(const std::filesystem::path& path) noexcept { ::unlink(path.c_str()); }

void PrepareProcess()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace corvane::detail
