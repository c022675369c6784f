// corvane-codec driven as a script would: real process, real files, real exit codes.
#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winver.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/SmallDisk.h"

extern char** environ;
#endif

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "codec/ByteCodec.h"
#include "support/Coded.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::Bytes;
using testing::Encoded;
using testing::FileNames;
using testing::FirstDifference;
using testing::ReadBytes;
using testing::WriteBytes;
using Path = std::filesystem::path;

// The error numbers each system gives for the refusals tested here.
#ifdef _WIN32
constexpr int kNoSuchFile = ERROR_FILE_NOT_FOUND;
constexpr int kNoSuchFolder = ERROR_PATH_NOT_FOUND;
constexpr int kFolderAsSource = ERROR_ACCESS_DENIED;
constexpr int kFolderAsDestination = ERROR_ACCESS_DENIED;
#else
constexpr int kNoSuchFile = ENOENT;
constexpr int kNoSuchFolder = ENOENT;
constexpr int kFolderAsSource = EISDIR;
constexpr int kFolderAsDestination = EISDIR;
#endif

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
int Spawn(const std::vector<Path>& args, const Path& folder, const Path& input, const Path& out,
          const Path& err)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> texts{CORVANE_CODEC_EXE};
    for (const Path& a : args) texts.push_back(a.native());
    std::vector<char*> argv;
    for (auto& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);

    int status = -1;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        ::waitpid(pid, &status, 0);
        status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
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
        {{"encode", "a", "b", "c"}, "unexpected argument 'c'"},
        {{"--helpme"}, "unknown option '--helpme'"},
        {{"encode", "-x", "b"}, "unknown option '-x'"},
        {{"decode", u8"-ü"}, "unknown option '" + Utf8(u8"-ü") + "'"},
        {{"--", "--help"}, "unknown command '--help'"},
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
    for (const char* option : {"-h", "--help"}) {
        const Outcome help = Run({option});
        EXPECT_EQ(help.status, 0) << option;
        EXPECT_EQ(help.out.rfind("Usage: corvane-codec encode SOURCE DESTINATION\n", 0), 0u) << option;
        EXPECT_EQ(help.err, "") << option;
    }
    for (const char* option : {"-V", "--version"}) {
        const Outcome version = Run({option});
        EXPECT_EQ(version.status, 0) << option;
        EXPECT_EQ(version.out, "corvane-codec " CORVANE_VERSION "\n") << option;
        EXPECT_EQ(version.err, "") << option;
    }
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
        {"folder as destination", dir / "plain", dir / "folder", kFolderAsDestination,
         "Cannot write '" + Utf8(dir / "folder") + "': "},
        {"missing destination folder", dir / "plain", dir / "absent" / "out", kNoSuchFolder,
         "Cannot write '" + Utf8(dir / "absent" / "out") + "': "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = Run({"encode", c.source, c.destination});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        const std::string head = "Error: " + std::to_string(c.number) + ": " + c.start;
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
    EXPECT_EQ(outcome.err.rfind("Error: " + std::to_string(ERROR_ACCESS_DENIED) + ": ", 0), 0u) << outcome.err;
    EXPECT_NE(outcome.err.find("'" + Utf8(dir / "kept") + "'"), std::string::npos) << outcome.err;
    EXPECT_EQ(ReadBytes(dir / "kept"), (Bytes{4, 5, 6}));
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"kept", "source"}));
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
    EXPECT_EQ(outcome.err, "Error: 28: Cannot write '" + (small / "result").string() +
                               "': No space left on device\n");
    EXPECT_EQ(ReadBytes(small / "result"), (Bytes{4, 5, 6}));
    EXPECT_EQ(FileNames(small), std::vector<std::string>{"result"});
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
                  "." + std::to_string(HIWORD(fixed->dwFileVersionLS)),
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
