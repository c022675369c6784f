// Parts of the file layer shared by every system.
#include <random>

#include "Describe.h"
#include "FileTransform.h"
#include "OsFile.h"

namespace corvane {

bool IsTemporaryName(std::string_view fileName)
{
    if (fileName.size() != 11 || fileName.substr(0, 3) != ".cv") return false;
    for (const char c : fileName.substr(3)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

namespace detail {

InjectedFaults& Faults()
{
    static InjectedFaults faults;
    return faults;
}

std::optional<Error> Destination::Flush()
{
    if (kind_ == Kind::Stream || kind_ == Kind::Done || flushed_) return std::nullopt;
    CORVANE_TRY(file_.FlushToDisk());
    flushed_ = true;
    return std::nullopt;
}

std::string TemporaryName()
{
    static thread_local std::mt19937 generator{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = ".cv";
    std::uint32_t bits = generator();
    for (int i = 0; i < 8; ++i, bits >>= 4) name += kHex[bits & 0xF];
    return name;
}

OsFile::OsFile(OsFile&& other) noexcept
    : handle_(other.handle_),
      owned_(other.owned_),
      name_(std::move(other.name_)),
      permissions_(other.permissions_),
      opened_(other.opened_),
      sizeIsLength_(other.sizeIsLength_),
      id_(other.id_),
      bytesRead_(other.bytesRead_),
      cancel_(other.cancel_)
{
    other.owned_ = false;
}

OsFile& OsFile::operator=(OsFile&& other) noexcept
{
    if (this != &other) {
        static_cast<void>(Close());
        handle_ = other.handle_;
        owned_ = other.owned_;
        name_ = std::move(other.name_);
        permissions_ = other.permissions_;
        opened_ = other.opened_;
        sizeIsLength_ = other.sizeIsLength_;
        id_ = other.id_;
        bytesRead_ = other.bytesRead_;
        cancel_ = other.cancel_;
        other.owned_ = false;
    }
    return *this;
}

OsFile::~OsFile() { static_cast<void>(Close()); }

std::optional<Error> OsFile::CheckUnchanged() const
{
    if (!opened_) return std::nullopt;
    CORVANE_TRY_VALUE(now, State());
    // A pseudo file (under /proc or /sys) reports a length (0, or a page) that is not what it
    // holds: for it only a changed length or change time tells.
    const bool lengthRead = bytesRead_ == opened_->size || !sizeIsLength_ || (opened_->size == 0 && now->size == 0);
    if (*now == *opened_ && lengthRead) return std::nullopt;
    return ProblemError(kErrorChanged, "Cannot read", name_, "file changed while being read");
}

Error Destination::Fail(int code, std::string_view what) const
{
    return SystemError(code, what, name_);
}

}  // namespace detail
}  // namespace corvane
