// The writers of temporary files: which process this is, whether another has ended, and the
// removal of what ended writers left behind.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "codec/OsFile.h"
#include "codec/posix/Posix.h"

namespace corvane::detail {

namespace {
// When process `process` started, in clock ticks after boot (the 22nd field of its stat file
// under /proc); nothing when it cannot be read.
std::optional<std::uint64_t> StartOf(std::uint32_t process)
{
    char path[48];
    std::snprintf(path, sizeof path, "/proc/%u/stat", static_cast<unsigned>(process));
    std::ifstream stat(path);
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    // The fields after the name, which may hold spaces and parentheses, start after its last ')'.
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(nameEnd + 1));
    std::string field;
    for (int number = 3; number <= 22; ++number) {
        if (!(fields >> field)) return std::nullopt;
    }
    return std::strtoull(field.c_str(), nullptr, 10);
}
}  // namespace

Writer ThisWriter()
{
    static const Writer self{static_cast<std::uint32_t>(::getpid()), StartOf(static_cast<std::uint32_t>(::getpid())).value_or(0)};
    return self;
}

bool WriterGone(const Writer& writer)
{
    if (::kill(static_cast<pid_t>(writer.process), 0) != 0 && errno == ESRCH) return true;
    // A process of that id runs: the writer only if it started when the writer did.
    const std::optional<std::uint64_t> start = StartOf(writer.process);
    return start && *start != writer.start;
}

// Removes from `folder` the temporary files of writers that have ended: what a SIGKILL or a
// power cut left of their work. Only regular files with a name of the transform's own go; a
// folder that cannot be listed is left as it is.
void RemoveLeftovers(int folder)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        const std::optional<Writer> writer = WriterOfTemporaryName(entry->d_name);
        if (!writer || !WriterGone(*writer)) continue;
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            ::unlinkat(folder, entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

}  // namespace corvane::detail
