// Both programs, started as a terminal would start them, with command lines that try to break a
// message's line, forge a line of their own, move the terminal's cursor or bring bytes that are
// not UTF-8: every message stays one line of printable text, the offending characters escaped.
// POSIX only: the arguments are bytes here.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/Programs.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

// Runs `program` with `args` in `folder`, standard input empty, and waits for it.
testing::ProgramAnswer RunIn(const std::string& program, const std::vector<std::string>& args,
                             const testing::TempDir& folder)
{
    return testing::RunProgram(program, args, folder.path());
}

// Every byte printable ASCII or a line's end; the names here hold nothing else once escaped, so
// this is also valid UTF-8.
bool PrintableLines(const std::string& text)
{
    for (const char c : text) {
        if (c != '\n' && (c < 0x20 || c > 0x7E)) return false;
    }
    return true;
}

struct MessageCase {
    const char* name;
    const char* program;
    std::vector<std::string> args;
    int status;
    std::string shown;  // what the message shows of the argument, escaped
    std::size_t lines;  // 1 for an error line; 2 for a usage mistake and its pointer to --help
};

void PrintTo(const MessageCase& c, std::ostream* out) { *out << c.name; }

class MessageLines : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MessageLines, AreOneLineOfPrintableTextWithTheArgumentEscaped)
{
    const MessageCase& c = GetParam();
    if (c.program == nullptr) GTEST_SKIP() << "the desktop program is not built (CORVANE_GUI=OFF)";
    testing::TempDir folder;
    const testing::ProgramAnswer outcome = RunIn(c.program, c.args, folder);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_TRUE(PrintableLines(outcome.err)) << outcome.err;
    EXPECT_NE(outcome.err.find(c.shown), std::string::npos) << outcome.err;
    EXPECT_EQ(static_cast<std::size_t>(std::count(outcome.err.begin(), outcome.err.end(), '\n')), c.lines) << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with('\n')) << outcome.err;
    EXPECT_EQ(("\n" + outcome.err).find("\nError: 0"), std::string::npos) << "a forged line: " << outcome.err;
}

const char* const kCompanion = CORVANE_CODEC_EXE;
#ifdef CORVANE_EXE
const char* const kDesktop = CORVANE_EXE;
#else
const char* const kDesktop = nullptr;
#endif

INSTANTIATE_TEST_SUITE_P(Companion, MessageLines, ::testing::Values(
    MessageCase{"unknown command forging an error line", kCompanion, {"enc\nError: 0: fake", "a", "b"}, 2,
                "'enc\\nError: 0: fake'", 2},
    MessageCase{"unknown option clearing the screen", kCompanion, {"--x\x1b[2J", "a", "b"}, 2, "'--x\\x1b[2J'", 2},
    MessageCase{"source name not UTF-8", kCompanion, {"encode", "miss\xff", "o"}, 1, "'miss\\xff'", 1},
    MessageCase{"source name with a C1 control", kCompanion, {"encode", "miss\xc2\x9b" "2J", "o"}, 1,
                "'miss\\u009b2J'", 1},
    MessageCase{"source name forging an error line", kCompanion, {"decode", "gone\nError: 0: all good", "o"}, 1,
                "'gone\\nError: 0: all good'", 1},
    // The override would turn the rest of the line around, the system's reason included.
    MessageCase{"source name with a right-to-left override", kCompanion, {"encode", "report\xe2\x80\xaetxt.exe", "o"}, 1,
                "'report\\u202etxt.exe': No such file or directory", 1},
    // A name holding a backslash and an n reads apart from one holding a newline.
    MessageCase{"source name with a backslash", kCompanion, {"encode", "gone\\nError: 0: all good", "o"}, 1,
                "'gone\\\\nError: 0: all good'", 1}));

INSTANTIATE_TEST_SUITE_P(Desktop, MessageLines, ::testing::Values(
    MessageCase{"missing file forging an error line", kDesktop, {"missing\nError: 0: all good"}, 1,
                "Error: 2: Cannot open 'missing\\nError: 0: all good': No such file or directory", 1},
    MessageCase{"missing file clearing the screen", kDesktop, {"miss\x1b[2J"}, 1, "'miss\\x1b[2J'", 1},
    MessageCase{"missing file not UTF-8", kDesktop, {"caf\xe9"}, 1, "'caf\\xe9'", 1},
    MessageCase{"unknown option with a C1 control", kDesktop, {"-x\xc2\x9b"}, 2, "'-x\\u009b'", 2}));

}  // namespace
}  // namespace corvane
