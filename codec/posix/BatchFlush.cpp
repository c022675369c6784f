// A batch's shared flushes on POSIX: one syncfs for each file system, one fsync for each folder.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "codec/OsFile.h"
#include "codec/posix/Posix.h"

namespace corvane::detail {

std::vector<std::optional<Error>> Destination::FlushAll(std::span<Destination* const> destinations)
{
    // One syncfs for each file system: the data of every file is on disk before any of them is
    // renamed, at the cost of one journal commit rather than one for each file.
    std::vector<std::pair<std::uint64_t, int>> flushed;  // file system, and the error of its flush
    std::vector<std::optional<Error>> errors(destinations.size());
    for (std::size_t i = 0; i < destinations.size(); ++i) {
        Destination& to = *destinations[i];
        if (to.kind_ == Kind::Stream || to.kind_ == Kind::Done || to.flushed_) continue;
        const std::uint64_t device = to.native_.folderId.device;
        auto known = std::find_if(flushed.begin(), flushed.end(), [&](const auto& f) { return f.first == device; });
        if (known == flushed.end()) {
            flushed.emplace_back(device, ::syncfs(to.native_.folder) == 0 ? 0 : errno);
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
    // Without this a rename may not survive a power loss, and the old file would be back. Some
    // file systems cannot flush a folder (EINVAL): there is nothing more to do there.
    std::vector<std::pair<FileId, int>> flushed;  // folder, and the error of its flush
    std::vector<std::optional<Error>> warnings(destinations.size());
    for (std::size_t i = 0; i < destinations.size(); ++i) {
        Destination& to = *destinations[i];
        if (!to.committed_) continue;
        to.committed_ = false;
        const FileId& folder = to.native_.folderId;
        auto known = std::find_if(flushed.begin(), flushed.end(), [&](const auto& f) { return f.first == folder; });
        if (known == flushed.end()) {
            int flushFailure = Faults().folderFlushError.load();
            if (flushFailure == 0 && to.native_.folderFlushable && ::fsync(to.native_.folder) != 0 && errno != EINVAL) flushFailure = errno;
            known = flushed.emplace(flushed.end(), folder, flushFailure);
        }
        if (const int failure = known->second) warnings[i] = to.Fail(failure, "Written, but cannot flush the folder of");
    }
    return warnings;
}

// A replacing file waits under a name the clean-up handler must hold; a new result waits open,
// holding a descriptor. The soft open-files limit is raised once toward twice a full group (as
// far as the hard limit allows), and a group takes at most half of it: the rest stays for the
// program. Should the descriptors still run out, the file that finds none waits for the group to
// be in place and is tried once more.
std::size_t Destination::MostWaitingAtOnce()
{
    static constexpr std::size_t kMostNames = kInFlightSlots - 64;
    static const std::size_t most = [] {
        rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return std::size_t{64};
        const rlim_t wanted = 2 * kMostNames + 256;
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
            rlimit raised = limit;
            raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min<rlim_t>(wanted, limit.rlim_max);
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
        }
        if (limit.rlim_cur == RLIM_INFINITY) return kMostNames;
        return std::clamp<std::size_t>(static_cast<std::size_t>(limit.rlim_cur / 2), 16, kMostNames);
    }();
    return most;
}

}  // namespace corvane::detail
