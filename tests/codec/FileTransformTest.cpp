#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "codec/FileTransform.h"
#include "codec/OsFile.h"
#include "support/Coded.h"
#include "support/Companion.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::Bytes;
using testing::Encoded;
using testing::AwaitCondition;
using testing::WaitStatus;
using testing::FileNames;
using testing::FirstDifference;
using testing::ReadBytes;
using testing::WriteBytes;

class FileTransform : public ::testing::Test {
protected:
    testing::TempDir dir;
};

TEST_F(FileTransform, RoundTripsAnyContentAcrossChunkEdges)
{
    Bytes ramp(256);
    for (int i = 0; i < 256; ++i) ramp[i] = static_cast<std::uint8_t>(i);
    const struct {
        const char* name;
        Bytes content;
    } cases[] = {
        {"empty", {}},
        {"one byte", {0xA5}},
        {"ramp", ramp},
        {"all 0xFF", Bytes(3000, 0xFF)},
        {"three chunks and a bit", testing::RandomBytes((3 << 20) + 5, 11)},
    };
    for (const auto& c : cases) {
        WriteBytes(dir / "plain", c.content);
        ASSERT_FALSE(EncodeFile(dir / "plain", dir / "coded")) << c.name;
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "coded"), Encoded(c.content)), "") << c.name;
        ASSERT_FALSE(DecodeFile(dir / "coded", dir / "again")) << c.name;
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "again"), c.content), "") << c.name;
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "plain"), c.content), "") << "source changed: " << c.name;
    }
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"again", "coded", "plain"}));
}

TEST_F(FileTransform, ControlReportsProgressAndACancelLeavesNothing)
{
    const Bytes plain = testing::RandomBytes((2 << 20) + 7, 5);
    WriteBytes(dir / "plain", plain);
    TransformControl progress;
    ASSERT_FALSE(TransformFile(Coding::Encode, Endpoint::File(dir / "plain"), Endpoint::File(dir / "coded"),
                               &progress));
    EXPECT_EQ(progress.total.load(), plain.size());
    EXPECT_EQ(progress.done.load(), plain.size());

    WriteBytes(dir / "old", {9, 9, 9});
    for (const char* destination : {"old", "new"}) {
        SCOPED_TRACE(destination);
        TransformControl cancelled;
        cancelled.cancel = true;
        const auto error = TransformFile(Coding::Encode, Endpoint::File(dir / "plain"),
                                         Endpoint::File(dir / destination), &cancelled);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, kErrorCancelled);
        EXPECT_EQ(cancelled.done.load(), 0u);
    }
    EXPECT_EQ(ReadBytes(dir / "old"), (Bytes{9, 9, 9}));
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"coded", "old", "plain"}));
}

TEST_F(FileTransform, SamePathIsReplacedByItsCodedContent)
{
    const Bytes plain = testing::RandomBytes(5000, 3);
    WriteBytes(dir / "file", plain);
    ASSERT_FALSE(EncodeFile(dir / "file", dir / "file"));
    EXPECT_EQ(FirstDifference(ReadBytes(dir / "file"), Encoded(plain)), "");
    ASSERT_FALSE(DecodeFile(dir / "file", dir / "file"));
    EXPECT_EQ(FirstDifference(ReadBytes(dir / "file"), plain), "");
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"file"});
}

TEST_F(FileTransform, LongerDestinationEndsAtTheNewLength)
{
    WriteBytes(dir / "source", {1, 2, 3});
    WriteBytes(dir / "destination", Bytes(10000, 0x55));
    ASSERT_FALSE(EncodeFile(dir / "source", dir / "destination"));
    EXPECT_EQ(ReadBytes(dir / "destination"), (Bytes{1, 3, 6}));
}

TEST_F(FileTransform, DestinationLinkIsReplacedAndItsTargetLeftAlone)
{
    WriteBytes(dir / "source", {1, 1});
    WriteBytes(dir / "target", {9});
    std::filesystem::create_symlink(dir / "target", dir / "link");
    ASSERT_FALSE(EncodeFile(dir / "source", dir / "link"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(ReadBytes(dir / "link"), (Bytes{1, 2}));
    EXPECT_EQ(ReadBytes(dir / "target"), Bytes{9});
}

TEST_F(FileTransform, RefusedInputsWriteNothing)
{
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    WriteBytes(dir / "plain", {1, 2, 3});
    WriteBytes(dir / "earlier", {7, 7});

    const struct {
        const char* name;
        std::filesystem::path source;
        std::filesystem::path destination;
        int number;
        std::string description;
    } cases[] = {
        {"missing source", dir / "nothing", dir / "out", ENOENT,
         "Cannot open '" + (dir / "nothing").string() + "': No such file or directory"},
        {"folder as source", dir / "folder", dir / "out", EISDIR,
         "Cannot read '" + (dir / "folder").string() + "': Is a directory"},
        // Refused at once: opening must not wait for a writer.
        {"FIFO as source", dir / "fifo", dir / "out", EINVAL,
         "Cannot read '" + (dir / "fifo").string() + "': not a regular file"},
        {"missing destination folder", dir / "plain", dir / "absent" / "out", ENOENT,
         "Cannot write '" + (dir / "absent" / "out").string() + "': No such file or directory"},
        {"folder as destination", dir / "plain", dir / "folder", EISDIR,
         "Cannot write '" + (dir / "folder").string() + "': Is a directory"},
        {"missing source, existing destination", dir / "nothing", dir / "earlier", ENOENT,
         "Cannot open '" + (dir / "nothing").string() + "': No such file or directory"},
        {"control characters in a path", dir / "a\nb\tc\x1b[0m", dir / "out", ENOENT,
         "Cannot open '" + dir.path().string() + "/a\\nb\\tc\\x1b[0m': No such file or directory"},
    };
    for (const auto& c : cases) {
        const auto error = EncodeFile(c.source, c.destination);
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->number, c.number) << c.name;
        EXPECT_EQ(error->description, c.description) << c.name;
    }
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"earlier", "fifo", "folder", "plain"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
    EXPECT_EQ(ReadBytes(dir / "earlier"), (Bytes{7, 7}));
}

// A write that fails half-way must leave the earlier destination whole and no temporary file.
void ExpectNothingLost(const std::filesystem::path& folder, const std::filesystem::path& source,
                       int expectedNumber)
{
    const Bytes earlier{4, 5, 6};
    WriteBytes(folder / "result", earlier);
    const auto error = EncodeFile(source, folder / "result");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, expectedNumber) << error->description;
    EXPECT_NE(error->description.find((folder / "result").string()), std::string::npos)
        << error->description;
    EXPECT_EQ(ReadBytes(folder / "result"), earlier);
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"result"});
}

// Sources of one buffer are coded on the calling thread, longer ones read ahead on a second.
constexpr std::size_t kFailingSizes[] = {1 << 20, (3 << 20) + 5};

TEST_F(FileTransform, FullDiskKeepsTheEarlierDestination)
{
    const testing::SmallDisk small(dir / "small");
    if (!small.Mounted()) GTEST_SKIP() << small.Why();
    for (const std::size_t size : kFailingSizes) {
        SCOPED_TRACE(size);
        WriteBytes(dir / "big", testing::RandomBytes(size, 5));
        ExpectNothingLost(small.path(), dir / "big", ENOSPC);
    }
}

TEST_F(FileTransform, OverSizeWriteIsAnErrorNotASignal)
{
    const auto folder = dir / "out";
    std::filesystem::create_directory(folder);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    for (const std::size_t size : kFailingSizes) {
        SCOPED_TRACE(size);
        WriteBytes(dir / "big", testing::RandomBytes(size, 6));
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        ExpectNothingLost(folder, dir / "big", EFBIG);
        ::setrlimit(RLIMIT_FSIZE, &saved);
    }
}

// Takes the faults injected into the transform (detail::Faults()) out again at the end of a scope.
class FaultsTakenOut {
public:
    FaultsTakenOut() = default;
    FaultsTakenOut(const FaultsTakenOut&) = delete;
    FaultsTakenOut& operator=(const FaultsTakenOut&) = delete;
    ~FaultsTakenOut()
    {
        detail::InjectedFaults& faults = detail::Faults();
        faults.beforeRead = nullptr;
        faults.beforeWrite = nullptr;
        faults.folderFlushError = 0;
        faults.beforeRename = nullptr;
        faults.groupFiles = 0;
        faults.groupBytes = 0;
    }
};

// An environment variable set (or, with nullptr, unset) for one scope, then restored.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* earlier = std::getenv(name)) earlier_ = earlier;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (earlier_)
            ::setenv(name_, earlier_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> earlier_;
};

// Named temporary files for one scope, as CORVANE_TEMPORARY_FILE=named gives them.
class NamedTemporaries : public ScopedVariable {
public:
    explicit NamedTemporaries(bool named) : ScopedVariable("CORVANE_TEMPORARY_FILE", named ? "named" : nullptr) {}
};

// After the first chunk, so that a temporary file with content is there to be removed.
void RunOutOfMemory(std::uint64_t offset)
{
    if (offset > 0) throw std::bad_alloc();
}
void FailOddly(std::uint64_t offset)
{
    if (offset > 0) throw std::runtime_error("odd\nfailure");
}

TEST_F(FileTransform, ExceptionOnEitherThreadIsAnErrorAndLeavesNothing)
{
    using Hook = std::atomic<void (*)(std::uint64_t)> detail::InjectedFaults::*;
    const auto folder = dir / "out";
    std::filesystem::create_directory(folder);
    const struct {
        const char* name;
        Hook hook;
        void (*fault)(std::uint64_t);
        int number;
        std::string reason;
    } cases[] = {
        {"reader out of memory", &detail::InjectedFaults::beforeRead, RunOutOfMemory, ENOMEM, "Cannot allocate memory"},
        {"writer out of memory", &detail::InjectedFaults::beforeWrite, RunOutOfMemory, ENOMEM, "Cannot allocate memory"},
        {"reader fails oddly", &detail::InjectedFaults::beforeRead, FailOddly, ENOTRECOVERABLE, "odd\\nfailure"},
        {"writer fails oddly", &detail::InjectedFaults::beforeWrite, FailOddly, ENOTRECOVERABLE, "odd\\nfailure"},
    };
    for (const auto& c : cases) {
        for (const std::size_t size : kFailingSizes) {
            for (const bool named : {false, true}) {
                SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(size) + (named ? " B, named" : " B, unnamed"));
                const NamedTemporaries temporaries(named);
                WriteBytes(dir / "big", testing::RandomBytes(size, 7));
                WriteBytes(folder / "result", {4, 5, 6});
                const FaultsTakenOut takenOut;
                (detail::Faults().*c.hook) = c.fault;
                std::optional<Error> error;
                EXPECT_NO_THROW(error = EncodeFile(dir / "big", folder / "result"));
                ASSERT_TRUE(error);
                EXPECT_EQ(error->number, c.number);
                EXPECT_EQ(error->description, "Cannot code '" + (dir / "big").string() + "': " + c.reason);
                EXPECT_EQ(ReadBytes(folder / "result"), (Bytes{4, 5, 6}));
                EXPECT_EQ(FileNames(folder), std::vector<std::string>{"result"});
            }
        }
    }
}

// Once the new content has the destination's name the coding is done: a folder that cannot be
// flushed then is a warning, never an error that would make a user code the result again.
TEST_F(FileTransform, FolderFlushFailureAfterTheRenameIsAWarning)
{
    const Bytes plain = testing::RandomBytes(5000, 12);
    WriteBytes(dir / "source", plain);
    const FaultsTakenOut takenOut;
    detail::Faults().folderFlushError = EIO;
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        const NamedTemporaries temporaries(named);
        WriteBytes(dir / "result", {4, 5, 6});
        TransformControl control;
        const auto error =
            TransformFile(Coding::Encode, Endpoint::File(dir / "source"), Endpoint::File(dir / "result"), &control);
        EXPECT_FALSE(error) << error->description;
        ASSERT_TRUE(control.warning);
        EXPECT_EQ(control.warning->number, EIO);
        EXPECT_EQ(control.warning->description,
                  "Written, but cannot flush the folder of '" + (dir / "result").string() + "': Input/output error");
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "result"), Encoded(plain)), "");
        EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"result", "source"}));
    }
    EXPECT_FALSE(EncodeFile(dir / "source", dir / "result")) << "without a control there is no warning to give";
}

// A cancel that comes while the read-ahead runs, the file half written under a hidden name:
// nothing is left and the destination keeps its content.
TransformControl* gCancelledControl = nullptr;
std::atomic<bool> gTemporaryWasThere{false};
std::filesystem::path gWatchedFolder;
void CancelMidWay(std::uint64_t offset)
{
    if (offset < (2u << 20)) return;
    gTemporaryWasThere = FileNames(gWatchedFolder).size() == 3;
    gCancelledControl->cancel = true;
}

TEST_F(FileTransform, CancelWhileReadingAheadLeavesNothing)
{
    const ScopedVariable readAhead("CORVANE_READ_AHEAD", "on");
    const NamedTemporaries named(true);
    WriteBytes(dir / "big", testing::RandomBytes(5 << 20, 14));
    WriteBytes(dir / "result", {4, 5, 6});
    TransformControl control;
    gCancelledControl = &control;
    gWatchedFolder = dir.path();
    const FaultsTakenOut takenOut;
    detail::Faults().beforeWrite = CancelMidWay;
    const auto error =
        TransformFile(Coding::Encode, Endpoint::File(dir / "big"), Endpoint::File(dir / "result"), &control);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, kErrorCancelled);
    EXPECT_TRUE(gTemporaryWasThere.load()) << "no named temporary file while coding";
    EXPECT_EQ(ReadBytes(dir / "result"), (Bytes{4, 5, 6}));
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"big", "result"}));
}

// A forced choice that cannot be honoured stops the transform before it writes anything.
TEST_F(FileTransform, UnknownSwitchValueIsAnError)
{
    WriteBytes(dir / "source", {1, 2, 3});
    const struct {
        const char* variable;
        std::string description;
    } cases[] = {
        {"CORVANE_READ_AHEAD", "CORVANE_READ_AHEAD is 'sometimes\\n': the choices are 'on' and 'off'"},
        {"CORVANE_TEMPORARY_FILE", "CORVANE_TEMPORARY_FILE is 'sometimes\\n': the choices are 'unnamed' and 'named'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable);
        const ScopedVariable wrong(c.variable, "sometimes\n");
        const auto error = EncodeFile(dir / "source", dir / "result");
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, EINVAL);
        EXPECT_EQ(error->description, c.description);
        EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"source"});
    }
}

// What the reading thread's signal mask held, noted from inside it.
std::atomic<pid_t> gReadingThread{0};
std::atomic<bool> gReaderHeldTheCleanupSignals{false};
void NoteTheReadersSignals(std::uint64_t)
{
    sigset_t mask;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    bool held = true;
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) held = held && ::sigismember(&mask, signalNumber) == 1;
    gReaderHeldTheCleanupSignals = held;
    gReadingThread = ::gettid();
}

// The read-ahead thread never takes a clean-up signal, so that the one handler's thread is the
// program's own.
TEST_F(FileTransform, ReadAheadThreadHoldsTheCleanupSignalsBack)
{
    const ScopedVariable readAhead("CORVANE_READ_AHEAD", "on");
    WriteBytes(dir / "big", testing::RandomBytes(3 << 20, 9));
    const FaultsTakenOut takenOut;
    detail::Faults().beforeRead = NoteTheReadersSignals;
    ASSERT_FALSE(EncodeFile(dir / "big", dir / "coded"));
    EXPECT_NE(gReadingThread.load(), 0);
    EXPECT_NE(gReadingThread.load(), ::gettid()) << "the file was not read ahead";
    EXPECT_TRUE(gReaderHeldTheCleanupSignals.load());
}

// Holding the signals back nests: only the outermost hold gives them back, and then exactly the
// mask there was before, so that a batch's own holds inside the worker's never let one through,
// and the thread takes signals again once every hold has ended.
TEST(CleanupSignals, HeldBackUntilTheOutermostHoldEnds)
{
    const auto blocked = [] {
        sigset_t mask;
        ::pthread_sigmask(SIG_SETMASK, nullptr, &mask);
        return ::sigismember(&mask, SIGTERM) == 1;
    };
    ASSERT_FALSE(blocked());
    {
        const CleanupSignalsHeld outer;
        {
            const CleanupSignalsHeld inner;
            EXPECT_TRUE(blocked());
        }
        EXPECT_TRUE(blocked()) << "the inner hold let the signals through";
    }
    EXPECT_FALSE(blocked()) << "the signals stayed held back";
}

TEST(TemporaryName, OnlyTheTransformsOwnNamesAreTemporary)
{
    const std::string own = detail::TemporaryName();
    ASSERT_EQ(own.size(), 43u);
    std::string otherCheck = own;
    otherCheck.back() = otherCheck.back() == '0' ? '1' : '0';
    std::string otherProcess = own;
    otherProcess[5] = otherProcess[5] == '0' ? '1' : '0';
    const struct {
        const char* name;
        std::string fileName;
        bool temporary;
    } cases[] = {
        {"the transform's own", own, true},
        {"a check that does not match", otherCheck, false},
        {"a process that does not match its check", otherProcess, false},
        {"upper case", [&] { std::string upper = own; for (char& c : upper) c = static_cast<char>(std::toupper(c)); return upper; }(), false},
        {"one character more", own + "0", false},
        {"one character less", own.substr(0, 42), false},
        {"a name of the earlier form", ".cv0123abcd", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsTemporaryName(c.fileName), c.temporary) << c.name;
    EXPECT_EQ(detail::WriterOfTemporaryName(own), detail::ThisWriter());
}

mode_t Mode(const std::filesystem::path& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

const Bytes kPlain{1, 2, 3, 4, 5};

// The temporary file a row is run with: the unnamed one, or the named fallback that file
// systems without unnamed files get.
enum class Temporary { Unnamed, Named };
enum class Runner { Anyone, Root, NotRoot };

void PrintTo(Temporary temporary, std::ostream* out) { *out << (temporary == Temporary::Named ? "named" : "unnamed"); }

// What a row's destination starts as and what must hold after coding "source" (kPlain) into it.
struct ReplaceScene {
    std::filesystem::path dir;
    std::filesystem::path destination;
    int fifoReader = -1;
};

struct ReplaceRow {
    const char* name;
    Runner runner;
    mode_t umask;
    std::function<void(ReplaceScene&)> prepare;
    int number;          // 0: success
    const char* reason;  // on failure, the text after "Cannot write '<destination>': "
    std::function<void(ReplaceScene&)> check;
};

void PrintTo(const ReplaceRow& row, std::ostream* out) { *out << row.name; }

void Chmod(const std::filesystem::path& path, mode_t mode) { ASSERT_EQ(::chmod(path.c_str(), mode), 0); }

// An existing "out" holding {9}, with `mode`.
std::function<void(ReplaceScene&)> ExistingOut(mode_t mode)
{
    return [mode](ReplaceScene& scene) {
        scene.destination = scene.dir / "out";
        WriteBytes(scene.destination, {9});
        Chmod(scene.destination, mode);
    };
}

// A new "new" made from a source of `mode`.
std::function<void(ReplaceScene&)> NewFromSource(mode_t mode)
{
    return [mode](ReplaceScene& scene) {
        Chmod(scene.dir / "source", mode);
        scene.destination = scene.dir / "new";
    };
}

std::function<void(ReplaceScene&)> ModeIs(mode_t mode)
{
    return [mode](ReplaceScene& scene) { EXPECT_EQ(Mode(scene.destination), mode); };
}

const ReplaceRow kReplaceRows[] = {
    {"ExistingPrivateFileStaysPrivate", Runner::Anyone, 022, ExistingOut(0600), 0, "", ModeIs(0600)},
    {"ExistingScriptKeepsItsExecuteBits", Runner::Anyone, 022, ExistingOut(0755), 0, "", ModeIs(0755)},
    {"NewFileGetsTheSourceModeUnderTheUmask", Runner::Anyone, 027, NewFromSource(0666), 0, "", ModeIs(0640)},
    // The owner may always write a result, so that coding the same read-only file again works;
    // the group's and others' bits stay the source's.
    {"NewFileFromAReadOnlySourceIsTheOwnersToWrite", Runner::Anyone, 022, NewFromSource(0444), 0, "", ModeIs(0644)},
    {"NewFileFromAPrivateReadOnlySourceStaysPrivate", Runner::Anyone, 022, NewFromSource(0400), 0, "", ModeIs(0600)},
    {"NewFileKeepsTheSourceExecuteBits", Runner::Anyone, 022, NewFromSource(0750), 0, "", ModeIs(0750)},
    {"RootKeepsAnotherUsersOwnerGroupAndMode", Runner::Root, 022,
     [](ReplaceScene& scene) {
         ExistingOut(0640)(scene);
         ASSERT_EQ(::chown(scene.destination.c_str(), 65534, 65534), 0);
     },
     0, "",
     [](ReplaceScene& scene) {
         struct stat info {};
         ASSERT_EQ(::stat(scene.destination.c_str(), &info), 0);
         EXPECT_EQ(info.st_uid, 65534u);
         EXPECT_EQ(info.st_gid, 65534u);
         EXPECT_EQ(info.st_mode & 07777, 0640u);
     }},
    {"ReadOnlyDestinationIsRefused", Runner::NotRoot, 022, ExistingOut(0444), EACCES, "Permission denied",
     ModeIs(0444)},
    {"RootReplacesAReadOnlyDestinationAsCpDoes", Runner::Root, 022, ExistingOut(0444), 0, "", ModeIs(0444)},
    {"FifoIsWrittenIntoNotReplaced", Runner::Anyone, 022,
     [](ReplaceScene& scene) {
         scene.destination = scene.dir / "fifo";
         ASSERT_EQ(::mkfifo(scene.destination.c_str(), 0600), 0);
         scene.fifoReader = ::open(scene.destination.c_str(), O_RDONLY | O_NONBLOCK);
         ASSERT_GE(scene.fifoReader, 0);
     },
     0, "",
     [](ReplaceScene& scene) {
         EXPECT_TRUE(std::filesystem::is_fifo(scene.destination));
         Bytes got(64);
         const ssize_t n = ::read(scene.fifoReader, got.data(), got.size());
         got.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
         EXPECT_EQ(FirstDifference(got, Encoded(kPlain)), "");
     }},
    {"LinkToADeviceIsWrittenIntoNotReplaced", Runner::Anyone, 022,
     [](ReplaceScene& scene) {
         scene.destination = scene.dir / "null";
         std::filesystem::create_symlink("/dev/null", scene.destination);
     },
     0, "",
     [](ReplaceScene& scene) {
         EXPECT_TRUE(std::filesystem::is_symlink(scene.destination));
         EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
     }},
    {"SocketIsRefused", Runner::Anyone, 022,
     [](ReplaceScene& scene) {
         scene.destination = scene.dir / "socket";
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         ASSERT_LT(scene.destination.string().size(), sizeof address.sun_path);
         std::strcpy(address.sun_path, scene.destination.c_str());
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
         ::close(fd);
     },
     ENXIO, "No such device or address",
     [](ReplaceScene& scene) { EXPECT_TRUE(std::filesystem::is_socket(scene.destination)); }},
    {"LinkToAFolderIsRefusedLikeAFolder", Runner::Anyone, 022,
     [](ReplaceScene& scene) {
         std::filesystem::create_directory(scene.dir / "folder");
         scene.destination = scene.dir / "link";
         std::filesystem::create_directory_symlink(scene.dir / "folder", scene.destination);
     },
     EISDIR, "Is a directory",
     [](ReplaceScene& scene) {
         EXPECT_TRUE(std::filesystem::is_symlink(scene.destination));
         EXPECT_TRUE(std::filesystem::is_empty(scene.dir / "folder"));
     }},
    // A one-letter name in a folder whose path is 4,088 bytes: a temporary file named beside it
    // by its whole path would be longer than the system allows.
    {"LongestPathIsWritten", Runner::Anyone, 022,
     [](ReplaceScene& scene) {
         std::string folder = scene.dir.string();
         while (4088 - folder.size() > 256) folder += "/" + std::string(200, 'd');
         folder += "/" + std::string(4088 - folder.size() - 1, 'e');
         std::filesystem::create_directories(folder);
         scene.destination = folder + "/f";
         ASSERT_EQ(scene.destination.string().size(), 4090u);
     },
     0, "",
     [](ReplaceScene& scene) {
         EXPECT_EQ(FileNames(scene.destination.parent_path()), std::vector<std::string>{"f"});
     }},
};

class Replacing : public ::testing::TestWithParam<std::tuple<ReplaceRow, Temporary>> {
protected:
    void SetUp() override
    {
        if (std::get<Temporary>(GetParam()) == Temporary::Named) ::setenv("CORVANE_TEMPORARY_FILE", "named", 1);
        savedUmask_ = ::umask(std::get<ReplaceRow>(GetParam()).umask);
    }
    void TearDown() override
    {
        ::umask(savedUmask_);
        ::unsetenv("CORVANE_TEMPORARY_FILE");
        if (scene.fifoReader >= 0) ::close(scene.fifoReader);
    }

    testing::TempDir dir;
    ReplaceScene scene{dir.path(), {}, -1};

private:
    mode_t savedUmask_ = 022;
};

TEST_P(Replacing, FollowsTheRuleForItsDestination)
{
    const ReplaceRow& row = std::get<ReplaceRow>(GetParam());
    const bool root = ::geteuid() == 0;
    if (row.runner == Runner::Root && !root) GTEST_SKIP() << "this row needs root";
    if (row.runner == Runner::NotRoot && root) GTEST_SKIP() << "root may write anything; run as another user";

    WriteBytes(dir / "source", kPlain);
    Chmod(dir / "source", 0644);
    row.prepare(scene);
    if (HasFatalFailure()) return;
    const bool regular = std::filesystem::is_regular_file(std::filesystem::symlink_status(scene.destination));
    const Bytes before = regular ? ReadBytes(scene.destination) : Bytes{};
    const auto names = FileNames(scene.destination.parent_path());

    const auto error = EncodeFile(dir / "source", scene.destination);
    if (row.number == 0) {
        ASSERT_FALSE(error) << error->description;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(scene.destination))) {
            EXPECT_EQ(FirstDifference(ReadBytes(scene.destination), Encoded(kPlain)), "");
        }
    } else {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, row.number);
        EXPECT_EQ(error->description, "Cannot write '" + scene.destination.string() + "': " + row.reason);
        if (regular) {
            EXPECT_EQ(ReadBytes(scene.destination), before);
        }
    }
    // Afterwards the folder holds what it held, and a new destination.
    auto expectedNames = names;
    const std::string leaf = scene.destination.filename().string();
    if (std::filesystem::exists(std::filesystem::symlink_status(scene.destination)) &&
        std::find(names.begin(), names.end(), leaf) == names.end()) {
        expectedNames.push_back(leaf);
        std::sort(expectedNames.begin(), expectedNames.end());
    }
    EXPECT_EQ(FileNames(scene.destination.parent_path()), expectedNames) << "a temporary file was left";
    EXPECT_EQ(FirstDifference(ReadBytes(dir / "source"), kPlain), "") << "the source changed";
    row.check(scene);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Replacing, ::testing::Combine(::testing::ValuesIn(kReplaceRows),
                                        ::testing::Values(Temporary::Unnamed, Temporary::Named)),
    [](const auto& info) {
        return std::string(std::get<ReplaceRow>(info.param).name) +
               (std::get<Temporary>(info.param) == Temporary::Named ? "_Named" : "_Unnamed");
    });

// What a SIGKILL or a power cut left in a folder (a temporary file whose writer has ended) is
// removed by the next transform into that folder; a running writer's file and anything not
// named by the transform stay.
TEST_F(FileTransform, LeftoversOfAnEndedWriterGoWithTheNextTransformIntoTheirFolder)
{
    const pid_t ended = testing::StartProgram("true", {}, 0, 1, 2);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(WaitStatus(ended), 0);
    const detail::Writer gone{static_cast<std::uint32_t>(ended), 1};
    const detail::Writer reused{detail::ThisWriter().process, detail::ThisWriter().start + 1};
    const auto out = dir / "out";
    WriteBytes(dir / "source", kPlain);
    for (const bool batch : {false, true}) {
        SCOPED_TRACE(batch ? "batch" : "one file");
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        const std::string leftovers[] = {detail::TemporaryNameOf(gone), detail::TemporaryNameOf(reused)};
        const std::string running = detail::TemporaryName();
        for (const std::string& name : leftovers) WriteBytes(out / name, {1});
        WriteBytes(out / running, {2});
        WriteBytes(out / ".cv0123abcd", {3});
        std::filesystem::create_directory(out / detail::TemporaryNameOf(gone));  // not a file
        if (batch) {
            const BatchFile files[] = {{Coding::Encode, dir / "source", out / "a"}, {Coding::Encode, dir / "source", out / "b"}};
            for (const BatchOutcome& outcome : TransformFiles(files)) EXPECT_FALSE(outcome.error);
        } else {
            ASSERT_FALSE(EncodeFile(dir / "source", out / "a"));
        }
        for (const std::string& name : leftovers) EXPECT_FALSE(std::filesystem::exists(out / name)) << name;
        EXPECT_EQ(ReadBytes(out / running), Bytes{2});
        EXPECT_EQ(ReadBytes(out / ".cv0123abcd"), Bytes{3});
        EXPECT_EQ(FileNames(out).size(), batch ? 5u : 4u);
    }
}

// Another user replacing a file they may write keeps its group when they belong to it; when
// they do not, the file is theirs like any file they make.
TEST_F(FileTransform, AnotherUserKeepsTheGroupTheyBelongTo)
{
    if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    constexpr uid_t kUser = 65534;
    constexpr gid_t kOwnGroup = 65534;
    constexpr gid_t kMemberGroup = 100;
    constexpr gid_t kOtherGroup = 4;
    ASSERT_EQ(::chown(dir.path().c_str(), kUser, kOwnGroup), 0);
    WriteBytes(dir / "source", kPlain);
    ASSERT_EQ(::chown((dir / "source").c_str(), kUser, kOwnGroup), 0);

    const struct {
        gid_t group;
        gid_t expected;
    } cases[] = {{kMemberGroup, kMemberGroup}, {kOtherGroup, kOwnGroup}};
    for (const auto& c : cases) {
        SCOPED_TRACE("group " + std::to_string(c.group));
        WriteBytes(dir / "out", {9});
        ASSERT_EQ(::chown((dir / "out").c_str(), kUser, c.group), 0);
        Chmod(dir / "out", 0660);

        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const gid_t groups[] = {kMemberGroup};
            const bool switched = ::setgroups(1, groups) == 0 &&
                                  ::setresgid(kOwnGroup, kOwnGroup, kOwnGroup) == 0 &&
                                  ::setresuid(kUser, kUser, kUser) == 0;
            ::_exit(!switched ? 2 : EncodeFile(dir / "source", dir / "out") ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0) << "2: cannot switch user, 1: the coding failed";

        struct stat info {};
        ASSERT_EQ(::stat((dir / "out").c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, kUser);
        EXPECT_EQ(info.st_gid, c.expected);
        EXPECT_EQ(info.st_mode & 07777, 0660u);
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "out"), Encoded(kPlain)), "");
    }
}

// An ACL as the system stores it in "system.posix_acl_access" and "system.posix_acl_default":
// a version, then entries of a tag, permission bits and an id, sorted by tag and id.
enum AclTag : std::uint16_t { kAclOwner = 0x01, kAclUser = 0x02, kAclOwningGroup = 0x04, kAclMask = 0x10, kAclOthers = 0x20 };
struct AclEntry {
    AclTag tag;
    std::uint16_t bits;
    std::uint32_t id = static_cast<std::uint32_t>(-1);
};

std::string AclValue(std::initializer_list<AclEntry> entries)
{
    std::string value(4 + 8 * entries.size(), '\0');
    const std::uint32_t version = 2;
    std::memcpy(value.data(), &version, 4);
    std::size_t at = 4;
    for (const AclEntry& e : entries) {
        std::memcpy(value.data() + at, &e.tag, 2);
        std::memcpy(value.data() + at + 2, &e.bits, 2);
        std::memcpy(value.data() + at + 4, &e.id, 4);
        at += 8;
    }
    return value;
}

constexpr char kAccessAcl[] = "system.posix_acl_access";
constexpr char kDefaultAcl[] = "system.posix_acl_default";

// An extended attribute's value; "" when the file has none of that name.
std::string Attribute(const std::filesystem::path& path, const char* name)
{
    std::string value(4096, '\0');
    const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
    value.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return value;
}

bool SetAttribute(const std::filesystem::path& path, const char* name, const std::string& value)
{
    return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// A folder whose default ACL lets user 65534 read and write (rwx) and others nothing:
// `mkdir d; setfacl -m d:u::rwx,d:u:65534:rwx,d:g::r-x,d:m::rwx,d:o::--- d`.
const std::string kSharedDefault = AclValue({{kAclOwner, 7}, {kAclUser, 7, 65534}, {kAclOwningGroup, 5}, {kAclMask, 7}, {kAclOthers, 0}});
// A file's ACL of mode 0640 plus user 65534 read and write: `chmod 640 f; setfacl -m u:65534:rw f`.
const std::string kSharedFile = AclValue({{kAclOwner, 6}, {kAclUser, 6, 65534}, {kAclOwningGroup, 4}, {kAclMask, 6}, {kAclOthers, 0}});

// Coding into a folder on a tmpfs (/dev/shm), where files take ACLs and user attributes, with
// either temporary file.
class Permissions : public ::testing::TestWithParam<Temporary> {
protected:
    void SetUp() override
    {
        if (!shm.Made()) GTEST_SKIP() << "no tmpfs at /dev/shm to hold ACLs";
        if (GetParam() == Temporary::Named) ::setenv("CORVANE_TEMPORARY_FILE", "named", 1);
        savedUmask_ = ::umask(022);
        WriteBytes(shm / "source", kPlain);
        Chmod(shm / "source", 0644);
        std::filesystem::create_directory(shm / "d");
        if (!SetAttribute(shm / "d", kDefaultAcl, kSharedDefault)) {
            GTEST_SKIP() << "this file system takes no ACL: " << std::strerror(errno);
        }
    }
    void TearDown() override
    {
        ::umask(savedUmask_);
        ::unsetenv("CORVANE_TEMPORARY_FILE");
    }

    testing::TempDir shm{"/dev/shm"};

private:
    mode_t savedUmask_ = 022;
};

// A new result gets what the system gives a file made with the source's mode in that folder
// (what cp gives): the folder's default ACL masked by the mode, the umask left out; only an
// owner the default ACL would not let read and write gains those two bits.
TEST_P(Permissions, NewFileTakesTheFoldersDefaultAcl)
{
    std::filesystem::create_directory(shm / "owner reads");
    ASSERT_TRUE(SetAttribute(shm / "owner reads", kDefaultAcl,
                             AclValue({{kAclOwner, 4}, {kAclOwningGroup, 4}, {kAclOthers, 0}})));
    for (const char* folder : {"d", "owner reads"}) {
        SCOPED_TRACE(folder);
        const auto reference = shm / folder / "by-the-system";
        const int made = ::open(reference.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(made, 0);
        ::close(made);
        const auto result = shm / folder / "new";
        ASSERT_FALSE(EncodeFile(shm / "source", result));
        EXPECT_EQ(Mode(result), Mode(reference) | 0600);
        EXPECT_EQ(Mode(result) & 07, 0u) << "others may read a result they should not";
        EXPECT_EQ(Attribute(result, kAccessAcl), Attribute(reference, kAccessAcl));
    }
    EXPECT_FALSE(Attribute(shm / "d" / "new", kAccessAcl).empty());
}

// A replaced file keeps its ACL and its user attributes whole; one without an ACL does not get
// the folder's default one.
TEST_P(Permissions, ReplacedFileKeepsItsAclAndUserAttributes)
{
    const struct {
        const char* name;
        std::filesystem::path destination;
        std::string acl;  // "": none
        mode_t mode;
    } cases[] = {
        {"own ACL in a plain folder", shm / "f", kSharedFile, 0660},
        {"own ACL in a folder with a default ACL", shm / "d" / "f", kSharedFile, 0660},
        {"no ACL in a folder with a default ACL", shm / "d" / "plain", "", 0640},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(c.destination, {9});
        ASSERT_TRUE(::removexattr(c.destination.c_str(), kAccessAcl) == 0 || errno == ENODATA);
        Chmod(c.destination, c.mode);
        if (!c.acl.empty()) {
            ASSERT_TRUE(SetAttribute(c.destination, kAccessAcl, c.acl)) << std::strerror(errno);
        }
        ASSERT_EQ(Mode(c.destination), c.mode);
        const bool userAttributes = SetAttribute(c.destination, "user.origin", "scanner 7");

        ASSERT_FALSE(EncodeFile(shm / "source", c.destination));
        EXPECT_EQ(FirstDifference(ReadBytes(c.destination), Encoded(kPlain)), "");
        EXPECT_EQ(Mode(c.destination), c.mode);
        EXPECT_EQ(Attribute(c.destination, kAccessAcl), c.acl);
        if (userAttributes) {
            EXPECT_EQ(Attribute(c.destination, "user.origin"), "scanner 7");
        }
    }
}

// Run as another user who may write a file but not read it: its ACL is still kept; its user
// attributes cannot be read, and then the file is kept as it was rather than replaced without
// them.
TEST_P(Permissions, WhatCannotBeReadToBeKeptIsRefused)
{
    if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chown(shm.path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown((shm / "source").c_str(), kNobody, kNobody), 0);
    const std::string writeOnly = AclValue({{kAclOwner, 2}, {kAclUser, 6, 0}, {kAclOwningGroup, 0}, {kAclMask, 6}, {kAclOthers, 0}});
    const struct {
        const char* name;
        bool userAttribute;
        int number;  // 0: success
    } cases[] = {{"ACL only", false, 0}, {"ACL and a user attribute", true, EACCES}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto out = shm / "out";
        WriteBytes(out, {9});
        ASSERT_EQ(::chown(out.c_str(), kNobody, kNobody), 0);
        ASSERT_TRUE(SetAttribute(out, kAccessAcl, writeOnly)) << std::strerror(errno);
        if (c.userAttribute && !SetAttribute(out, "user.origin", "x")) GTEST_SKIP() << "no user attributes here";

        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const bool switched = ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
                                  ::setresuid(kNobody, kNobody, kNobody) == 0;
            const auto error = switched ? EncodeFile(shm / "source", out) : Error{-1, "cannot switch user"};
            const std::string line = error ? ErrorLine(*error) : "";
            [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], line.data(), line.size());
            ::_exit(0);
        }
        ::close(pipeEnds[1]);
        std::string line(512, '\0');
        const ssize_t n = ::read(pipeEnds[0], line.data(), line.size());
        line.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        ::close(pipeEnds[0]);
        ASSERT_EQ(testing::WaitStatus(pid), 0);

        if (c.number == 0) {
            EXPECT_EQ(line, "");
            EXPECT_EQ(FirstDifference(ReadBytes(out), Encoded(kPlain)), "");
        } else {
            EXPECT_EQ(line, "Error: " + std::to_string(c.number) + ": Cannot keep the ACL and extended attributes of '" +
                                out.string() + "': " + std::strerror(c.number));
            EXPECT_EQ(ReadBytes(out), Bytes{9});
            EXPECT_EQ(Attribute(out, "user.origin"), "x");
        }
        EXPECT_EQ(Attribute(out, kAccessAcl), writeOnly);
        EXPECT_EQ(FileNames(shm.path()), (std::vector<std::string>{"d", "out", "source"})) << "a temporary file was left";
        std::filesystem::remove(out);
    }
}

INSTANTIATE_TEST_SUITE_P(Temporaries, Permissions, ::testing::Values(Temporary::Unnamed, Temporary::Named),
                         [](const auto& info) { return info.param == Temporary::Named ? "Named" : "Unnamed"; });

// A destination whose links are refused (the desktop program's own output folders): only a
// regular file or a new name in a real folder is written; anything else is an error naming it,
// and whatever a link points to is left alone.
TEST_F(FileTransform, RefusedLinksAreNeverWrittenThrough)
{
    WriteBytes(dir / "source", kPlain);
    std::filesystem::create_directory(dir / "out");
    std::filesystem::create_directory(dir / "elsewhere");
    WriteBytes(dir / "elsewhere" / "precious", {7, 7});
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "linked out");
    std::filesystem::create_symlink(dir / "elsewhere" / "precious", dir / "out" / "link");
    std::filesystem::create_symlink(dir / "elsewhere" / "absent", dir / "out" / "dangling");
    std::filesystem::create_symlink("/dev/null", dir / "out" / "device link");
    ASSERT_EQ(::mkfifo((dir / "out" / "fifo").c_str(), 0600), 0);  // with nobody reading it
    WriteBytes(dir / "out" / "earlier", {9});

    const auto cannot = [](const std::filesystem::path& path, const std::string& why) {
        return "Cannot write '" + path.string() + "': " + why;
    };
    const std::string link = "it is a symbolic link, not a file";
    const struct {
        std::filesystem::path destination;
        int number;  // 0: success
        std::string description;
    } cases[] = {
        {dir / "out" / "link", ELOOP, cannot(dir / "out" / "link", link)},
        {dir / "out" / "dangling", ELOOP, cannot(dir / "out" / "dangling", link)},
        {dir / "out" / "device link", ELOOP, cannot(dir / "out" / "device link", link)},
        {dir / "out" / "fifo", EINVAL, cannot(dir / "out" / "fifo", "not a regular file")},
        {dir / "linked out" / "new", ELOOP,
         "Cannot write into '" + (dir / "linked out").string() + "': it is a symbolic link, not a folder"},
        {dir / "out" / "earlier", 0, ""},
        {dir / "out" / "new", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination.string());
        const auto error = TransformFile(Coding::Encode, Endpoint::File(dir / "source"),
                                         Endpoint::File(c.destination, Links::Refuse));
        if (c.number == 0) {
            ASSERT_FALSE(error) << error->description;
            EXPECT_EQ(FirstDifference(ReadBytes(c.destination), Encoded(kPlain)), "");
        } else {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->number, c.number);
            EXPECT_EQ(error->description, c.description);
        }
    }
    EXPECT_EQ(ReadBytes(dir / "elsewhere" / "precious"), (Bytes{7, 7}));
    EXPECT_EQ(FileNames(dir / "elsewhere"), std::vector<std::string>{"precious"});
    EXPECT_EQ(FileNames(dir / "out"),
              (std::vector<std::string>{"dangling", "device link", "earlier", "fifo", "link", "new"}));
    for (const char* name : {"link", "dangling", "device link"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir / "out" / name)) << name;
    }
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// Holds each read of one file until the test lets it go, through fanotify permission events
// (root only). Closing the gate lets every read through.
class ReadGate {
public:
    explicit ReadGate(const std::filesystem::path& file)
    {
        fd_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY);
        if (fd_ < 0) {
            why_ = std::string("fanotify is not available: ") + std::strerror(errno);
        } else if (::fanotify_mark(fd_, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD, file.c_str()) != 0) {
            why_ = std::string("cannot watch reads: ") + std::strerror(errno);
            Close();
        }
    }
    ~ReadGate() { Close(); }
    ReadGate(const ReadGate&) = delete;
    ReadGate& operator=(const ReadGate&) = delete;

    bool Open() const { return fd_ >= 0; }
    const std::string& Why() const { return why_; }

    // Waits, up to a deadline, for the next read to start; runs `meanwhile` and lets it go.
    bool LetNextReadGo(const std::function<void()>& meanwhile = {})
    {
        pollfd wait{fd_, POLLIN, 0};
        if (::poll(&wait, 1, 10000) != 1) return false;
        fanotify_event_metadata event{};
        if (::read(fd_, &event, sizeof event) != static_cast<ssize_t>(sizeof event)) return false;
        if (meanwhile) meanwhile();
        const fanotify_response response{event.fd, FAN_ALLOW};
        const bool answered = ::write(fd_, &response, sizeof response) == sizeof response;
        ::close(event.fd);
        return answered;
    }

    void Close()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    std::string why_;
};

TEST_F(FileTransform, SourceTruncatedWhileReadIsAnErrorAndTheDestinationStays)
{
    if (::geteuid() != 0) GTEST_SKIP() << "holding reads needs root (fanotify)";
    WriteBytes(dir / "source", testing::RandomBytes(3 << 20, 8));
    WriteBytes(dir / "result", {4, 5, 6});

    std::optional<Error> error;
    std::jthread coder;
    ReadGate gate(dir / "source");  // closed before `coder` is joined
    if (!gate.Open()) GTEST_SKIP() << gate.Why();
    coder = std::jthread([&] { error = EncodeFile(dir / "source", dir / "result"); });
    ASSERT_TRUE(gate.LetNextReadGo());
    ASSERT_TRUE(gate.LetNextReadGo([&] { std::filesystem::resize_file(dir / "source", 1 << 20); }));
    gate.Close();
    coder.join();

    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, EAGAIN);
    EXPECT_EQ(error->description, "Cannot read '" + (dir / "source").string() + "': file changed while being read");
    EXPECT_EQ(ReadBytes(dir / "result"), (Bytes{4, 5, 6}));
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"result", "source"}));
}

// The same fault for anyone: a FIFO destination holds the coder while the test reads from it.
TEST_F(FileTransform, SourceTruncatedWhileWrittenToAFifoIsAnError)
{
    WriteBytes(dir / "source", testing::RandomBytes(3 << 20, 8));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);

    std::optional<Error> error;
    std::jthread coder([&] { error = EncodeFile(dir / "source", dir / "fifo"); });
    // The first chunk is larger than the FIFO holds: once bytes arrive, the coder has read
    // that chunk and waits for the test to drain the rest.
    pollfd wait{reader, POLLIN, 0};
    ASSERT_EQ(::poll(&wait, 1, 10000), 1);
    std::filesystem::resize_file(dir / "source", 1 << 20);
    const int flags = ::fcntl(reader, F_GETFL);
    ::fcntl(reader, F_SETFL, flags & ~O_NONBLOCK);
    std::vector<std::uint8_t> sink(1 << 16);
    while (::read(reader, sink.data(), sink.size()) > 0) {
    }
    coder.join();
    ::close(reader);

    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, EAGAIN);
    EXPECT_EQ(error->description, "Cannot read '" + (dir / "source").string() + "': file changed while being read");
}

// A FIFO at the destination never holds the coder beyond what its reader does: nobody reading
// is an error at once, a reader that does not read lets a cancel through, and a reader that
// leaves is a write error (the desktop program ignores SIGPIPE, as this test does).
TEST_F(FileTransform, FifoDestinationNeverHangs)
{
    WriteBytes(dir / "source", testing::RandomBytes(3 << 20, 13));
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto savedPipeSignal = std::signal(SIGPIPE, SIG_IGN);
    enum class Reader { None, Stalls, Leaves };
    const struct {
        const char* name;
        Reader reader;
        int number;
        std::string description;
    } cases[] = {
        {"nobody reads", Reader::None, ENXIO,
         "Cannot write '" + fifo.string() + "': no program is reading from this FIFO"},
        {"the reader stalls, the user cancels", Reader::Stalls, kErrorCancelled,
         "Writing '" + fifo.string() + "' was cancelled"},
        {"the reader leaves", Reader::Leaves, EPIPE, "Cannot write '" + fifo.string() + "': Broken pipe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int reader = c.reader == Reader::None ? -1 : ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        TransformControl control;
        std::optional<Error> error;
        std::atomic<bool> finished{false};
        std::jthread coder([&] {
            error = TransformFile(Coding::Encode, Endpoint::File(dir / "source"), Endpoint::File(fifo), &control);
            finished = true;
        });
        if (reader >= 0) {
            pollfd ready{reader, POLLIN, 0};
            ASSERT_EQ(::poll(&ready, 1, 60000), 1) << "nothing came through the FIFO";
            if (c.reader == Reader::Stalls) control.cancel = true;
            if (c.reader == Reader::Leaves) ::close(reader);
        }
        if (!AwaitCondition([&] { return finished.load(); })) {
            ADD_FAILURE() << "the coder still waits on the FIFO";
            const int drain = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            std::vector<std::uint8_t> sink(1 << 16);
            while (!finished) static_cast<void>(::read(drain, sink.data(), sink.size()));
            ::close(drain);
        }
        coder.join();
        if (c.reader == Reader::Stalls) ::close(reader);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, c.number);
        EXPECT_EQ(error->description, c.description);
    }
    std::signal(SIGPIPE, savedPipeSignal);
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"fifo", "source"}));
}

// A batch codes each file as TransformFile would, in groups that share their flushes: more
// files than the lowered limit on descriptors (a waiting file holds none), failures among them
// that fail alone, every outcome heard in order, nothing left behind.
TEST_F(FileTransform, BatchCodesEachFileWholeAndReportsInOrder)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 48;
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        const NamedTemporaries temporaries(named);
        const auto in = dir / "in";
        const auto out = dir / "out";
        std::filesystem::remove_all(in);
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(in);
        std::filesystem::create_directories(out / "folder");
        std::vector<BatchFile> files;
        std::vector<Bytes> contents;
        for (int i = 0; i < 120; ++i) {
            std::string name = "f";
            name += std::to_string(i);
            contents.push_back(testing::RandomBytes(static_cast<std::size_t>(i * 97), i));
            WriteBytes(in / name, contents.back());
            WriteBytes(out / name, {7});  // replaced
            files.push_back({Coding::Encode, in / name, out / name});
        }
        files[7].source = in / "missing";
        files[23].destination = out / "folder";
        std::vector<std::size_t> heard;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        const std::vector<BatchOutcome> outcomes = TransformFiles(
            files, nullptr, [&](std::size_t index, const BatchOutcome&) { heard.push_back(index); });
        ::setrlimit(RLIMIT_NOFILE, &saved);

        ASSERT_EQ(outcomes.size(), files.size());
        ASSERT_EQ(heard.size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(heard[i], i);
            EXPECT_FALSE(outcomes[i].warning);
            if (i == 7) {
                ASSERT_TRUE(outcomes[i].error);
                EXPECT_EQ(outcomes[i].error->number, ENOENT);
                EXPECT_EQ(ReadBytes(out / "f7"), Bytes{7});
            } else if (i == 23) {
                ASSERT_TRUE(outcomes[i].error);
                EXPECT_EQ(outcomes[i].error->number, EISDIR);
                EXPECT_EQ(ReadBytes(out / "f23"), Bytes{7});
            } else {
                EXPECT_FALSE(outcomes[i].error) << outcomes[i].error->description;
                EXPECT_EQ(FirstDifference(ReadBytes(files[i].destination), Encoded(contents[i])), "");
            }
        }
        EXPECT_EQ(FileNames(out).size(), 121u) << "a temporary file was left";
    }
}

// A folder that cannot be flushed warns every file the flush was for; a cancel drops the group
// not yet in place and every later file, and keeps the files reported done.
TEST_F(FileTransform, BatchWarnsOfAFolderFlushAndStopsAtACancel)
{
    std::vector<BatchFile> files;
    for (const char* name : {"0", "1", "2"}) {
        WriteBytes(dir / (std::string("s") + name), {1, 2, 3});
        files.push_back({Coding::Encode, dir / (std::string("s") + name), dir / (std::string("d") + name)});
    }
    {
        const FaultsTakenOut takenOut;
        detail::Faults().folderFlushError = EIO;
        const std::vector<BatchOutcome> outcomes = TransformFiles(files);
        for (const BatchOutcome& outcome : outcomes) {
            EXPECT_FALSE(outcome.error);
            ASSERT_TRUE(outcome.warning);
            EXPECT_EQ(outcome.warning->number, EIO);
        }
    }
    for (const BatchFile& file : files) std::filesystem::remove(file.destination);

    const NamedTemporaries named(true);
    TransformControl control;
    control.cancel = true;
    const std::vector<BatchOutcome> outcomes = TransformFiles(files, &control);
    for (const BatchOutcome& outcome : outcomes) {
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->number, kErrorCancelled);
    }
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"s0", "s1", "s2"}));
}

// A batch that stops at its first failure: the files before it are in place, the failure is the
// last outcome heard, and no later file is touched (their old content stays), whether the
// failure is the first file, one in the middle of a group or the last; nothing is left behind.
TEST_F(FileTransform, BatchThatStopsEndsAtTheFirstFailure)
{
    for (const bool named : {false, true}) {
        const NamedTemporaries temporaries(named);
        for (const std::size_t failing : {std::size_t{0}, std::size_t{2}, std::size_t{4}}) {
            SCOPED_TRACE(std::string(named ? "named, " : "unnamed, ") + "failing " + std::to_string(failing));
            const auto in = dir / "in";
            const auto out = dir / "out";
            std::filesystem::remove_all(in);
            std::filesystem::remove_all(out);
            std::filesystem::create_directories(in);
            std::filesystem::create_directories(out);
            std::vector<BatchFile> files;
            // Built by appending: GCC 12 warns falsely of "f" + std::to_string(i).
            const auto nameOf = [](std::size_t i) {
                std::string name = "f";
                name += std::to_string(i);
                return name;
            };
            for (std::size_t i = 0; i < 5; ++i) {
                const std::string name = nameOf(i);
                WriteBytes(in / name, {static_cast<std::uint8_t>(i), 1});
                WriteBytes(out / name, {9});  // the earlier result
                files.push_back({Coding::Encode, in / name, out / name});
            }
            files[failing].source = in / "missing";
            std::vector<std::size_t> heard;
            const std::vector<BatchOutcome> outcomes = TransformFiles(
                files, nullptr, [&](std::size_t index, const BatchOutcome&) { heard.push_back(index); },
                AfterFailure::Stop);
            ASSERT_EQ(outcomes.size(), failing + 1);
            EXPECT_EQ(heard.size(), failing + 1);
            for (std::size_t i = 0; i < files.size(); ++i) {
                SCOPED_TRACE(i);
                const Bytes now = ReadBytes(out / nameOf(i));
                if (i < failing) {
                    EXPECT_FALSE(outcomes[i].error);
                    EXPECT_EQ(now, Encoded({static_cast<std::uint8_t>(i), 1}));
                } else {
                    EXPECT_EQ(now, Bytes{9});
                }
            }
            ASSERT_TRUE(outcomes.back().error);
            EXPECT_EQ(outcomes.back().error->number, ENOENT);
            EXPECT_EQ(FileNames(out).size(), 5u) << "a temporary file was left";
        }
    }
}

// What a folder holds, for comparing two runs: each entry by its path below the folder, a link
// by its target, a file by its mode, owner, links and content.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = std::filesystem::relative(entry.path(), root).string();
        struct stat info {};
        EXPECT_EQ(::lstat(entry.path().c_str(), &info), 0) << name;
        if (S_ISLNK(info.st_mode)) {
            entries[name] = "link to " + std::filesystem::read_symlink(entry.path()).string();
        } else if (S_ISREG(info.st_mode)) {
            const Bytes content = ReadBytes(entry.path());
            entries[name] = "mode " + std::to_string(info.st_mode & 07777) + ", owner " + std::to_string(info.st_uid) +
                            ", links " + std::to_string(info.st_nlink) + ": " +
                            std::string(content.begin(), content.end());
        } else {
            entries[name] = "folder";
        }
    }
    return entries;
}

// A scene for the batch to meet: what the folder holds first, and the items, as paths below it.
struct SameFileRow {
    const char* name;
    std::function<void(const std::filesystem::path& root)> prepare;
    std::vector<std::pair<std::string, std::string>> items;  // source, destination
    bool needsRoot = false;
};

// `prefix` and `i`, built by appending: GCC 12 warns falsely of "s" + std::to_string(i).
std::string Numbered(const char* prefix, int i)
{
    std::string name = prefix;
    name += std::to_string(i);
    return name;
}

void PutText(const std::filesystem::path& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }

// "a" (plain-a), "b" (plain-b) and the folder "out", with "out/a" holding OLD when `earlier`.
std::function<void(const std::filesystem::path&)> Plain(bool earlier,
                                                        std::function<void(const std::filesystem::path&)> more = {})
{
    return [earlier, more](const std::filesystem::path& root) {
        PutText(root / "a", "plain-a");
        PutText(root / "b", "plain-b");
        std::filesystem::create_directory(root / "out");
        if (earlier) PutText(root / "out" / "a", "OLD");
        if (more) more(root);
    };
}

const SameFileRow kSameFileRows[] = {
    {"a link to an earlier destination", Plain(true, [](const auto& root) { std::filesystem::create_symlink("out/a", root / "lnk"); }),
     {{"a", "out/a"}, {"lnk", "out/lnk"}}},
    {"a link to an earlier destination not there yet",
     Plain(false, [](const auto& root) { std::filesystem::create_symlink("out/a", root / "lnk"); }),
     {{"a", "out/a"}, {"lnk", "out/lnk"}}},
    {"a hard link to an earlier destination",
     Plain(true, [](const auto& root) { std::filesystem::create_hard_link(root / "out" / "a", root / "hard"); }),
     {{"a", "out/a"}, {"hard", "out/hard"}}},
    {"an earlier destination through ./", Plain(false), {{"a", "out/a"}, {"out/./a", "out/b"}}},
    {"an earlier destination through ..", Plain(true), {{"a", "out/a"}, {"out/../out/a", "out/c"}}},
    {"an earlier destination coded in place", Plain(true), {{"out/a", "out/a"}, {"out/a", "out/b"}}},
    {"a chain of new results", Plain(false), {{"a", "out/x"}, {"out/x", "out/y"}, {"out/y", "out/z"}}},
    {"one destination by two names", Plain(true), {{"a", "out/a"}, {"b", "out/./a"}, {"out/a", "out/b"}}},
    {"one new destination by two names", Plain(false), {{"a", "out/a"}, {"b", "out/../out/a"}}},
    {"a link as destination to a result not there yet",
     Plain(false, [](const auto& root) { std::filesystem::create_symlink("out/a", root / "lnk"); }),
     {{"a", "out/a"}, {"b", "lnk"}}},
    {"an earlier destination through a bind mount",
     Plain(true,
           [](const auto& root) {
               std::filesystem::create_directory(root / "bound");
               ASSERT_EQ(::mount((root / "out").c_str(), (root / "bound").c_str(), nullptr, MS_BIND, nullptr), 0);
           }),
     {{"a", "out/a"}, {"bound/a", "out/b"}, {"b", "bound/a"}},
     true},
};

// Whatever names a batch's items use for one file, the batch gives what coding them one by one
// gives: every file, link and outcome alike.
TEST_F(FileTransform, BatchGivesWhatOneByOneGivesWhateverTheNames)
{
    for (const SameFileRow& row : kSameFileRows) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && ::geteuid() != 0) continue;
        std::map<std::string, std::string> results[2];
        std::vector<int> numbers[2];
        for (const bool batch : {false, true}) {
            const auto root = dir / (batch ? "batch" : "one by one");
            std::filesystem::remove_all(root);
            std::filesystem::create_directory(root);
            row.prepare(root);
            if (HasFatalFailure()) return;
            std::vector<BatchFile> files;
            for (const auto& [source, destination] : row.items) files.push_back({Coding::Encode, root / source, root / destination});
            if (batch) {
                for (const BatchOutcome& outcome : TransformFiles(files)) numbers[1].push_back(outcome.error ? outcome.error->number : 0);
            } else {
                for (const BatchFile& file : files) {
                    const auto error = EncodeFile(file.source, file.destination);
                    numbers[0].push_back(error ? error->number : 0);
                }
            }
            if (row.needsRoot) ::umount((root / "bound").c_str());
            results[batch] = Snapshot(root);
        }
        EXPECT_EQ(numbers[1], numbers[0]);
        EXPECT_EQ(results[1], results[0]);
        EXPECT_EQ(std::count(numbers[0].begin(), numbers[0].end(), 0), static_cast<long>(row.items.size()));
    }
}

// The limits forced low, so that a small batch crosses group boundaries: by count, by bytes,
// and with a file that reads a result of an earlier group.
TEST_F(FileTransform, BatchCrossesGroupBoundaries)
{
    const struct {
        const char* name;
        std::size_t files;
        std::uint64_t bytes;
    } limits[] = {{"three files", 3, 0}, {"a kilobyte", 0, 1000}, {"one file", 1, 0}};
    for (const auto& limit : limits) {
        for (const bool named : {false, true}) {
            SCOPED_TRACE(std::string(limit.name) + (named ? ", named" : ", unnamed"));
            const NamedTemporaries temporaries(named);
            const FaultsTakenOut takenOut;
            detail::Faults().groupFiles = limit.files;
            detail::Faults().groupBytes = limit.bytes;
            const auto out = dir / "out";
            std::filesystem::remove_all(out);
            std::filesystem::create_directories(out);
            std::vector<BatchFile> files;
            std::vector<Bytes> expected;
            for (int i = 0; i < 10; ++i) {
                const auto source = dir / Numbered("s", i);
                WriteBytes(source, testing::RandomBytes(400, i));
                files.push_back({Coding::Encode, source, out / Numbered("d", i)});
                expected.push_back(Encoded(ReadBytes(source)));
            }
            files[8].source = out / "d1";  // a result of an earlier group
            expected[8] = Encoded(expected[1]);
            std::vector<std::size_t> heard;
            const auto outcomes = TransformFiles(files, nullptr, [&](std::size_t i, const BatchOutcome&) { heard.push_back(i); });
            ASSERT_EQ(heard.size(), files.size());
            for (std::size_t i = 0; i < files.size(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(heard[i], i);
                EXPECT_FALSE(outcomes[i].error) << outcomes[i].error->description;
                EXPECT_EQ(FirstDifference(ReadBytes(files[i].destination), expected[i]), "");
            }
            EXPECT_EQ(FileNames(out).size(), files.size()) << "a temporary file was left";
        }
    }
}

// New results wait for their group's flush open, each holding a descriptor: where the
// open-files limit runs out first, the file that finds none waits for the group to be in place
// and is tried again, so that every file is still coded.
TEST_F(FileTransform, BatchOutOfDescriptorsCodesEveryFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "the open-files limit is POSIX's";
#else
    const auto out = dir / "out";
    std::filesystem::create_directories(out);
    std::vector<BatchFile> files;
    std::vector<Bytes> expected;
    for (int i = 0; i < 60; ++i) {
        const auto source = dir / Numbered("s", i);
        WriteBytes(source, testing::RandomBytes(100, i));
        files.push_back({Coding::Encode, source, out / Numbered("d", i)});
        expected.push_back(Encoded(ReadBytes(source)));
    }
    static_cast<void>(detail::Destination::MostWaitingAtOnce());  // its one raise of the limit comes first
    const auto open = static_cast<rlim_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit scarce = saved;
    scarce.rlim_cur = open + 16;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &scarce), 0);
    const std::vector<BatchOutcome> outcomes = TransformFiles(files);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(outcomes[i].error) << outcomes[i].error->description;
        EXPECT_EQ(FirstDifference(ReadBytes(files[i].destination), expected[i]), "");
    }
    EXPECT_EQ(FileNames(out).size(), files.size()) << "a temporary file was left";
#endif
}

// In a folder of the program's own, a file another user planted there, or a name linked to a
// file elsewhere, is no template for a result: the result is the caller's, made as a new file
// is, and the file elsewhere is left alone.
TEST_F(FileTransform, PlantedFileInTheProgramsFolderIsReplacedAsANewFile)
{
    const struct {
        const char* name;
        bool needsRoot;
        std::function<void(const std::filesystem::path& planted)> plant;
    } rows[] = {
        {"another user's file", true,
         [](const std::filesystem::path& planted) {
             WriteBytes(planted, {7});
             Chmod(planted, 0666);
             ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
         }},
        {"a hard link to a file elsewhere", false,
         [](const std::filesystem::path& planted) {
             WriteBytes(planted.parent_path().parent_path() / "elsewhere", {7});
             Chmod(planted.parent_path().parent_path() / "elsewhere", 0666);
             std::filesystem::create_hard_link(planted.parent_path().parent_path() / "elsewhere", planted);
         }},
    };
    WriteBytes(dir / "secret", kPlain);
    Chmod(dir / "secret", 0600);
    WriteBytes(dir / "other", {1});
    for (const auto& row : rows) {
        if (row.needsRoot && ::geteuid() != 0) continue;
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (batch ? ", batch" : ", alone"));
            const auto out = dir / "out";
            std::filesystem::remove_all(out);
            std::filesystem::remove(dir / "elsewhere");
            std::filesystem::create_directory(out);
            row.plant(out / "secret");
            if (HasFatalFailure()) return;
            if (batch) {
                const BatchFile files[] = {{Coding::Encode, dir / "other", out / "other", Links::Refuse},
                                           {Coding::Encode, dir / "secret", out / "secret", Links::Refuse}};
                for (const BatchOutcome& outcome : TransformFiles(files)) EXPECT_FALSE(outcome.error) << outcome.error->description;
            } else {
                const auto error = TransformFile(Coding::Encode, Endpoint::File(dir / "secret"),
                                                 Endpoint::File(out / "secret", Links::Refuse));
                ASSERT_FALSE(error) << error->description;
            }
            struct stat info {};
            ASSERT_EQ(::lstat((out / "secret").c_str(), &info), 0);
            EXPECT_EQ(info.st_uid, ::geteuid());
            EXPECT_EQ(info.st_mode & 07777, 0600u);
            EXPECT_EQ(info.st_nlink, 1u);
            EXPECT_EQ(FirstDifference(ReadBytes(out / "secret"), Encoded(kPlain)), "");
            if (std::filesystem::exists(dir / "elsewhere")) {
                EXPECT_EQ(ReadBytes(dir / "elsewhere"), Bytes{7});
            }
        }
    }
}

// Files already in place hold less than the temporary files waiting to replace them: on a full
// disk the batch puts the waiting files in place, freeing what they replace, and tries the file
// that did not fit once more, so that it does what one by one does.
TEST_F(FileTransform, BatchOnAFullDiskDoesWhatOneByOneDoes)
{
    const testing::SmallDisk small(dir / "small");
    if (!small.Mounted()) GTEST_SKIP() << small.Why();
    // 64 KiB: four earlier results of 12 KiB, and room for one more beside them, not two.
    std::vector<BatchFile> files;
    for (int i = 0; i < 4; ++i) {
        const auto source = dir / Numbered("s", i);
        WriteBytes(source, testing::RandomBytes(12 << 10, i));
        WriteBytes(small.path() / Numbered("d", i), testing::RandomBytes(12 << 10, 100 + i));
        files.push_back({Coding::Encode, source, small.path() / Numbered("d", i)});
    }
    const auto outcomes = TransformFiles(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(outcomes[i].error) << outcomes[i].error->description;
        EXPECT_EQ(FirstDifference(ReadBytes(files[i].destination), Encoded(ReadBytes(files[i].source))), "");
    }
    EXPECT_EQ(FileNames(small.path()).size(), 4u) << "a temporary file was left";
}

pthread_t gHandlerThread;

// Sends SIGTERM to the handler's thread before the second rename, and goes on once the handler
// has begun.
void TerminateBeforeTheSecondRename(std::size_t index)
{
    if (index != 1) return;
    ::pthread_kill(gHandlerThread, SIGTERM);
    while (!detail::CleanupStarted()) std::this_thread::yield();
}

// A clean-up signal taken on another thread than the batch's (as in the desktop program, which
// codes on a thread of its own) while a group is being put in place waits for all its renames:
// the group is in place whole, with nothing left behind.
TEST_F(FileTransform, SignalDuringTheRenamesOfABatchOnAnotherThreadWaitsForAllOfThem)
{
    std::vector<BatchFile> files;
    for (int i = 0; i < 4; ++i) {
        WriteBytes(dir / Numbered("s", i), {static_cast<std::uint8_t>(i), 1});
        WriteBytes(dir / Numbered("d", i), {9});
        files.push_back({Coding::Encode, dir / Numbered("s", i), dir / Numbered("d", i)});
    }
    EXPECT_EXIT(
        {
            gHandlerThread = ::pthread_self();
            InstallTemporaryFileCleanup();
            detail::Faults().beforeRename = TerminateBeforeTheSecondRename;
            std::thread coder([&] { static_cast<void>(TransformFiles(files)); });
            coder.join();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ReadBytes(dir / Numbered("d", i)), Encoded({static_cast<std::uint8_t>(i), 1}));
    }
    EXPECT_EQ(FileNames(dir.path()).size(), 8u) << "a temporary file was left";
}

using testing::StartCompanion;

// Standard output that is the source itself is refused; a closed one is reported as closed,
// even when the source, opened first, took its number.
TEST_F(FileTransform, CompanionRefusesStandardOutputThatIsTheSourceAndReportsAClosedOne)
{
    const auto file = dir / "file";
    WriteBytes(file, {1, 2, 3});
    const std::string closed = "corvane-codec: Error: 9: Cannot write 'standard output': Bad file descriptor\n";
    const struct {
        std::vector<std::string> args;
        bool sourceOnStandardInput;
        bool outputClosed;
        std::string message;
    } cases[] = {
        {{"encode", file.string(), "-"}, false, false,
         "corvane-codec: Error: 22: Cannot read '" + file.string() + "': input file is output file\n"},
        {{"encode", "-", "-"}, true, false,
         "corvane-codec: Error: 22: Cannot read 'standard input': input file is output file\n"},
        {{"encode", file.string(), "-"}, false, true, closed},
        {{"encode", "-", "-"}, true, true, closed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const int in = ::open(c.sourceOnStandardInput ? file.c_str() : "/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = c.outputClosed ? -1 : ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const pid_t pid = StartCompanion(c.args, in, out, err);
        ::close(in);
        if (out >= 0) ::close(out);
        ::close(err);
        ASSERT_GT(pid, 0);
        EXPECT_EQ(WaitStatus(pid), 1);
        const Bytes message = ReadBytes(dir / "err");
        EXPECT_EQ(std::string(message.begin(), message.end()), c.message);
        EXPECT_EQ(ReadBytes(file), (Bytes{1, 2, 3}));
    }
}

// The kernel's pseudo files report a length that is not what they hold (0 under /proc, a page
// under /sys): they are read to their end, not taken for files that changed while read.
TEST_F(FileTransform, PseudoFileIsReadToItsEnd)
{
    int coded = 0;
    for (const char* pseudo : {"/proc/version", "/sys/devices/system/cpu/online", "/sys/kernel/mm/transparent_hugepage/enabled"}) {
        SCOPED_TRACE(pseudo);
        const Bytes content = ReadBytes(pseudo);
        if (content.empty()) continue;  // not on this system
        const auto error = EncodeFile(pseudo, dir / "out");
        ASSERT_FALSE(error) << error->description;
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "out"), Encoded(content)), "");
        ++coded;
    }
    if (coded == 0) GTEST_SKIP() << "no pseudo file to read here";
}

struct KillRow {
    Temporary temporary;
    int signalNumber;
    bool readAhead = false;  // forced on; else off, as for any pipe
};

std::string KillRowName(const KillRow& row)
{
    return std::string(row.temporary == Temporary::Named ? "Named_" : "Unnamed_") + sigabbrev_np(row.signalNumber) +
           (row.readAhead ? "_ReadAhead" : "");
}

void PrintTo(const KillRow& row, std::ostream* out) { *out << KillRowName(row); }

class KilledMidWrite : public ::testing::TestWithParam<KillRow> {
protected:
    testing::TempDir dir;
};

// The companion codes from a pipe the test feeds into an existing file and is ended half-way:
// the file keeps its earlier content and no temporary file stays behind.
TEST_P(KilledMidWrite, LeavesNoTemporaryFile)
{
    const KillRow row = GetParam();
    const auto result = dir / "result";
    WriteBytes(result, {4, 5, 6});
    Chmod(result, 0644);
    rlimit noCore{0, 0};
    rlimit savedCore{};
    ::getrlimit(RLIMIT_CORE, &savedCore);
    ::setrlimit(RLIMIT_CORE, &noCore);

    int feed[2];
    ASSERT_EQ(::pipe2(feed, O_CLOEXEC), 0);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<std::string> environment;
    if (row.temporary == Temporary::Named) environment.push_back("CORVANE_TEMPORARY_FILE=named");
    environment.push_back(row.readAhead ? "CORVANE_READ_AHEAD=on" : "CORVANE_READ_AHEAD=off");
    const pid_t pid = StartCompanion({"encode", "-", result.string()}, feed[0], null, null, {}, environment);
    ::close(feed[0]);
    ::close(null);
    ASSERT_GT(pid, 0);

    // Once a write of two chunks' worth has gone into the pipe, the companion has read more
    // than one chunk, so it has written the first one and waits for the rest. Reading ahead, it
    // has read seven quarters of a chunk or more, and written all but the four it may hold.
    const Bytes twoChunks = testing::RandomBytes((2 << 20) + 1, 4);
    std::size_t fed = 0;
    while (fed < twoChunks.size()) {
        const ssize_t n = ::write(feed[1], twoChunks.data() + fed, twoChunks.size() - fed);
        ASSERT_GT(n, 0) << std::strerror(errno);
        fed += static_cast<std::size_t>(n);
    }
    const auto midWay = FileNames(dir.path());
    if (row.temporary == Temporary::Named) {
        ASSERT_EQ(midWay.size(), 2u);
        const auto temporary = dir / midWay[0];
        EXPECT_TRUE(IsTemporaryName(midWay[0])) << midWay[0];
        EXPECT_EQ(Mode(temporary), 0600u) << "the temporary file must stay private";
        EXPECT_GE(std::filesystem::file_size(temporary), row.readAhead ? std::uintmax_t{3} << 18 : std::uintmax_t{1} << 20);
    } else {
        EXPECT_EQ(midWay, std::vector<std::string>{"result"});
    }

    ASSERT_EQ(::kill(pid, row.signalNumber), 0);
    EXPECT_EQ(WaitStatus(pid), 128 + row.signalNumber);
    ::close(feed[1]);
    ::setrlimit(RLIMIT_CORE, &savedCore);
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"result"});
    EXPECT_EQ(ReadBytes(result), (Bytes{4, 5, 6}));
}

// SIGKILL cannot be caught, so only the unnamed temporary file survives it without a trace.
INSTANTIATE_TEST_SUITE_P(
    Signals, KilledMidWrite,
    ::testing::Values(KillRow{Temporary::Unnamed, SIGKILL}, KillRow{Temporary::Unnamed, SIGINT},
                      KillRow{Temporary::Named, SIGINT}, KillRow{Temporary::Named, SIGTERM},
                      KillRow{Temporary::Named, SIGHUP}, KillRow{Temporary::Named, SIGQUIT},
                      KillRow{Temporary::Unnamed, SIGKILL, true}, KillRow{Temporary::Named, SIGINT, true},
                      KillRow{Temporary::Named, SIGTERM, true}),
    [](const auto& info) { return KillRowName(info.param); });

}  // namespace
}  // namespace corvane
