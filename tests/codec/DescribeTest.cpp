// How every message is worded: names escaped into one line of valid UTF-8, the system's number
// and words, and the helpers that pass a failure on.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "codec/Describe.h"
#include "codec/Error.h"

namespace corvane {
namespace {

#ifdef _WIN32
const std::string kShownBackslash = "\\";  // a separator, never part of a name
#else
const std::string kShownBackslash = "\\\\";
#endif

TEST(ShownText, EscapesControlsAndBytesThatAreNotUtf8AndKeepsEverythingElse)
{
    const struct {
        const char* name;
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain", "a.txt", "a.txt"},
        {"newline, tab, return", "a\nb\tc\rd", "a\\nb\\tc\\rd"},
        {"escape sequence", "\x1b[2J", "\\x1b[2J"},
        {"NUL and DEL", std::string("a\0b\x7f", 4), "a\\x00b\\x7f"},
        {"C1 control sequence introducer", "\xC2\x9B" "2J", "\\u009b2J"},
        {"C1 next line", "a\xC2\x85" "b", "a\\u0085b"},
        {"line separator", "a\xE2\x80\xA8" "b", "a\\u2028b"},
        {"paragraph separator", "a\xE2\x80\xA9" "b", "a\\u2029b"},
        {"a Latin-1 byte", "caf\xE9", "caf\\xe9"},
        {"a lone 0xFF", "miss\xFF", "miss\\xff"},
        {"overlong NUL", "\xC0\x80", "\\xc0\\x80"},
        {"a UTF-16 surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"cut short", "a\xE2\x82", "a\\xe2\\x82"},
        {"stray continuation byte", "\x80" "a", "\\x80a"},
        {"characters beyond ASCII stay", "\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5 \xF0\x9F\x98\x80 \xC2\xA0", "\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5 \xF0\x9F\x98\x80 \xC2\xA0"},
        // Each would turn the direction of the rest of the line, the system's reason included.
        {"right-to-left override", "report\xE2\x80\xAEtxt.exe", "report\\u202etxt.exe"},
        {"embeddings, marks and pop", "\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C",
         "\\u202a\\u202b\\u202c\\u202d\\u200e\\u200f\\u061c"},
        {"isolates", "\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "\\u2066\\u2067\\u2068\\u2069"},
        {"Arabic letters stay", "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A", "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A"},
        {"quotes stay", "'a'.txt", "'a'.txt"},
        {"backslashes", "C:\\Temp\\a.txt", "C:" + kShownBackslash + "Temp" + kShownBackslash + "a.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShownText(c.text), c.shown);
        // A message made of shown names is kept to one line without escaping them again.
        EXPECT_EQ(ErrorLine(Error{1, c.shown}), "Error: 1: " + c.shown);
    }
}

#ifndef _WIN32
// A name that holds a backslash and an n and a name that holds a newline read apart.
TEST(ShownText, NameWithABackslashReadsApartFromAnEscapedControl)
{
    EXPECT_EQ(ShownText("a\\nb"), "a\\\\nb");
    EXPECT_EQ(ShownText("a\nb"), "a\\nb");
    EXPECT_EQ(SystemError(ENOENT, "Cannot open", DisplayName("a\\nb")).description,
              "Cannot open 'a\\\\nb': No such file or directory");
}
#endif

#ifdef _WIN32
TEST(DisplayName, ShowsALoneSurrogateOfAWindowsNameEscaped)
{
    EXPECT_EQ(DisplayName(std::filesystem::path(std::wstring(L"a") + wchar_t(0xD800) + L"b\n\u00e9")),
              "a\\ud800b\\n\xC3\xA9");
}
#else
TEST(DisplayName, ShowsTheVeryBytesOfAName)
{
    EXPECT_EQ(DisplayName(std::filesystem::path("/tmp/caf\xE9\n.txt")), "/tmp/caf\\xe9\\n.txt");
}
#endif

TEST(SystemError, NamesWhatFailedWithTheSystemsNumberAndWordsOnOneLine)
{
    const Error missing = SystemError(std::make_error_code(std::errc::no_such_file_or_directory), "Cannot open",
                                      "two\nlines");
    EXPECT_EQ(missing.number, ENOENT);
    EXPECT_EQ(missing.description, "Cannot open 'two\\nlines': No such file or directory");

    const Error folder = SystemError(std::make_error_code(std::errc::is_a_directory), "Cannot code", "d",
                                     "drop files, not folders");
    EXPECT_EQ(folder.number, EISDIR);
    EXPECT_EQ(folder.description, "Cannot code 'd': Is a directory; drop files, not folders");

    const Error own = ProblemError(11, "Cannot read", "a\x1b", "file changed while being read");
    EXPECT_EQ(own, (Error{11, "Cannot read 'a\\x1b': file changed while being read"}));
#ifndef _WIN32
    // The system's words come without the closing full stop that some systems add.
    EXPECT_EQ(SystemError(EACCES, "Cannot start", "tool").description, "Cannot start 'tool': Permission denied");
#endif
}

TEST(ErrorLine, IsOneLineWhateverTheDescriptionHolds)
{
    EXPECT_EQ(ErrorLine(Error{2, "Cannot open 'a': No such file or directory"}),
              "Error: 2: Cannot open 'a': No such file or directory");
    EXPECT_EQ(ErrorLine(Error{22, "no kernel \"x\nError: 0: fine\""}), "Error: 22: no kernel \"x\\nError: 0: fine\"");
}

TEST(UsageMistakeText, NamesTheMistakeOnOneLineAndPointsToHelp)
{
    EXPECT_EQ(UsageMistakeText("corvane", "unknown option '-x\nError: 0: fine'"),
              "corvane: unknown option '-x\\nError: 0: fine'\nTry 'corvane --help' for more information.\n");
}

// Helpers that pass a failure on, as the code uses them.
std::optional<Error> Command(bool fails)
{
    if (fails) return Error{7, "the command failed"};
    return std::nullopt;
}

ErrorOr<int> Query(bool fails)
{
    if (fails) return Error{8, "the query failed"};
    return 41;
}

ErrorOr<int> Both(bool commandFails, bool queryFails)
{
    CORVANE_TRY(Command(commandFails));
    CORVANE_TRY_VALUE(number, Query(queryFails));
    return *number + 1;
}

std::optional<Error> BothAsCommand(bool commandFails, bool queryFails)
{
    CORVANE_TRY(Command(commandFails));
    CORVANE_TRY_VALUE(number, Query(queryFails));
    if (*number != 41) return Error{9, "wrong value"};
    return std::nullopt;
}

TEST(Try, PassesTheFirstFailureOnAndGoesOnWithTheValueOtherwise)
{
    const struct {
        bool commandFails;
        bool queryFails;
        int number;  // 0: no failure
    } cases[] = {{false, false, 0}, {true, false, 7}, {false, true, 8}, {true, true, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "command fails " << c.commandFails << ", query fails " << c.queryFails);
        const ErrorOr<int> value = Both(c.commandFails, c.queryFails);
        const std::optional<Error> error = BothAsCommand(c.commandFails, c.queryFails);
        if (c.number == 0) {
            ASSERT_TRUE(value);
            EXPECT_EQ(*value, 42);
            EXPECT_FALSE(error);
        } else {
            ASSERT_FALSE(value);
            EXPECT_EQ(value.error().number, c.number);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->number, c.number);
        }
    }
}

}  // namespace
}  // namespace corvane
