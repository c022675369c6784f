// The file layer on Windows. The same rules as on POSIX where they have a meaning: the
// read-only attribute refuses a destination, devices are written as streams, and the complete
// temporary file replaces the destination with a write-through move.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <atomic>
#include <mutex>
#include <utility>

#include "codec/FileTransform.h"
#include "codec/OsFile.h"

namespace corvane {

namespace {

// The one named temporary file in flight, for the console handler. The path is written before
// the flag is set and only read after it.
std::atomic<bool> gInFlightClaimed{false};
std::atomic<bool> gInFlightSet{false};
wchar_t gInFlightPath[32768];

std::atomic<void (*)()> gFirst{nullptr};

BOOL WINAPI RemoveInFlight(DWORD)
{
    if (void (*first)() = gFirst.load()) first();
    // The file was opened with FILE_SHARE_DELETE: it goes when the process ends.
    if (gInFlightSet.load()) ::DeleteFileW(gInFlightPath);
    return FALSE;  // the default handler then ends the process
}

}  // namespace

const std::int32_t kErrorCancelled = ERROR_CANCELLED;

namespace {
FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info)
{
    return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// Which file `path` names, opened for no access at all (which works on a file in use, and on a
// folder) and following links.
std::optional<FileIdentity> IdentityOfPath(const std::filesystem::path& path)
{
    HANDLE probe = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(probe, &info);
    ::CloseHandle(probe);
    if (!known) return std::nullopt;
    return IdentityFrom(info);
}
}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) { return IdentityOfPath(path); }

void InstallTemporaryFileCleanup(void (*first)())
{
    gFirst.store(first);
    ::SetConsoleCtrlHandler(RemoveInFlight, TRUE);
}

void RemoveTemporaryFilesInFlight()
{
    if (gInFlightSet.load()) ::DeleteFileW(gInFlightPath);
}

CleanupSignalsHeld::CleanupSignalsHeld() = default;
CleanupSignalsHeld::~CleanupSignalsHeld() = default;

namespace detail {

bool OnCleanupThread() { return true; }

bool CleanupStarted() { return false; }

namespace {
std::uint64_t Ticks(const FILETIME& time) { return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }
}  // namespace

Writer ThisWriter()
{
    static const Writer self = [] {
        FILETIME creation{}, exit{}, kernel{}, user{};
        ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
        return Writer{static_cast<std::uint32_t>(::GetCurrentProcessId()), Ticks(creation)};
    }();
    return self;
}

bool WriterGone(const Writer& writer)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, writer.process);
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    FILETIME creation{}, exit{}, kernel{}, user{};
    DWORD code = 0;
    const bool known = ::GetProcessTimes(process, &creation, &exit, &kernel, &user);
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return known && (!running || Ticks(creation) != writer.start);
}

namespace {
// Removes from `folder` the temporary files of writers that have ended: what a kill or a power
// cut left of their work.
void RemoveLeftovers(const std::filesystem::path& folder)
{
    WIN32_FIND_DATAW found{};
    const std::filesystem::path pattern = (folder.empty() ? std::filesystem::path(L".") : folder) / L".cv*";
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring_view wide = found.cFileName;
        if (std::any_of(wide.begin(), wide.end(), [](wchar_t c) { return c > 0x7F; })) continue;
        const std::string name(wide.begin(), wide.end());
        const std::optional<Writer> writer = WriterOfTemporaryName(name);
        if (writer && !(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            WriterGone(*writer)) {
            ::DeleteFileW((pattern.parent_path() / wide).c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}
}  // namespace

NamesChanging::NamesChanging() = default;
NamesChanging::~NamesChanging() = default;

namespace {
// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kMaxTransfer = 1u << 30;

bool RegisterInFlight(const std::filesystem::path& path)
{
    const std::wstring& text = path.native();
    if (text.size() >= std::size(gInFlightPath) || gInFlightClaimed.exchange(true)) return false;
    std::copy(text.begin(), text.end(), gInFlightPath);
    gInFlightPath[text.size()] = L'\0';
    gInFlightSet.store(true);
    return true;
}

void UnregisterInFlight(const std::filesystem::path& path)
{
    if (gInFlightSet.load() && path.native() == gInFlightPath) {
        gInFlightSet.store(false);
        gInFlightClaimed.store(false);
    }
}

FileState StateOf(const BY_HANDLE_FILE_INFORMATION& info, const FILE_BASIC_INFO& basic)
{
    const std::int64_t change = basic.ChangeTime.QuadPart;  // in 100 ns steps
    return {(std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow, change / 10000000,
            (change % 10000000) * 100};
}
}  // namespace

// What Windows itself answers when a folder is opened as a file.
const int kErrorIsFolder = ERROR_ACCESS_DENIED;
const int kErrorOutOfMemory = ERROR_NOT_ENOUGH_MEMORY;
// A file that changed while it was read is a passing state: trying again can succeed.
const int kErrorChanged = ERROR_RETRY;
const int kErrorSameFile = ERROR_INVALID_PARAMETER;
const int kErrorInternal = ERROR_INTERNAL_ERROR;
const int kErrorBadChoice = ERROR_INVALID_PARAMETER;

int LastErrorCode() { return static_cast<int>(::GetLastError()); }

ErrorOr<OsFile> OsFile::OpenSource(const std::filesystem::path& path)
{
    const std::string name = DisplayName(path);
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS: it fails here already.
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return SystemError(LastErrorCode(), "Cannot open", name);
    OsFile file(handle, true, name);
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        return ProblemError(ERROR_INVALID_PARAMETER, "Cannot read", name, "not a regular file");
    }
    CORVANE_TRY_VALUE(state, file.State());
    file.opened_ = *state;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info)) file.id_ = IdentityFrom(info);
    return file;
}

OsFile OsFile::StandardInput()
{
    return OsFile(::GetStdHandle(STD_INPUT_HANDLE), false, "standard input");
}

OsFile OsFile::StandardOutput()
{
    return OsFile(::GetStdHandle(STD_OUTPUT_HANDLE), false, "standard output");
}

ErrorOr<FileState> OsFile::State() const
{
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(handle_, &info) ||
        !::GetFileInformationByHandleEx(handle_, FileBasicInfo, &basic, sizeof basic)) {
        return SystemError(LastErrorCode(), "Cannot read", name_);
    }
    return StateOf(info, basic);
}

ErrorOr<std::size_t> OsFile::ReadFull(std::span<std::uint8_t> buffer)
{
    std::size_t got = 0;
    while (got < buffer.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(buffer.size() - got, kMaxTransfer));
        if (!::ReadFile(handle_, buffer.data() + got, want, &n, nullptr)) {
            const int code = LastErrorCode();
            if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) break;  // writer gone: the end
            return SystemError(code, "Cannot read", name_);
        }
        if (n == 0) break;
        got += n;
    }
    bytesRead_ += got;
    return got;
}

std::optional<Error> OsFile::WriteAll(std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min(bytes.size() - done, kMaxTransfer));
        if (!::WriteFile(handle_, bytes.data() + done, want, &n, nullptr)) {
            return SystemError(LastErrorCode(), "Cannot write", name_);
        }
        if (n == 0) return SystemError(ERROR_WRITE_FAULT, "Cannot write", name_);
        done += n;
    }
    return std::nullopt;
}

std::optional<Error> OsFile::FlushToDisk()
{
    if (::FlushFileBuffers(handle_)) return std::nullopt;
    return SystemError(LastErrorCode(), "Cannot write", name_);
}

std::optional<Error> OsFile::Close()
{
    if (!owned_) return std::nullopt;
    owned_ = false;
    if (::CloseHandle(handle_)) return std::nullopt;
    return SystemError(LastErrorCode(), "Cannot write", name_);
}

std::optional<Error> RefuseSameFile(const OsFile& source, const OsFile& output)
{
    BY_HANDLE_FILE_INFORMATION in{};
    BY_HANDLE_FILE_INFORMATION out{};
    if (::GetFileType(output.handle()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(source.handle(), &in) ||
        !::GetFileInformationByHandle(output.handle(), &out)) {
        return std::nullopt;
    }
    if (in.dwVolumeSerialNumber != out.dwVolumeSerialNumber || in.nFileIndexHigh != out.nFileIndexHigh ||
        in.nFileIndexLow != out.nFileIndexLow) {
        return std::nullopt;
    }
    return ProblemError(kErrorSameFile, "Cannot read", source.name(), "input file is output file");
}

ErrorOr<Destination> Destination::Open(const std::filesystem::path& path, const OsFile&, Links links,
                                       const Destination* beside)
{
    Destination to;
    to.name_ = DisplayName(path);
    to.path_ = path;
    // Links (symbolic links, junctions) show as reparse points, without being followed.
    const auto isLink = [](const std::filesystem::path& name) {
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (links == Links::Refuse && isLink(path.parent_path())) {
        return ProblemError(ERROR_CANT_ACCESS_FILE, "Cannot write into", DisplayName(path.parent_path()),
                            "it is a symbolic link, not a folder");
    }
    if (links == Links::Refuse && isLink(path)) {
        return ProblemError(ERROR_CANT_ACCESS_FILE, "Cannot write", to.name_, "it is a symbolic link, not a file");
    }

    // Opened for no access at all, which works on a file in use, and following links.
    HANDLE probe = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        const DWORD type = ::GetFileType(probe);
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = type == FILE_TYPE_DISK && ::GetFileInformationByHandle(probe, &info);
        ::CloseHandle(probe);
        if ((type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) && links == Links::Refuse) {
            return ProblemError(ERROR_INVALID_PARAMETER, "Cannot write", to.name_, "not a regular file");
        }
        if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
            HANDLE stream = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
            if (stream == INVALID_HANDLE_VALUE) return to.Fail(LastErrorCode());
            to.file_ = OsFile(stream, true, to.name_);
            to.kind_ = Kind::Stream;
            return to;
        }
        if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return to.Fail(kErrorIsFolder);
        if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) return to.Fail(ERROR_ACCESS_DENIED);
        to.existed_ = known;
        if (known) to.target_ = {IdentityFrom(info), {}};
    } else if (links == Links::Follow) {
        // A symbolic link or junction at the name whose target is missing, which an earlier
        // file of a batch may be about to make: as on POSIX, the batch codes this file once the
        // earlier ones are in place, when the name stands for the file they made.
        const int code = LastErrorCode();
        to.danglingLink_ = (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) && isLink(path);
    }

    const std::filesystem::path folder = path.parent_path();
    // Once for a batch's files in one folder.
    if (!beside || beside->path_.parent_path() != folder) RemoveLeftovers(folder);
    if (!to.existed_) {
        // A name not yet taken: its folder, and the name as the folder tells names apart, which
        // ignores case.
        std::wstring leaf = path.filename().native();
        ::CharUpperBuffW(leaf.data(), static_cast<DWORD>(leaf.size()));
        to.target_ = {IdentityOfPath(folder.empty() ? std::filesystem::path(L".") : folder).value_or(FileIdentity{}),
                      std::move(leaf)};
    }
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::filesystem::path candidate = folder / TemporaryName();
        // Shared for deletion only, so that the console handler can remove it. Made with no
        // attribute of the source's (read-only, hidden, system): the result can always be coded
        // again, and shows in the lists.
        HANDLE handle = ::CreateFileW(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            to.file_ = OsFile(handle, true, to.name_);
            to.kind_ = Kind::Named;
            to.temporary_ = std::move(candidate);
            RegisterInFlight(to.temporary_);
            return to;
        }
        const int code = LastErrorCode();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) return to.Fail(code);
    }
    return to.Fail(ERROR_FILE_EXISTS);
}

Destination::~Destination()
{
    static_cast<void>(file_.Close());
    if (!temporary_.empty()) {
        ::DeleteFileW(temporary_.c_str());
        UnregisterInFlight(temporary_);
    }
}

// Windows has no flush of a whole volume for an ordinary user: each file is flushed on its own.
std::vector<std::optional<Error>> Destination::FlushAll(std::span<Destination* const> destinations)
{
    std::vector<std::optional<Error>> errors(destinations.size());
    for (std::size_t i = 0; i < destinations.size(); ++i) errors[i] = destinations[i]->Flush();
    return errors;
}

// The move was written through to disk: there is nothing left to flush.
std::vector<std::optional<Error>> Destination::FlushFolders(std::span<Destination* const> destinations)
{
    return std::vector<std::optional<Error>>(destinations.size());
}

// Each waiting file keeps its handle open to be flushed: a small group.
std::size_t Destination::MostWaitingAtOnce() { return 64; }

std::optional<Error> Destination::Park() { return std::nullopt; }

std::optional<Error> Destination::Commit()
{
    if (kind_ == Kind::Stream) {
        kind_ = Kind::Done;
        return file_.Close();
    }
    CORVANE_TRY(Flush());
    CORVANE_TRY(file_.Close());
    // Write-through: the move is on disk before success is reported.
    if (!::MoveFileExW(temporary_.c_str(), path_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Fail(LastErrorCode(), "Cannot replace");
    }
    UnregisterInFlight(temporary_);
    temporary_.clear();
    kind_ = Kind::Done;
    return std::nullopt;
}

void PrepareProcess() {}

}  // namespace detail
}  // namespace corvane
