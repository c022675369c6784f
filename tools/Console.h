// Text to the companion's standard output and standard error, and what it needs to know about a
// terminal there.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace corvane::tools {

// Writes UTF-8 text to standard output or standard error. A Windows console is given the text
// as UTF-16, so that it shows every name right whatever its code page; anything else gets the
// bytes.
void Write(std::FILE* to, std::string_view text);

// True when standard error is a terminal (a Windows console), where a line can be redrawn.
bool StandardErrorIsTerminal();

// The width of the terminal on standard error in columns, or 80 when it does not say.
int TerminalColumns();

}  // namespace corvane::tools
