// Parts of the file layer shared by every system.
#include <algorithm>
#include <random>

#include "Describe.h"
#include "FileTransform.h"
#include "OsFile.h"

namespace corvane {

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr std::string_view kTemporaryPrefix = ".cv";
// The prefix, the writer's process id (8 hex digits) and start (16), a random part (8), and a
// check over all of it (8).
constexpr std::size_t kTemporaryNameSize = 3 + 8 + 16 + 8 + 8;

void AppendHex(std::string& text, std::uint64_t value, int digits)
{
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kHex[(value >> shift) & 0xF];
}

std::optional<std::uint64_t> ParseHex(std::string_view digits)
{
    std::uint64_t value = 0;
    for (const char c : digits) {
        const char* at = std::find(kHex, kHex + 16, c);
        if (at == kHex + 16) return std::nullopt;
        value = (value << 4) | static_cast<std::uint64_t>(at - kHex);
    }
    return value;
}

// FNV-1a over `text`, salted with the program's own words: a name of the right shape that a
// person or another program made by chance fails it but once in four thousand million.
std::uint32_t Check(std::string_view text)
{
    std::uint32_t hash = 2166136261u;
    for (const std::string_view part : {std::string_view("corvane temporary file"), text}) {
        for (const char c : part) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

}  // namespace

bool IsTemporaryName(std::string_view fileName) { return detail::WriterOfTemporaryName(fileName).has_value(); }

namespace detail {

InjectedFaults& Faults()
{
    static InjectedFaults faults;
    return faults;
}

Destination::Destination(Destination&& other) noexcept
    : kind_(std::exchange(other.kind_, Kind::Done)),
      file_(std::move(other.file_)),
      name_(std::move(other.name_)),
      path_(std::move(other.path_)),
      leaf_(std::move(other.leaf_)),
      temporary_(std::exchange(other.temporary_, {})),
      native_(std::exchange(other.native_, {})),
      target_(std::move(other.target_)),
      danglingLink_(other.danglingLink_),
      parked_(other.parked_),
      existed_(other.existed_),
      flushed_(other.flushed_),
      committed_(other.committed_),
      mode_(other.mode_),
      owner_(other.owner_),
      group_(other.group_)
{
}

std::optional<Error> Destination::Flush()
{
    if (kind_ == Kind::Stream || kind_ == Kind::Done || flushed_) return std::nullopt;
    CORVANE_TRY(file_.FlushToDisk());
    flushed_ = true;
    return std::nullopt;
}

std::optional<Error> Destination::FlushFolder()
{
    Destination* self = this;
    return FlushFolders({&self, 1}).front();
}

std::string TemporaryNameOf(const Writer& writer)
{
    static thread_local std::mt19937 generator{std::random_device{}()};
    std::string name(kTemporaryPrefix);
    AppendHex(name, writer.process, 8);
    AppendHex(name, writer.start, 16);
    AppendHex(name, generator(), 8);
    AppendHex(name, Check(name), 8);
    return name;
}

std::string TemporaryName() { return TemporaryNameOf(ThisWriter()); }

std::optional<Writer> WriterOfTemporaryName(std::string_view name)
{
    if (name.size() != kTemporaryNameSize || name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix) return std::nullopt;
    const std::string_view checked = name.substr(0, kTemporaryNameSize - 8);
    const auto check = ParseHex(name.substr(kTemporaryNameSize - 8));
    const auto process = ParseHex(name.substr(3, 8));
    const auto start = ParseHex(name.substr(11, 16));
    if (!check || !process || !start || !ParseHex(name.substr(27, 8)) || *check != Check(checked)) return std::nullopt;
    return Writer{static_cast<std::uint32_t>(*process), *start};
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
