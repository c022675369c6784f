// How the codec words its errors, for programs that report their own failures the same way.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "Error.h"

namespace corvane {

// UTF-8 text for a message, with control characters escaped (`\n`, `\t`, `\r`, `\x1b`), so that
// a name can neither break a description's one line nor move a terminal's cursor.
std::string ShownText(std::string_view text);
// A path as ShownText.
std::string DisplayName(const std::filesystem::path& path);

// "<what> '<name>': <the system's text for code>", numbered with the code itself (errno, or a
// Windows error code on Windows). `name` is shown as given: pass a DisplayName.
Error SystemError(int code, std::string_view what, std::string_view name);

}  // namespace corvane
