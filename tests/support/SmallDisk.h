// A small file system to fill up for real. POSIX only: it mounts a tmpfs.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

namespace corvane::testing {

// A 64 KiB tmpfs mounted at `folder` for the life of this object, to fill up for real.
// Mounting needs root; `why` says what kept it from being mounted.
class SmallDisk {
public:
    explicit SmallDisk(std::filesystem::path folder) : folder_(std::move(folder))
    {
        std::filesystem::create_directories(folder_);
        if (::geteuid() != 0) {
            why_ = "mounting a small file system needs root";
        } else if (::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") != 0) {
            why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        }
    }
    ~SmallDisk()
    {
        if (why_.empty()) ::umount(folder_.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return why_.empty(); }
    const std::string& Why() const { return why_; }
    const std::filesystem::path& path() const { return folder_; }

private:
    std::filesystem::path folder_;
    std::string why_;
};

}  // namespace corvane::testing
