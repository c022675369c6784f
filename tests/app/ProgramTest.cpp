// corvane started from a terminal that has no display: what it answers there, and how it ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/Programs.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using Path = std::filesystem::path;

using Outcome = testing::ProgramAnswer;

// Runs corvane with `args` in `folder`, with this process's environment less every way to reach
// a display, and `extraEnvironment` before it.
Outcome RunCorvane(const std::vector<std::string>& args, const Path& folder,
                   const std::vector<std::string>& extraEnvironment = {})
{
    return testing::RunProgram(CORVANE_EXE, args, folder, extraEnvironment,
                               {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"});
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
        {{"--version"}, 0, "corvane " CORVANE_VERSION "\nCopyright (C) ...", ""},
        {{"-V"}, 0, "corvane " CORVANE_VERSION "\nCopyright (C) ...", ""},
        {{"--help"}, 0, "Usage: corvane [FILE]\n...", ""},
        {{"missing"}, 1, "", "corvane: Error: 2: Cannot open 'missing': No such file or directory\n"},
        {{"."}, 1, "", "corvane: Error: 21: Cannot open '.': Is a directory\n"},
        // Qt's own options are Qt's: accepted, their values taken for no FILE.
        {{"-platform", "offscreen", "missing"}, 1, "", "corvane: Error: 2: Cannot open 'missing': No such file or directory\n"},
        {{"--platform=offscreen", "-reverse", "-style", "Fusion", "--version"}, 0, "corvane " CORVANE_VERSION "\n...", ""},
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

// An answer that cannot be written (a full disk, a closed standard output) is a failure, as for
// cat and the companion.
TEST_F(Program, AnswerThatCannotBeWrittenIsAFailure)
{
    const struct {
        const char* option;
        const char* output;  // nullptr: standard output closed
        std::string err;
    } cases[] = {
        {"--help", "/dev/full", "corvane: Error: 28: Cannot write 'standard output': No space left on device\n"},
        {"--version", "/dev/full", "corvane: Error: 28: Cannot write 'standard output': No space left on device\n"},
        {"--version", nullptr, "corvane: Error: 9: Cannot write 'standard output': Bad file descriptor\n"},
        {"--help", nullptr, "corvane: Error: 9: Cannot write 'standard output': Bad file descriptor\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " > " + (c.output ? c.output : "(closed)"));
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = c.output ? ::open(c.output, O_WRONLY | O_CLOEXEC) : testing::kClosed;
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const pid_t pid = testing::StartProgram(CORVANE_EXE, {c.option}, null, out, err, dir.path());
        for (const int fd : {null, out, err}) {
            if (fd >= 0) ::close(fd);
        }
        EXPECT_EQ(testing::WaitStatus(pid), 1);
        const testing::Bytes written = testing::ReadBytes(dir / "err");
        EXPECT_EQ(std::string(written.begin(), written.end()), c.err);
    }
}

// The system's words for a file that cannot be opened come in the user's language where the
// system has them: German here, from a locale made for the test and libc's own catalogue.
TEST_F(Program, SystemWordsAreInTheUsersLanguage)
{
    const auto german = testing::GermanEnvironment(dir / "locales");
    if (!german) GTEST_SKIP() << "no German locale to make (Debian's locales and libc-l10n)";
    const Outcome outcome = RunCorvane({"missing"}, dir.path(), *german);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "corvane: Error: 2: Cannot open 'missing': Datei oder Verzeichnis nicht gefunden\n");
}

}  // namespace
}  // namespace corvane
