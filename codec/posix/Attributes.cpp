// The ACL and user extended attributes a replaced file passes on to the file that replaces it.
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "codec/Describe.h"
#include "codec/posix/Posix.h"

namespace corvane::detail {

namespace {

// The access list a file's permission bits are part of, as the system stores it.
constexpr char kAccessList[] = "system.posix_acl_access";

bool IsKeptAttribute(std::string_view name) { return name == kAccessList || name.rfind("user.", 0) == 0; }

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

}  // namespace

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

int ApplyKeptAttributes(int fd, const Attributes& kept)
{
    // The user's attributes before the ACL, which may take the caller's write access away. The
    // file was made with the folder's default ACL, if any: it goes when the replaced file had no
    // ACL of its own, or it would reach further than the replaced file did.
    bool accessList = false;
    for (const auto& [name, value] : kept) {
        if (name == kAccessList) {
            accessList = true;
        } else if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
            return errno;
        }
    }
    for (const auto& [name, value] : kept) {
        if (name == kAccessList && ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return errno;
    }
    if (!accessList && ::fremovexattr(fd, kAccessList) != 0 && errno != ENODATA && errno != ENOTSUP &&
        errno != EOPNOTSUPP) {
        return errno;
    }
    return 0;
}

}  // namespace corvane::detail
