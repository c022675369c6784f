// corvane started from a terminal that has no display: what it answers there, and how it ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace corvane {
namespace {

using Path = std::filesystem::path;

struct Outcome {
    int status = -1;  // as a shell reports it: 128+signal for a program ended by a signal
    std::string out;
    std::string err;
};

// Runs corvane with `args` in `folder`, with this process's environment less every way to reach
// a display.
Outcome RunCorvane(const std::vector<std::string>& args, const Path& folder)
{
    std::vector<std::string> texts{CORVANE_EXE};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM" && name != "XDG_SESSION_TYPE") {
            envp.push_back(*e);
        }
    }
    envp.push_back(nullptr);

    const Path out = folder / ".out";
    const Path err = folder / ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Outcome outcome;
    pid_t pid = -1;
    int status = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0 && ::waitpid(pid, &status, 0) == pid) {
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto text = [](const Path& path) {
        const testing::Bytes bytes = testing::ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    };
    outcome.out = text(out);
    outcome.err = text(err);
    return outcome;
}

class Program : public ::testing::Test {
protected:
    testing::TempDir dir;
};

TEST_F(Program, AnswersOnTheTerminalWithoutADisplay)
{
    testing::WriteBytes(dir / "plain.txt", {1, 2, 3});
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;  // whole, or its start when it ends in "..."
    } cases[] = {
        {{"--version"}, 0, "corvane " CORVANE_VERSION "\n", ""},
        {{"-V"}, 0, "corvane " CORVANE_VERSION "\n", ""},
        {{"--help"}, 0, "Usage: corvane [FILE]\n...", ""},
        {{"missing"}, 1, "", "corvane: Error: 2: Cannot open 'missing': No such file or directory\n"},
        {{"."}, 1, "", "corvane: Error: 21: Cannot open '.': Is a directory\n"},
        // Qt's own options are Qt's: accepted, their values taken for no FILE.
        {{"-platform", "offscreen", "missing"}, 1, "", "corvane: Error: 2: Cannot open 'missing': No such file or directory\n"},
        {{"--platform=offscreen", "-reverse", "-style", "Fusion", "--version"}, 0, "corvane " CORVANE_VERSION "\n", ""},
        {{"--", "-V"}, 1, "", "corvane: Error: 2: Cannot open '-V': No such file or directory\n"},
        {{"--colour"}, 2, "", "corvane: unknown option '--colour'\nTry 'corvane --help' for more information.\n"},
        {{"-x", "plain.txt"}, 2, "", "corvane: unknown option '-x'\nTry 'corvane --help' for more information.\n"},
        {{"plain.txt", "plain.txt"}, 2, "", "corvane: one FILE at most\nTry 'corvane --help' for more information.\n"},
        // Nothing left to answer on the terminal: the window cannot open, and says so in one line.
        {{"plain.txt"}, 1, "", "corvane: Error: 6: Cannot open a window: ..."},
        {{}, 1, "", "corvane: Error: 6: Cannot open a window: ..."},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) shown += arg + " ";
        SCOPED_TRACE(shown);
        const Outcome outcome = RunCorvane(c.args, dir.path());
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        const auto matches = [](const std::string& text, const std::string& expected) {
            if (expected.size() < 3 || expected.compare(expected.size() - 3, 3, "...") != 0) return text == expected;
            return text.rfind(expected.substr(0, expected.size() - 3), 0) == 0;
        };
        EXPECT_TRUE(matches(outcome.out, c.out)) << outcome.out;
        EXPECT_TRUE(matches(outcome.err, c.err)) << outcome.err;
        // Every message is one line.
        if (!outcome.err.empty() && c.status == 1) {
            EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
        }
    }
}

}  // namespace
}  // namespace corvane
