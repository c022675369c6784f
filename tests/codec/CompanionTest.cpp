// corvane-codec driven as a script would: real process, real files, real exit codes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "codec/ByteCodec.h"
#include "support/Coded.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

extern char** environ;

namespace corvane {
namespace {

using testing::Bytes;
using testing::Encoded;
using testing::FirstDifference;
using testing::ReadBytes;
using testing::WriteBytes;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class Companion : public ::testing::Test {
protected:
    // Runs corvane-codec with `args`, standard input from `input` (or nothing).
    Outcome Run(std::vector<std::string> args, const std::filesystem::path& input = "/dev/null")
    {
        const auto outPath = dir / ".stdout";
        const auto errPath = dir / ".stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

        args.insert(args.begin(), CORVANE_CODEC_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        Outcome outcome;
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        const Bytes out = ReadBytes(outPath);
        const Bytes err = ReadBytes(errPath);
        outcome.out.assign(out.begin(), out.end());
        outcome.err.assign(err.begin(), err.end());
        std::filesystem::remove(outPath);
        std::filesystem::remove(errPath);
        return outcome;
    }

    testing::TempDir dir;
};

TEST_F(Companion, RoundTripsFilesAndStreamsSilently)
{
    const Bytes plain = testing::RandomBytes((2 << 20) + 17, 9);
    const Bytes coded = Encoded(plain);
    WriteBytes(dir / "plain", plain);
    const auto p = [&](const char* name) { return (dir / name).string(); };

    const struct {
        std::vector<std::string> args;
        std::filesystem::path input;
        std::filesystem::path result;  // empty: standard output
        const Bytes& expected;
    } cases[] = {
        {{"encode", p("plain"), p("coded")}, "/dev/null", dir / "coded", coded},
        {{"decode", p("coded"), p("back")}, "/dev/null", dir / "back", plain},
        {{"encode", "-", "-"}, dir / "plain", {}, coded},
        {{"decode", "-", p("from-stdin")}, dir / "coded", dir / "from-stdin", plain},
        {{"encode", p("plain"), "-"}, "/dev/null", {}, coded},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Run(c.args, c.input);
        EXPECT_EQ(outcome.status, 0) << c.args[1] << " " << c.args[2] << ": " << outcome.err;
        EXPECT_EQ(outcome.err, "");
        const Bytes result = c.result.empty() ? Bytes(outcome.out.begin(), outcome.out.end())
                                              : ReadBytes(c.result);
        if (!c.result.empty()) {
            EXPECT_EQ(outcome.out, "");
        }
        EXPECT_EQ(FirstDifference(result, c.expected), "") << c.args[1] << " " << c.args[2];
    }
}

TEST_F(Companion, CodesAFileOntoItself)
{
    WriteBytes(dir / "file", {10, 20, 30});
    const auto file = (dir / "file").string();
    EXPECT_EQ(Run({"encode", file, file}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "file"), (Bytes{10, 30, 60}));
    EXPECT_EQ(Run({"decode", file, file}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "file"), (Bytes{10, 20, 30}));
}

TEST_F(Companion, UsageHelpAndVersion)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"encode"}, {"encode", "a"}, {"encrypt", "a", "b"}, {"encode", "a", "b", "c"}, {"--helpme"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(outcome.err.rfind("Usage: corvane-codec encode SOURCE DESTINATION\n", 0), 0u);
        EXPECT_EQ(outcome.out, "");
    }
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: corvane-codec", 0), 0u);
    const Outcome version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "corvane-codec " CORVANE_VERSION "\n");
}

TEST_F(Companion, FailureIsOneNumberedLineAndExitOne)
{
    WriteBytes(dir / "earlier", {1, 2});
    const auto missing = (dir / "missing").string();
    const Outcome outcome = Run({"encode", missing, (dir / "earlier").string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "Error: 2: Cannot open '" + missing + "': No such file or directory\n");
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(ReadBytes(dir / "earlier"), (Bytes{1, 2}));
}

TEST_F(Companion, FullDiskIsReportedAndKeepsTheEarlierFile)
{
    const testing::SmallDisk disk(dir / "small");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
    const auto& small = disk.path();
    WriteBytes(dir / "big", testing::RandomBytes(1 << 20, 5));
    WriteBytes(small / "result", {4, 5, 6});
    const Outcome outcome = Run({"encode", (dir / "big").string(), (small / "result").string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "Error: 28: Cannot write '" + (small / "result").string() +
                               "': No space left on device\n");
    EXPECT_EQ(ReadBytes(small / "result"), (Bytes{4, 5, 6}));
    EXPECT_EQ(testing::FileNames(small), std::vector<std::string>{"result"});
}

}  // namespace
}  // namespace corvane
