// Text to the companion's standard output and standard error, and what it needs to know about a
// terminal there.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::tools {

// Writes UTF-8 text to standard output or standard error. A Windows console is given the text
// as UTF-16, so that it shows every name right whatever its code page; anything else gets the
// bytes. Returns 0, or the system's number for why the text could not be written (errno, or a
// Windows error code on Windows).
int Write(std::FILE* to, std::string_view text);

// True when standard error is a terminal (a Windows console), where a line can be redrawn.
bool StandardErrorIsTerminal();

// The width of the terminal on standard error in columns, or 80 when it does not say.
int TerminalColumns();

// A character of UTF-8 text: the byte where it starts and the columns it takes on a terminal.
struct Character {
    std::size_t start;
    std::size_t columns;
};
// The characters of UTF-8 `text`, as the C library decodes them (mbrtowc) and measures them
// (wcwidth): two columns for a wide East Asian character or an emoji, none for a combining mark.
// A byte that starts no character counts as one column, as a terminal shows it as one U+FFFD.
// Windows has no wcwidth: there every character outside ASCII counts as two, the most it can
// take, so that a line cut to fit never wraps.
std::vector<Character> TerminalCharacters(std::string_view text);

}  // namespace corvane::tools
