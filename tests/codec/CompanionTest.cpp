// corvane-codec driven as a script would: real process, real files, real exit codes.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <winver.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <sys/syscall.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "support/Companion.h"
#include "support/SmallDisk.h"
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "codec/FileTransform.h"
#include "support/Coded.h"
#include "support/ErrorNumbers.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::Bytes;
using testing::Encoded;
using testing::FileNames;
using testing::FirstDifference;
using testing::ReadBytes;
using testing::WriteBytes;
#ifndef _WIN32
using testing::AwaitCondition;
#endif
using Path = std::filesystem::path;

// The error numbers each system gives for the refusals tested here.
using testing::kAlreadyWritten;
using testing::kNoSuchFile;
using testing::kNoSuchFolder;
using testing::kNotAFolder;
constexpr int kFolderAsSource = testing::kFolderAsFile;

std::string Utf8(const Path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string Text(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32
// The companion sits next to this test program.
Path CompanionProgram()
{
    std::wstring self(MAX_PATH, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return Path(self).parent_path() / Path(CORVANE_CODEC_EXE).filename();
}

// One argument quoted so that the C runtime's command-line parser gives it back unchanged.
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        quoted.push_back(c);
        backslashes = 0;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

HANDLE Inheritable(const Path& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Spawn(const std::vector<Path>& args, const Path& folder, const Path& input, const Path& out,
          const Path& err)
{
    std::wstring commandLine = Quoted(CompanionProgram().native());
    for (const Path& a : args) commandLine += L" " + Quoted(a.native());

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inheritable(input.empty() ? Path(L"NUL") : input, GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = Inheritable(out, GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = Inheritable(err, GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    DWORD status = static_cast<DWORD>(-1);
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         folder.c_str(), &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &status);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) ::CloseHandle(h);
    return static_cast<int>(status);
}
#else
// Starts the companion in `folder` with the given descriptors as its standard streams.
pid_t Start(const std::vector<Path>& args, const Path& folder, int in, int out, int err,
            const std::vector<std::string>& extraEnvironment = {})
{
    std::vector<std::string> texts;
    for (const Path& a : args) texts.push_back(a.native());
    return testing::StartCompanion(texts, in, out, err, folder, extraEnvironment);
}

using testing::WaitStatus;

int Spawn(const std::vector<Path>& args, const Path& folder, const Path& input, const Path& out,
          const Path& err)
{
    const int fds[] = {
        ::open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY | O_CLOEXEC),
        ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600),
        ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600),
    };
    const int status = WaitStatus(Start(args, folder, fds[0], fds[1], fds[2]));
    for (const int fd : fds) ::close(fd);
    return status;
}
#endif

class Companion : public ::testing::Test {
protected:
    // Runs corvane-codec in `dir` with `args` (passed to it exactly as given, in the system's
    // own encoding), standard input from `input` or from nothing.
    Outcome Run(const std::vector<Path>& args, const Path& input = {})
    {
        const Path out = streams.path() / "stdout";
        const Path err = streams.path() / "stderr";
        Outcome outcome;
        outcome.status = Spawn(args, dir.path(), input, out, err);
        outcome.out = Text(ReadBytes(out));
        outcome.err = Text(ReadBytes(err));
        return outcome;
    }

    testing::TempDir dir;

private:
    testing::TempDir streams;
};

TEST_F(Companion, RoundTripsFilesAndStreamsSilently)
{
    // Line ends and Ctrl+Z up front: a stream in text mode would change or end at them.
    Bytes plain{'\r', '\n', '\n', 0x1A, '\r', 0x00};
    const Bytes random = testing::RandomBytes((2 << 20) + 17, 9);
    plain.insert(plain.end(), random.begin(), random.end());
    const Bytes coded = Encoded(plain);
    WriteBytes(dir / "plain", plain);

    const struct {
        std::vector<Path> args;
        Path input;
        Path result;  // empty: standard output
        const Bytes& expected;
    } cases[] = {
        {{"encode", dir / "plain", dir / "coded"}, {}, dir / "coded", coded},
        {{"decode", dir / "coded", dir / "back"}, {}, dir / "back", plain},
        {{"encode", "-", "-"}, dir / "plain", {}, coded},
        {{"decode", "-", dir / "from-stdin"}, dir / "coded", dir / "from-stdin", plain},
        {{"encode", dir / "plain", "-"}, {}, {}, coded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.args[1]) + " " + Utf8(c.args[2]));
        const Outcome outcome = Run(c.args, c.input);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        if (!c.result.empty()) {
            EXPECT_EQ(outcome.out, "");
        }
        const Bytes result = c.result.empty() ? Bytes(outcome.out.begin(), outcome.out.end())
                                              : ReadBytes(c.result);
        EXPECT_EQ(FirstDifference(result, c.expected), "");
    }
}

TEST_F(Companion, CodesAFileOntoItself)
{
    WriteBytes(dir / "file", {10, 20, 30});
    EXPECT_EQ(Run({"encode", dir / "file", dir / "file"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "file"), (Bytes{10, 30, 60}));
    EXPECT_EQ(Run({"decode", dir / "file", dir / "file"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "file"), (Bytes{10, 20, 30}));
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"file"});
}

TEST_F(Companion, LongerOldDestinationEndsAtTheNewLength)
{
    WriteBytes(dir / "source", {1, 2, 3});
    WriteBytes(dir / "destination", Bytes(10000, 0x55));
    EXPECT_EQ(Run({"encode", dir / "source", dir / "destination"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "destination"), (Bytes{1, 3, 6}));
}

TEST_F(Companion, NamesBeyondAsciiAndNamesLikeOptions)
{
    const Bytes plain{'n', 'a', 'm', 'e', 0xC3, 0xA6};
    const auto names = [&] {
        const std::vector<std::string> list = FileNames(dir.path());
        return std::set<std::string>(list.begin(), list.end());
    };
    // Names as typed, relative to the folder the companion runs in.
    const struct {
        std::vector<Path> args;
        Path source;
        Path destination;
    } cases[] = {
        {{"encode", u8"dæmon-日本.bin", u8"kodiert-ü-日本.bin"}, u8"dæmon-日本.bin", u8"kodiert-ü-日本.bin"},
        {{"encode", u8"Ελληνικά и кириллица", u8"eule-🦉"}, u8"Ελληνικά и кириллица", u8"eule-🦉"},
        {{"encode", "--", "-x", "--"}, "-x", "--"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.source) + " -> " + Utf8(c.destination));
        const std::set<std::string> before = names();
        WriteBytes(dir.path() / c.source, plain);
        const Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(FirstDifference(ReadBytes(dir.path() / c.destination), Encoded(plain)), "");
        // The names on disk are the names given, not a code page's idea of them.
        std::set<std::string> added = names();
        for (const std::string& name : before) added.erase(name);
        EXPECT_EQ(added, (std::set<std::string>{Utf8(c.source), Utf8(c.destination)}));
    }

    const Outcome missing = Run({"decode", "--", u8"-fehlt-ß", "out"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(Utf8(u8"'-fehlt-ß'")), std::string::npos) << missing.err;
}

TEST_F(Companion, UsageMistakeIsOneLineAndAPointerToHelp)
{
    const struct {
        std::vector<Path> args;
        std::string mistake;
    } cases[] = {
        {{}, "missing command (encode or decode)"},
        {{"encode"}, "missing SOURCE"},
        {{"encode", "a"}, "missing DESTINATION"},
        {{"encrypt", "a", "b"}, "unknown command 'encrypt'"},
        {{"encode", "a", "b", "-"}, "several sources go into a folder, not to standard output"},
        {{"encode", "a", "-", "folder"}, "standard input ('-') has no name to take into a folder"},
        {{"decode", "-", "."}, "standard input ('-') has no name to take into a folder"},
        {{"--helpme"}, "unknown option '--helpme'"},
        {{"encode", "-x", "b"}, "unknown option '-x'"},
        {{"decode", u8"-ü"}, "unknown option '" + Utf8(u8"-ü") + "'"},
        {{"--", "--help"}, "unknown command '--help'"},
        {{"--progress=yes", "encode", "a", "b"}, "option '--progress' takes no value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mistake);
        const Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err, "corvane-codec: " + c.mistake +
                                   "\nTry 'corvane-codec --help' for more information.\n");
        EXPECT_EQ(outcome.out, "");
    }
}

TEST_F(Companion, HelpAndVersion)
{
    // Long options may be shortened while they stay unambiguous, as getopt_long allows.
    for (const char* option : {"-h", "--help", "--he"}) {
        const Outcome help = Run({option});
        EXPECT_EQ(help.status, 0) << option;
        EXPECT_EQ(help.out.rfind("Usage: corvane-codec [--progress] encode SOURCE DESTINATION\n", 0), 0u) << option;
        EXPECT_NE(help.out.find("\n  -h, --help "), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("\n  -V, --version "), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "") << option;
    }
    // As GNU programs say it: the name and version, then the copyright, licence and warranty.
    for (const char* option : {"-V", "--version", "--vers"}) {
        const Outcome version = Run({option});
        EXPECT_EQ(version.status, 0) << option;
        EXPECT_EQ(version.out.rfind("corvane-codec " CORVANE_VERSION "\nCopyright (C) ", 0), 0u) << version.out;
        EXPECT_NE(version.out.find("\nLicense MIT: "), std::string::npos) << version.out;
        EXPECT_NE(version.out.find("NO WARRANTY"), std::string::npos) << version.out;
        EXPECT_EQ(version.err, "") << option;
    }
}

#ifndef _WIN32
// A standard stream that came closed (`<&-`, `>&-`) fails as cat's does, with "Bad file
// descriptor", and no file the program opens takes its place: the source is not read as
// standard input, nor the result written into the source.
TEST_F(Companion, ClosedStandardStreamIsABadDescriptor)
{
    WriteBytes(dir / "plain", {1, 2, 3});
    const struct {
        std::vector<Path> args;
        int closed;  // 0: standard input, 1: standard output
        std::string err;
    } cases[] = {
        {{"encode", "-", "out"}, 0, "corvane-codec: Error: 9: Cannot read 'standard input': Bad file descriptor\n"},
        {{"encode", "-", "-"}, 0, "corvane-codec: Error: 9: Cannot read 'standard input': Bad file descriptor\n"},
        {{"encode", "plain", "-"}, 1, "corvane-codec: Error: 9: Cannot write 'standard output': Bad file descriptor\n"},
        {{"--version"}, 1, "corvane-codec: Error: 9: Cannot write 'standard output': Bad file descriptor\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.args[0]) + " " + (c.args.size() > 1 ? Utf8(c.args[1]) + " " + Utf8(c.args[2]) : ""));
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const pid_t pid = Start(c.args, dir.path(), c.closed == 0 ? testing::kClosed : null,
                                c.closed == 1 ? testing::kClosed : null, err);
        for (const int fd : {null, err}) ::close(fd);
        EXPECT_EQ(WaitStatus(pid), 1);
        EXPECT_EQ(Text(ReadBytes(dir / "err")), c.err);
        EXPECT_EQ(ReadBytes(dir / "plain"), (Bytes{1, 2, 3}));
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
}

// The system's words for an error come in the user's language where the system has them, as
// cat's do: German here, from a locale made for the test (localedef) and libc's own catalogue.
TEST_F(Companion, SystemWordsAreInTheUsersLanguage)
{
    const auto german = testing::GermanEnvironment(dir / "locales");
    if (!german) GTEST_SKIP() << "no German locale to make (Debian's locales and libc-l10n)";
    const testing::ProgramAnswer answer =
        testing::RunProgram(CORVANE_CODEC_EXE, {"encode", "missing", "out"}, dir.path(), *german);
    EXPECT_EQ(answer.status, 1);
    EXPECT_EQ(answer.err, "corvane-codec: Error: 2: Cannot open 'missing': Datei oder Verzeichnis nicht gefunden\n");
}

// Where the shell asked for SIGPIPE to be ignored (`trap '' PIPE`), a reader that leaves is a
// failure to report, as cat and gzip report it: "Broken pipe", exit status 1.
TEST_F(Companion, ReaderThatLeavesUnderIgnoredSigpipeIsReported)
{
    WriteBytes(dir / "big", testing::RandomBytes((2 << 20) + 3, 6));
    for (const std::vector<Path>& args : std::vector<std::vector<Path>>{{"encode", "big", "-"}, {"--help"}}) {
        SCOPED_TRACE(Utf8(args[0]));
        int pipe[2];
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::close(pipe[0]);
        // An ignored signal stays ignored across exec: the child starts as under `trap '' PIPE`.
        const auto earlier = std::signal(SIGPIPE, SIG_IGN);
        const pid_t pid = Start(args, dir.path(), null, pipe[1], err);
        std::signal(SIGPIPE, earlier);
        for (const int fd : {pipe[1], null, err}) ::close(fd);
        EXPECT_EQ(WaitStatus(pid), 1);
        EXPECT_EQ(Text(ReadBytes(dir / "err")), "corvane-codec: Error: 32: Cannot write 'standard output': Broken pipe\n");
    }
}
#endif

// A reader of standard output that leaves (`| head`) ends the companion as it ends cat: quietly,
// by SIGPIPE; on Windows, which has no such signal, quietly with status 1. The reader here has
// gone before the companion writes its first byte.
TEST_F(Companion, ReaderThatLeavesEndsItQuietly)
{
    WriteBytes(dir / "big", testing::RandomBytes((2 << 20) + 3, 6));
    for (const std::vector<Path>& args : std::vector<std::vector<Path>>{
             {"encode", "big", "-"}, {"--progress", "decode", "big", "-"}, {"--help"}, {"--version"}}) {
        SCOPED_TRACE(Utf8(args[0]));
#ifdef _WIN32
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE reader = nullptr, writer = nullptr;
        ASSERT_TRUE(::CreatePipe(&reader, &writer, &inherit, 0));
        ::CloseHandle(reader);
        std::wstring commandLine = Quoted(CompanionProgram().native());
        for (const Path& a : args) commandLine += L" " + Quoted(a.native());
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
        startup.hStdOutput = writer;
        startup.hStdError = Inheritable(dir / "err", GENERIC_WRITE, CREATE_ALWAYS);
        PROCESS_INFORMATION process{};
        DWORD status = static_cast<DWORD>(-1);
        ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                     dir.path().c_str(), &startup, &process));
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &status);
        for (HANDLE h : {process.hThread, process.hProcess, startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
            ::CloseHandle(h);
        }
        EXPECT_EQ(status, 1u);
#else
        int pipe[2];
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::close(pipe[0]);
        const pid_t pid = Start(args, dir.path(), null, pipe[1], err);
        for (const int fd : {pipe[1], null, err}) ::close(fd);
        EXPECT_EQ(WaitStatus(pid), 128 + SIGPIPE);
#endif
        EXPECT_EQ(Text(ReadBytes(dir / "err")), "");
    }
}

// --help and --version that cannot be written are failures, as for cat: `--help >/dev/full`.
TEST_F(Companion, AnswerThatCannotBeWrittenIsAFailure)
{
#ifdef _WIN32
    GTEST_SKIP() << "/dev/full, a file that is always full, is Linux's";
#else
    for (const char* option : {"--help", "--version"}) {
        SCOPED_TRACE(option);
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(full, 0) << std::strerror(errno);
        const pid_t pid = Start({option}, dir.path(), null, full, err);
        for (const int fd : {null, full, err}) ::close(fd);
        EXPECT_EQ(WaitStatus(pid), 1);
        EXPECT_EQ(Text(ReadBytes(dir / "err")),
                  "corvane-codec: Error: 28: Cannot write 'standard output': No space left on device\n");
    }
#endif
}

TEST_F(Companion, FailureIsOneNumberedLineAndExitOne)
{
    std::filesystem::create_directory(dir / "folder");
    WriteBytes(dir / "plain", {1, 2, 3});
    WriteBytes(dir / "earlier", {7, 7});

    const struct {
        const char* name;
        Path source;
        Path destination;
        int number;
        std::string start;  // the description up to the system's text
    } cases[] = {
        {"missing source", dir / "nothing", dir / "earlier", kNoSuchFile,
         "Cannot open '" + Utf8(dir / "nothing") + "': "},
        {"missing source, beyond ASCII", dir.path() / u8"nichts-日本", dir / "earlier", kNoSuchFile,
         "Cannot open '" + Utf8(dir.path() / u8"nichts-日本") + "': "},
#ifdef _WIN32
        {"folder as source", dir / "folder", dir / "out", kFolderAsSource,
         "Cannot open '" + Utf8(dir / "folder") + "': "},
#else
        {"folder as source", dir / "folder", dir / "out", kFolderAsSource,
         "Cannot read '" + Utf8(dir / "folder") + "': "},
#endif
        {"missing destination folder", dir / "plain", dir / "absent" / "out", kNoSuchFolder,
         "Cannot write '" + Utf8(dir / "absent" / "out") + "': "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = Run({"encode", c.source, c.destination});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        const std::string head = "corvane-codec: Error: " + std::to_string(c.number) + ": " + c.start;
        ASSERT_EQ(outcome.err.substr(0, head.size()), head) << outcome.err;
        const std::string text = outcome.err.substr(head.size());
        EXPECT_TRUE(text.size() > 1 && text.find('\n') == text.size() - 1 && text.find('\r') == std::string::npos)
            << "not one line of system text: " << outcome.err;
#ifndef _WIN32
        EXPECT_EQ(text, std::string(std::strerror(c.number)) + "\n");
#endif
    }
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"earlier", "folder", "plain"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
    EXPECT_EQ(ReadBytes(dir / "earlier"), (Bytes{7, 7}));
}

TEST_F(Companion, ReadOnlyDestinationIsRefusedAndKept)
{
#ifndef _WIN32
    GTEST_SKIP() << "the read-only attribute is Windows's; POSIX permission bits on a replaced "
                    "file are the file transform's tests";
#else
    WriteBytes(dir / "source", {1, 2, 3});
    WriteBytes(dir / "kept", {4, 5, 6});
    ASSERT_TRUE(::SetFileAttributesW((dir / "kept").c_str(), FILE_ATTRIBUTE_READONLY));
    const Outcome outcome = Run({"encode", dir / "source", dir / "kept"});
    ::SetFileAttributesW((dir / "kept").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err.rfind("corvane-codec: Error: " + std::to_string(ERROR_ACCESS_DENIED) + ": ", 0), 0u) << outcome.err;
    EXPECT_NE(outcome.err.find("'" + Utf8(dir / "kept") + "'"), std::string::npos) << outcome.err;
    EXPECT_EQ(ReadBytes(dir / "kept"), (Bytes{4, 5, 6}));
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"kept", "source"}));
#endif
}

// A result carries none of its source's read-only, hidden or system attributes (on POSIX: its
// owner may always write it): the same read-only file coded twice into a folder replaces the
// first result.
TEST_F(Companion, ReadOnlySourceIsCodedTwiceIntoAFolder)
{
    WriteBytes(dir / "ro.txt", {1, 2, 3});
    std::filesystem::create_directory(dir / "out");
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW((dir / "ro.txt").c_str(),
                                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#else
    ASSERT_EQ(::chmod((dir / "ro.txt").c_str(), 0444), 0);
    const mode_t savedUmask = ::umask(022);
#endif
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const Outcome outcome = Run({"encode", dir / "ro.txt", dir / "out"});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(ReadBytes(dir / "out" / "ro.txt"), Encoded({1, 2, 3}));
#ifdef _WIN32
        const DWORD attributes = ::GetFileAttributesW((dir / "out" / "ro.txt").c_str());
        EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
#else
        struct stat info {};
        ASSERT_EQ(::stat((dir / "out" / "ro.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0644u);
#endif
    }
#ifdef _WIN32
    ::SetFileAttributesW((dir / "ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    ::umask(savedUmask);
#endif
}

TEST_F(Companion, FullDiskIsReportedAndKeepsTheEarlierFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "a small disk to fill up is a tmpfs mount, which is POSIX only";
#else
    const testing::SmallDisk disk(dir / "small");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
    const auto& small = disk.path();
    WriteBytes(dir / "big", testing::RandomBytes(1 << 20, 5));
    WriteBytes(small / "result", {4, 5, 6});
    const Outcome outcome = Run({"encode", dir / "big", small / "result"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "corvane-codec: Error: 28: Cannot write '" + (small / "result").string() +
                               "': No space left on device\n");
    EXPECT_EQ(ReadBytes(small / "result"), (Bytes{4, 5, 6}));
    EXPECT_EQ(FileNames(small), std::vector<std::string>{"result"});
#endif
}

// The lines of a stream's text, each without its "\n"; text after the last "\n" is a last line.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        lines.push_back(text.substr(from, end - from));
    }
    if (from < text.size()) lines.push_back(text.substr(from));
    return lines;
}

TEST_F(Companion, CodesEachSourceIntoAFolderUnderItsOwnName)
{
    const Bytes one{1, 2, 3};
    const Bytes two = testing::RandomBytes((1 << 20) + 5, 3);
    const Path beyondAscii = u8"zwei-日本";
    for (const char* folder : {"in", "out", "back"}) std::filesystem::create_directory(dir / folder);
    std::filesystem::create_directory(dir / "in" / "deeper");
    WriteBytes(dir / "in" / "one", one);
    WriteBytes(dir.path() / "in" / "deeper" / beyondAscii, two);
    WriteBytes(dir / "out" / "self", two);

    // Rows run in turn, in the folder the companion runs in; each sees what the rows before left.
    const struct {
        const char* name;
        std::vector<Path> args;
        std::vector<std::pair<Path, Bytes>> results;
    } cases[] = {
        {"two sources, one from deeper down",
         {"encode", Path("in") / "one", Path("in") / "deeper" / beyondAscii, "out"},
         {{Path("out") / "one", Encoded(one)}, {Path("out") / beyondAscii, Encoded(two)}}},
        {"one source and an existing folder", {"decode", Path("out") / "one", "back"}, {{Path("back") / "one", one}}},
        {"a source coded onto itself through its folder", {"encode", Path("out") / "self", "out"},
         {{Path("out") / "self", Encoded(two)}}},
#ifndef _WIN32
        {"one source and a link to a folder", {"encode", Path("in") / "one", "link-to-back"},
         {{Path("back") / "one", Encoded(one)}}},
#endif
    };
#ifndef _WIN32
    std::filesystem::create_directory_symlink("back", dir / "link-to-back");
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.out, "");
        for (const auto& [path, expected] : c.results) {
            EXPECT_EQ(FirstDifference(ReadBytes(dir.path() / path), expected), "") << Utf8(path);
        }
    }
    EXPECT_EQ(FileNames(dir / "back"), std::vector<std::string>{"one"});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"), {}), 3);
}

TEST_F(Companion, OneBadSourceIsReportedAndTheOthersLand)
{
    const Bytes good{5, 6, 7};
    const Bytes other{9, 9};
    WriteBytes(dir / "good1", good);
    WriteBytes(dir / "good2", good);
    std::filesystem::create_directory(dir / "other");
    WriteBytes(dir / "other" / "good1", other);
    const struct {
        const char* name;
        Path bad;
        int number;
        std::string start;  // the description up to the system's text, or all of it
    } cases[] = {
        {"missing", "missing", kNoSuchFile, "Cannot open 'missing': "},
#ifdef _WIN32
        {"a folder", "other", kFolderAsSource, "Cannot open 'other': "},
#else
        {"a folder", "other", kFolderAsSource, "Cannot read 'other': "},
#endif
        {"a name coded just before", Path("other") / "good1", kAlreadyWritten,
         "Will not write '" + Utf8(Path("other") / "good1") + "' over '" + Utf8(Path("out") / "good1") +
             "': another source of this run was just written there"},
#ifdef _WIN32
        // The folder ignores case: the same file, told by its identity.
        {"a name coded just before, in another case", Path("other") / "GOOD1", kAlreadyWritten,
         "Will not write '" + Utf8(Path("other") / "GOOD1") + "' over '" + Utf8(Path("out") / "GOOD1") +
             "': another source of this run was just written there"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directory(dir / "out");
        const Outcome outcome = Run({"encode", "good1", c.bad, "good2", "out"});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        const std::vector<std::string> lines = Lines(outcome.err);
        ASSERT_EQ(lines.size(), 1u) << outcome.err;
        const std::string head = "corvane-codec: Error: " + std::to_string(c.number) + ": " + c.start;
        EXPECT_EQ(lines[0].substr(0, head.size()), head) << outcome.err;
        EXPECT_EQ(FileNames(dir / "out"), (std::vector<std::string>{"good1", "good2"}));
        EXPECT_EQ(ReadBytes(dir / "out" / "good1"), Encoded(good));
        EXPECT_EQ(ReadBytes(dir / "out" / "good2"), Encoded(good));
    }
}

#ifndef _WIN32
// A source that is an earlier source's result by another name (a link to it) is read once that
// result is written, as coding one file after the other reads it, whether or not an earlier
// result was there before.
TEST_F(Companion, SourceThatIsAnEarlierResultIsReadAfterItIsWritten)
{
    const Bytes plain{'p', 'l', 'a', 'i', 'n'};
    WriteBytes(dir / "a", plain);
    std::filesystem::create_symlink(Path("out") / "a", dir / "lnk");
    for (const bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "an earlier result there" : "no earlier result");
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directory(dir / "out");
        if (earlier) WriteBytes(dir / "out" / "a", {'O', 'L', 'D'});
        const Outcome outcome = Run({"encode", "a", "lnk", "out"});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "out" / "a"), Encoded(plain)), "");
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "out" / "lnk"), Encoded(Encoded(plain))), "");
    }
}
#endif

// Makes `at` a symbolic link to the file `target`, a path relative to the link's folder. False
// where no link can be made: Windows makes one only with Developer Mode or the privilege to, and
// Wine answers that it made one without making it.
bool MadeFileLink(const Path& target, const Path& at)
{
#ifdef _WIN32
    ::CreateSymbolicLinkW(at.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = ::GetFileAttributesW(at.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    std::filesystem::create_symlink(target, at);
    return true;
#endif
}

// A destination that is a link to a file not there yet, which an earlier source of the run is
// about to write, is that earlier source's result once it is written: the later source is
// refused, and the link and the result stay. The batch waits for the earlier file to be in place
// before it looks, so that it gives what coding one file after the other (with --progress) gives.
TEST_F(Companion, LinkAtADestinationToAnEarlierResultNotThereYetIsRefused)
{
    const Bytes a{'a'};
    WriteBytes(dir / "a", a);
    WriteBytes(dir / "b", {'b', 'b'});
    for (const bool oneByOne : {false, true}) {
        SCOPED_TRACE(oneByOne ? "one by one" : "in one batch");
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directory(dir / "out");
        if (!MadeFileLink("a", dir / "out" / "b")) {
            GTEST_SKIP() << "no symbolic link can be made here: Windows needs Developer Mode or the privilege, "
                            "and Wine makes none";
        }
        std::vector<Path> args{"encode", "a", "b", "out"};
        if (oneByOne) args.insert(args.begin(), "--progress");
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 1) << outcome.err;
        const std::vector<std::string> lines = Lines(outcome.err);
        const std::string refusal = "corvane-codec: Error: " + std::to_string(kAlreadyWritten) +
                                    ": Will not write 'b' over '" + Utf8(Path("out") / "b") +
                                    "': another source of this run was just written there";
        EXPECT_NE(std::find(lines.begin(), lines.end(), refusal), lines.end()) << outcome.err;
        EXPECT_EQ(FileNames(dir / "out"), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "out" / "a"), Encoded(a)), "");
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "out" / "b"), Encoded(a)), "") << "the link was replaced";
    }
}

TEST_F(Companion, SeveralSourcesNeedAnExistingFolder)
{
    WriteBytes(dir / "a", {1});
    WriteBytes(dir / "b", {2});
    const struct {
        const char* name;
        Path target;
        int number;
    } cases[] = {
        {"missing", "absent", kNoSuchFile},
        {"a file", "b", kNotAFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = Run({"encode", "a", "b", c.target});
        EXPECT_EQ(outcome.status, 1);
        const std::string head = "corvane-codec: Error: " + std::to_string(c.number) + ": Cannot write into '" + Utf8(c.target) + "': ";
        EXPECT_EQ(outcome.err.substr(0, head.size()), head) << outcome.err;
        EXPECT_EQ(Lines(outcome.err).size(), 1u) << outcome.err;
        EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(ReadBytes(dir / "b"), Bytes{2});
    }
}

// Away from a terminal, --progress writes whole lines, never "\r": one as each file is done
// (and one every few seconds for a long file, which these small files never need).
TEST_F(Companion, ProgressAwayFromATerminalIsWholeLines)
{
    WriteBytes(dir / "a", {1, 2, 3});
    WriteBytes(dir / "b", testing::RandomBytes((1 << 20) + 5, 8));
    std::filesystem::create_directory(dir / "out");
    const struct {
        std::vector<Path> args;
        Path input;
        std::vector<std::string> starts;  // of the lines, in order
    } cases[] = {
        {{"--progress", "encode", "a", "b", "out"}, {},
         {"file 1 of 2, a: 3 bytes of 3 bytes (100%), ", "file 2 of 2, b: 1.00 MiB of 1.00 MiB (100%), "}},
        {{"encode", "--progress", "b", "c"}, {}, {"1.00 MiB of 1.00 MiB (100%), "}},
        {{"decode", "-", "d", "--progress"}, dir / "a", {"3 bytes, "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.args[1]) + " " + Utf8(c.args[2]));
        const Outcome outcome = Run(c.args, c.input);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err.find('\r'), std::string::npos) << outcome.err;
        ASSERT_FALSE(outcome.err.empty());
        EXPECT_EQ(outcome.err.back(), '\n');
        const std::vector<std::string> lines = Lines(outcome.err);
        ASSERT_EQ(lines.size(), c.starts.size()) << outcome.err;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].substr(0, c.starts[i].size()), c.starts[i]);
            EXPECT_NE(lines[i].find("/s, took "), std::string::npos) << lines[i];
        }
    }
}

#ifndef _WIN32
// A pseudo-terminal `columns` wide whose far end the companion gets as its standard error.
class Terminal {
public:
    explicit Terminal(unsigned short columns)
    {
        near_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (near_ < 0 || ::grantpt(near_) != 0 || ::unlockpt(near_) != 0) return;
        far_ = ::open(::ptsname(near_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (far_ < 0) return;
        termios raw{};
        ::tcgetattr(far_, &raw);
        ::cfmakeraw(&raw);  // the bytes as written: no "\n" turned into "\r\n"
        ::tcsetattr(far_, TCSANOW, &raw);
        winsize size{};
        size.ws_col = columns;
        size.ws_row = 24;
        ::ioctl(far_, TIOCSWINSZ, &size);
    }
    ~Terminal()
    {
        for (const int fd : {near_, far_}) {
            if (fd >= 0) ::close(fd);
        }
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool Opened() const { return near_ >= 0 && far_ >= 0; }
    int FarEnd() const { return far_; }
    // Once the companion has its copy: reading then ends when the companion ends.
    void ReleaseFarEnd()
    {
        ::close(far_);
        far_ = -1;
    }

    // Collects what the companion writes until `enough` holds for it (true) or the companion
    // has closed the terminal or a minute has passed (false).
    bool ReadUntil(const std::function<bool(const std::string&)>& enough)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!enough(text)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd ready{near_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(near_, buffer, sizeof buffer);
            if (got <= 0) return false;  // EIO: no one has the far end open any more
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }
    void ReadToEnd()
    {
        ReadUntil([](const std::string&) { return false; });
    }

    std::string text;

private:
    int near_ = -1;
    int far_ = -1;
};

// The last state each line was drawn in: what follows its last "\r".
std::vector<std::string> FinalStates(const std::string& text)
{
    std::vector<std::string> states;
    for (const std::string& line : Lines(text)) states.push_back(line.substr(line.rfind('\r') + 1));
    return states;
}

// Every piece of text a redraw put on the terminal, between two "\r", before the line's final
// state: those are drawn over again, so they must never wrap. The final state may.
std::vector<std::string> Redrawn(const std::string& text)
{
    std::vector<std::string> pieces;
    for (const std::string& line : Lines(text)) {
        std::size_t from = 0;
        for (std::size_t end; (end = line.find('\r', from)) != std::string::npos; from = end + 1) {
            pieces.push_back(line.substr(from, end - from));
        }
    }
    return pieces;
}

// True when a final state ends with the whole time the file took.
// The blanks after it cover what was left of a longer line before (a slow machine's "less than a
// second left" before a final "took 1 s").
bool EndsWithTheTimeTaken(const std::string& state)
{
    static const std::regex kTook(".*, took (less than a second|[0-9]+ s|[0-9]+ min [0-9]{2} s|[0-9]+ h [0-9]{2} min) *$");
    return std::regex_match(state, kTook);
}

// Writes all of `bytes` into `fd`, which the companion reads.
void Feed(int fd, const Bytes& bytes)
{
    for (std::size_t fed = 0; fed < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + fed, bytes.size() - fed);
        ASSERT_GT(n, 0) << std::strerror(errno);
        fed += static_cast<std::size_t>(n);
    }
}

// Two chunks and a byte: once all of it has gone into the pipe, the companion has coded and
// written two whole chunks and waits for the rest of the third.
const Bytes& TwoChunksAndAByte()
{
    static const Bytes bytes = testing::RandomBytes((2 << 20) + 1, 4);
    return bytes;
}

bool ShowsTwoChunksDone(const std::string& text) { return text.find("2.00 MiB, ") != std::string::npos; }
#endif

TEST_F(Companion, ProgressOnATerminalIsOneLineRedrawnInPlace)
{
#ifdef _WIN32
    GTEST_SKIP() << "a pseudo-terminal to watch the companion through is POSIX's";
#else
    WriteBytes(dir / "sparse", {});
    std::filesystem::resize_file(dir / "sparse", 64 << 20);
    const std::string longName1 = "a-name-long-enough-to-be-cut-on-a-narrow-terminal-1";
    const std::string longName2 = "a-name-long-enough-to-be-cut-on-a-narrow-terminal-2";
    WriteBytes(dir / longName1, {1});
    WriteBytes(dir / longName2, {2});
    WriteBytes(dir / "a", {3});
    std::filesystem::create_directory(dir / "out");
    const struct {
        const char* name;
        std::vector<Path> args;
        unsigned short columns;
        bool fedInSteps;  // standard input from a pipe, finished only once a redraw showed
        std::vector<std::string> starts;  // of each line's last state
    } cases[] = {
        {"a file", {"--progress", "encode", "sparse", "sparse.coded"}, 80, false, {"64.0 MiB of 64.0 MiB (100%), "}},
        {"standard input", {"--progress", "encode", "-", "piped.coded"}, 80, true, {"2.00 MiB, "}},
        {"long names, narrow terminal", {"--progress", "encode", longName1, longName2, "out"}, 72, false,
         {"file 1 of 2, ...erminal-1: 1 bytes of 1 bytes (100%), ", "file 2 of 2, ...erminal-2: 1 bytes of 1 bytes (100%), "}},
        // The rest of the line leaves no room: a short name is still shown whole.
        {"short names, 60 columns", {"--progress", "encode", "sparse", "a", "out"}, 60, false,
         {"file 1 of 2, sparse: 64.0 MiB of 64.0 MiB (100%), ", "file 2 of 2, a: 1 bytes of 1 bytes (100%), "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Terminal terminal(c.columns);
        ASSERT_TRUE(terminal.Opened()) << std::strerror(errno);
        int feed[2];
        ASSERT_EQ(::pipe2(feed, O_CLOEXEC), 0);
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const pid_t pid = Start(c.args, dir.path(), c.fedInSteps ? feed[0] : null, null, terminal.FarEnd());
        ::close(feed[0]);
        ::close(null);
        terminal.ReleaseFarEnd();
        ASSERT_GT(pid, 0);
        if (c.fedInSteps) {
            Feed(feed[1], TwoChunksAndAByte());
            EXPECT_TRUE(terminal.ReadUntil(ShowsTwoChunksDone)) << terminal.text;
        }
        ::close(feed[1]);
        terminal.ReadToEnd();
        EXPECT_EQ(WaitStatus(pid), 0) << terminal.text;

        const std::string& text = terminal.text;
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        // A redraw that wraps would leave its first part behind on the line above.
        for (const std::string& piece : Redrawn(text)) EXPECT_LT(piece.size(), c.columns) << piece;
        if (c.fedInSteps) {
            EXPECT_NE(text.find("\r2.00 MiB, "), std::string::npos) << "no redraw in place: " << text;
            EXPECT_EQ(FirstDifference(ReadBytes(dir / "piped.coded"), Encoded(TwoChunksAndAByte())), "");
        }
        const std::vector<std::string> states = FinalStates(text);
        ASSERT_EQ(states.size(), c.starts.size()) << text;
        for (std::size_t i = 0; i < states.size(); ++i) {
            EXPECT_EQ(states[i].substr(0, c.starts[i].size()), c.starts[i]) << text;
            EXPECT_TRUE(EndsWithTheTimeTaken(states[i])) << text;
        }
    }
#endif
}

// A name is measured in the columns the terminal gives it, as the C library counts them: a
// combining accent takes none, so this name of 30 columns (and 110 bytes) is shown whole where 30
// columns are left for it.
TEST_F(Companion, ProgressMeasuresNamesInColumns)
{
#ifdef _WIN32
    GTEST_SKIP() << "a pseudo-terminal to watch the companion through is POSIX's";
#else
    std::string accented;
    for (int i = 0; i < 20; ++i) accented += "e\xCC\x81\xCC\xA3";  // "e", a combining acute accent and dot below
    const std::string name1 = "accents-" + accented + "-1";
    const std::string name2 = "accents-" + accented + "-2";
    WriteBytes(dir / name1, {1});
    WriteBytes(dir / name2, {2});
    std::filesystem::create_directory(dir / "out");
    // "file 1 of 2, NAME: 1 bytes of 1 bytes (100%), 1023 bytes/s, took less than a second" is
    // at most 109 columns with this name; counting each accent as a column would add 40, more
    // than the 115 a line may take here.
    Terminal terminal(116);
    ASSERT_TRUE(terminal.Opened()) << std::strerror(errno);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = Start({"--progress", "encode", name1, name2, "out"}, dir.path(), null, null, terminal.FarEnd());
    ::close(null);
    terminal.ReleaseFarEnd();
    ASSERT_GT(pid, 0);
    terminal.ReadToEnd();
    EXPECT_EQ(WaitStatus(pid), 0) << terminal.text;
    const std::vector<std::string> states = FinalStates(terminal.text);
    ASSERT_EQ(states.size(), 2u) << terminal.text;
    EXPECT_EQ(states[0].rfind("file 1 of 2, " + name1 + ": ", 0), 0u) << terminal.text;
    EXPECT_EQ(states[1].rfind("file 2 of 2, " + name2 + ": ", 0), 0u) << terminal.text;
#endif
}

// Ctrl+C half-way: the file keeps its earlier content, no temporary file stays, the progress line
// is ended for the shell, and the companion ends through the signal.
TEST_F(Companion, InterruptedFileIsLeftAsItWasAndTheLineEnded)
{
#ifdef _WIN32
    GTEST_SKIP() << "SIGINT sent to one process and a pseudo-terminal are POSIX's";
#else
    for (const char* temporary : {"unnamed", "named"}) {
        SCOPED_TRACE(temporary);
        const Path folder = dir / temporary;
        std::filesystem::create_directory(folder);
        WriteBytes(folder / "result", {4, 5, 6});
        Terminal terminal(80);
        ASSERT_TRUE(terminal.Opened()) << std::strerror(errno);
        int feed[2];
        ASSERT_EQ(::pipe2(feed, O_CLOEXEC), 0);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const pid_t pid = Start({"--progress", "encode", "-", "result"}, folder, feed[0], null, terminal.FarEnd(),
                                {std::string("CORVANE_TEMPORARY_FILE=") + temporary});
        ::close(feed[0]);
        ::close(null);
        terminal.ReleaseFarEnd();
        ASSERT_GT(pid, 0);
        Feed(feed[1], TwoChunksAndAByte());
        EXPECT_TRUE(terminal.ReadUntil(ShowsTwoChunksDone)) << terminal.text;

        ASSERT_EQ(::kill(pid, SIGINT), 0);
        EXPECT_EQ(WaitStatus(pid), 128 + SIGINT);
        ::close(feed[1]);
        terminal.ReadToEnd();
        ASSERT_FALSE(terminal.text.empty());
        EXPECT_EQ(terminal.text.back(), '\n') << terminal.text;
        const std::vector<std::string> states = FinalStates(terminal.text);
        ASSERT_EQ(states.size(), 1u) << terminal.text;
        EXPECT_EQ(states[0].rfind("2.00 MiB, ", 0), 0u) << terminal.text;
        EXPECT_EQ(FileNames(folder), std::vector<std::string>{"result"});
        EXPECT_EQ(ReadBytes(folder / "result"), (Bytes{4, 5, 6}));
    }
#endif
}

#ifndef _WIN32
// Whether a thread of process `pid` is waiting in a write(2) to its standard error.
// Whether a thread of process `pid` waits in system call `number` (on descriptor `fd`, when
// given, as the kernel writes it: "0x2").
bool BlockedIn(pid_t pid, long number, const char* fd = nullptr)
{
    const Path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ignored)) {
        std::ifstream syscall(task.path() / "syscall");
        std::string call;
        std::string on;
        if (syscall >> call >> on && call == std::to_string(number) && (!fd || on == fd)) return true;
    }
    return false;
}

bool BlockedWritingStandardError(pid_t pid) { return BlockedIn(pid, SYS_write, "0x2"); }

#endif

#ifndef _WIN32
// A run of the companion under strace (`args` after strace's own "-f -qq"), in the test's folder.
struct Traced {
    int status = -1;
    std::string err;   // what it wrote to standard error
    std::string skip;  // why the run says nothing here (no strace, or no tracing allowed), or empty
};

Traced UnderStrace(const std::vector<std::string>& args, const std::filesystem::path& folder)
{
    std::vector<std::string> all{"-f", "-qq"};
    all.insert(all.end(), args.begin(), args.end());
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int err = ::open((folder / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = testing::StartProgram("strace", all, null, null, err, folder);
    ::close(null);
    ::close(err);
    Traced run;
    run.status = WaitStatus(pid);
    run.err = Text(ReadBytes(folder / "err"));
    if (run.status == 127 || pid < 0) run.skip = "strace is not installed";
    // A sanitizer's leak check refuses to run under ptrace.
    if (run.err.find("ptrace") != std::string::npos) run.skip = "strace may not trace here: " + run.err;
    return run;
}
#endif

// The folder's flush fails (strace makes the second fsync, the folder's, fail) after the file
// took the destination's name: the file is done, with a warning, and the exit status says so.
TEST_F(Companion, FolderThatCannotBeFlushedIsAWarningAndTheFileDone)
{
#ifdef _WIN32
    GTEST_SKIP() << "the folder's flush is POSIX's; Windows writes the move through";
#else
    const Bytes plain{1, 2, 3, 4};
    WriteBytes(dir / "source", plain);
    WriteBytes(dir / "result", {9, 9});
    const Traced run = UnderStrace({"-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:error=EIO:when=2",
                                    CORVANE_CODEC_EXE, "encode", "source", "result"},
                                   dir.path());
    if (!run.skip.empty()) GTEST_SKIP() << run.skip;
    const std::string& message = run.err;
    EXPECT_EQ(run.status, 0) << message;
    EXPECT_EQ(message, "corvane-codec: Warning: 5: Written, but cannot flush the folder of 'result': Input/output error\n");
    EXPECT_EQ(FirstDifference(ReadBytes(dir / "result"), Encoded(plain)), "");
#endif
}

// Sources into a folder share their flushes, and each stays durable: every file's data is on
// disk (one syncfs) before any name points at it, and the folder is flushed once, after the
// last name, before the companion ends. A file that replaces another waits under a hidden name
// (linkat) for its rename; a new result waits without a name and takes its own by linkat.
// Watched with strace; calls that failed (a link by descriptor refused to a user) are left out.
TEST_F(Companion, FilesIntoAFolderAreFlushedOnceBeforeTheirNamesAndTheFolderAfter)
{
#ifdef _WIN32
    GTEST_SKIP() << "syncfs and strace are Linux's";
#else
    std::filesystem::create_directory(dir / "out");
    WriteBytes(dir / "out" / "a", {9});
    std::vector<std::string> args{"-o", (dir / "calls").string(), "-e",
                                  "trace=fsync,fdatasync,syncfs,sync,rename,renameat,renameat2,link,linkat",
                                  CORVANE_CODEC_EXE, "encode"};
    for (const char* name : {"a", "b", "c"}) {
        WriteBytes(dir / name, {1, 2, 3});
        args.push_back(name);
    }
    args.push_back("out");
    const Traced run = UnderStrace(args, dir.path());
    if (!run.skip.empty()) GTEST_SKIP() << run.skip;
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> calls;
    for (const std::string& line : Lines(Text(ReadBytes(dir / "calls")))) {
        const std::size_t start = line.find_first_not_of("0123456789 ");
        const std::size_t end = line.find('(', start);
        if (start != std::string::npos && end != std::string::npos && line.find("= -1") == std::string::npos)
            calls.push_back(line.substr(start, end - start));
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"linkat", "syncfs", "renameat", "linkat", "linkat", "fsync"}));
    EXPECT_EQ(FileNames(dir / "out"), (std::vector<std::string>{"a", "b", "c"}));
    for (const char* name : {"a", "b", "c"}) EXPECT_EQ(ReadBytes(dir / "out" / name), Encoded({1, 2, 3}));
#endif
}

// A terminal that takes no more text (stopped, or full) blocks the companion's last step, the
// newline after its progress line: the temporary file is removed before that step, so a signal
// leaves nothing even then.
TEST_F(Companion, SignalRemovesTheTemporaryFileBeforeTouchingTheTerminal)
{
#ifdef _WIN32
    GTEST_SKIP() << "signals and a pseudo-terminal are POSIX's";
#else
    WriteBytes(dir / "result", {4, 5, 6});
    Terminal terminal(80);
    ASSERT_TRUE(terminal.Opened()) << std::strerror(errno);
    // Filled up to the brim through the far end, which the companion then shares.
    const int flags = ::fcntl(terminal.FarEnd(), F_GETFL);
    ::fcntl(terminal.FarEnd(), F_SETFL, flags | O_NONBLOCK);
    const std::string filler(4096, 'x');
    for (std::size_t size = filler.size(); size > 0; size /= 2) {
        while (::write(terminal.FarEnd(), filler.data(), size) > 0) {
        }
        ASSERT_EQ(errno, EAGAIN);
    }
    ::fcntl(terminal.FarEnd(), F_SETFL, flags);

    int feed[2];
    ASSERT_EQ(::pipe2(feed, O_CLOEXEC), 0);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = Start({"--progress", "encode", "-", "result"}, dir.path(), feed[0], null, terminal.FarEnd(),
                            {"CORVANE_TEMPORARY_FILE=named"});
    ::close(feed[0]);
    ::close(null);
    terminal.ReleaseFarEnd();
    ASSERT_GT(pid, 0);
    Feed(feed[1], TwoChunksAndAByte());
    EXPECT_EQ(FileNames(dir.path()).size(), 2u) << "no temporary file while coding";
    // The progress line is being drawn, so the handler's newline will block too.
    EXPECT_TRUE(AwaitCondition([pid] { return BlockedWritingStandardError(pid); }));

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_TRUE(AwaitCondition([&] { return FileNames(dir.path()) == std::vector<std::string>{"result"}; }))
        << "the temporary file stayed while the handler waited on the terminal";
    ::kill(pid, SIGKILL);
    WaitStatus(pid);
    ::close(feed[1]);
    EXPECT_EQ(ReadBytes(dir / "result"), (Bytes{4, 5, 6}));
#endif
}

// A batch killed while its group waits to be put in place leaves nothing of its new results:
// they wait open and without a name. A file that replaces another waits under a hidden name,
// which the next coding into the folder removes; the file it replaces is untouched. The batch is
// stopped as soon as that hidden name shows (the new result `a` waits already), while a large
// last source is still being coded.
TEST_F(Companion, KilledBatchLeavesNothingOfItsNewResults)
{
#ifdef _WIN32
    GTEST_SKIP() << "SIGSTOP and SIGKILL are POSIX's";
#else
    for (const char* name : {"a", "b", "c"}) WriteBytes(dir / name, {1, 2, 3});
    WriteBytes(dir / "large", testing::RandomBytes(std::size_t{48} << 20, 5));
    std::filesystem::create_directory(dir / "out");
    WriteBytes(dir / "out" / "b", {9});
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = Start({"encode", "a", "b", "c", "large", "out"}, dir.path(), null, null, null);
    ::close(null);
    ASSERT_GT(pid, 0);
    const auto waiting = [&] {
        const std::vector<std::string> names = FileNames(dir / "out");
        return std::any_of(names.begin(), names.end(), [](const std::string& name) { return IsTemporaryName(name); });
    };
    EXPECT_TRUE(AwaitCondition(waiting)) << "the replacing file never waited under a hidden name";
    ::kill(pid, SIGSTOP);
    const bool stillWaiting = waiting();
    ::kill(pid, SIGKILL);
    WaitStatus(pid);
    if (!stillWaiting) GTEST_SKIP() << "the group was put in place before the batch could be stopped";

    const std::vector<std::string> names = FileNames(dir / "out");
    ASSERT_EQ(names.size(), 2u) << ::testing::PrintToString(names);
    EXPECT_TRUE(IsTemporaryName(names[0])) << names[0];
    EXPECT_EQ(names[1], "b");
    EXPECT_EQ(ReadBytes(dir / "out" / "b"), Bytes{9});
    // The next coding into the folder takes the leftover away.
    ASSERT_EQ(Run({"encode", "a", "out"}).status, 0);
    EXPECT_EQ(FileNames(dir / "out"), (std::vector<std::string>{"a", "b"}));
#endif
}

// Ctrl+C in the middle of a batch ends it at once: files done before stay, later ones are not
// begun. The file in progress goes into a FIFO the test reads, so the test knows where it is.
TEST_F(Companion, InterruptedBatchKeepsTheFilesDoneBefore)
{
#ifdef _WIN32
    GTEST_SKIP() << "SIGINT sent to one process and a FIFO are POSIX's";
#else
    const Bytes first{1, 2, 3};
    WriteBytes(dir / "first", first);
    WriteBytes(dir / "second", TwoChunksAndAByte());
    WriteBytes(dir / "third", {7, 8, 9});
    std::filesystem::create_directory(dir / "out");
    ASSERT_EQ(::mkfifo((dir / "out" / "second").c_str(), 0600), 0);
    WriteBytes(dir / "out" / "third", {4, 5, 6});
    const int reader = ::open((dir / "out" / "second").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0) << std::strerror(errno);

    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = Start({"encode", "first", "second", "third", "out"}, dir.path(), null, null, null);
    ::close(null);
    ASSERT_GT(pid, 0);
    // Once a whole chunk has come out of the FIFO, the companion codes the second file and waits
    // for room in the FIFO for the rest.
    std::size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (got < (1u << 20) && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{reader, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) continue;
        char buffer[65536];
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    ASSERT_GE(got, 1u << 20);

    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(WaitStatus(pid), 128 + SIGINT);
    ::close(reader);
    EXPECT_EQ(FileNames(dir / "out"), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(ReadBytes(dir / "out" / "first"), Encoded(first));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "out" / "second"));
    EXPECT_EQ(ReadBytes(dir / "out" / "third"), (Bytes{4, 5, 6}));
#endif
}

#ifdef _WIN32
// The bytes of a resource of the companion's program file.
std::string Resource(HMODULE module, LPCSTR type, int id)
{
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return {};
    const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    return {data, ::SizeofResource(module, found)};
}
#endif

TEST_F(Companion, ProgramCarriesVersionIconAndManifest)
{
#ifndef _WIN32
    GTEST_SKIP() << "version, icon and manifest resources are Windows's";
#else
    const Path program = CompanionProgram();
    DWORD ignored = 0;
    std::string info(::GetFileVersionInfoSizeW(program.c_str(), &ignored), '\0');
    ASSERT_FALSE(info.empty()) << "no version resource";
    ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
                  "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS)),
              CORVANE_VERSION);

    HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_FALSE(Resource(module, RT_GROUP_ICON, 1).empty()) << "no program icon";
    const std::string manifest = Resource(module, RT_MANIFEST, 1);
    ::FreeLibrary(module);
    EXPECT_NE(manifest.find(">UTF-8</activeCodePage>"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos) << manifest;
#endif
}

}  // namespace
}  // namespace corvane
