// How both programs word what they tell their user. Every error description, every error line
// and every usage mistake is made here, so that each is one line of valid UTF-8 whatever the
// names in it hold: a name can neither break a message's line, nor forge a line of its own, nor
// move a terminal's cursor. Standard C++ only, so that the companion, the codec and the windows'
// platform layer all call it.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "Error.h"

namespace corvane {

// `text` made fit for one line of a message, as valid UTF-8. Escaped: the control characters
// C0 and DEL as `\n`, `\t`, `\r` or `\x1b`; C1 (U+0080..U+009F), the line and paragraph
// separators (U+2028, U+2029) and the bidirectional controls (U+061C, U+200E, U+200F,
// U+202A..U+202E, U+2066..U+2069), which would turn the rest of the line around, as `\u202e`;
// each byte that is not part of valid UTF-8 as `\xff`; on POSIX a backslash as `\\`, so that a
// name's own backslashes read apart from the escapes (on Windows a backslash separates folders
// and is never part of a name: it stays). Everything else stays as it is.
std::string ShownText(std::string_view text);
// A path's name as ShownText shows it: its very bytes elsewhere; on Windows its UTF-16, a lone
// surrogate escaped as `\ud800`.
std::string DisplayName(const std::filesystem::path& path);

// The length of the valid UTF-8 sequence at the start of `bytes` (1 to 4), or 0 when there is
// none there: a stray or missing continuation byte, an overlong form, a UTF-16 surrogate or a
// value beyond U+10FFFF.
int Utf8SequenceLength(std::string_view bytes);

// The system's words for one of its error codes (errno, or a Windows error code on Windows),
// without a closing full stop.
std::string SystemText(int code);

// "<what> '<name>': <the system's words for code>", then "; <advice>" when there is advice,
// numbered with the code itself. `name` comes as DisplayName or ShownText gives it; the whole
// is kept to one line, its controls escaped, without escaping the name's escapes again.
Error SystemError(int code, std::string_view what, std::string_view name, std::string_view advice = {});
// The same for the error of a standard library call (std::filesystem), in its category's words.
Error SystemError(const std::error_code& code, std::string_view what, std::string_view name,
                  std::string_view advice = {});
// "<what> '<name>': <problem>", for a failure the program finds itself and words its own way,
// numbered with the system's code nearest to it.
Error ProblemError(int code, std::string_view what, std::string_view name, std::string_view problem);

// "<what> '<name>' was cancelled", numbered with the system's code for a cancel: a cancel is no
// failure, but travels as an Error so that every layer passes it on alike.
Error CancelledError(int code, std::string_view what, std::string_view name);

// "no codec kernel is called "<name>"; the kernels are <kernels>", numbered with `code`: a
// kernel asked for by a name that is none. The kernels are listed as "scalar, sse2 and avx2".
Error UnknownKernelError(int code, std::string_view name, std::span<const std::string_view> kernels);
// "this processor cannot run the <name> codec kernel; it can run <kernels>", numbered with
// `code`: a kernel that exists but needs instructions this processor lacks.
Error UnsupportedKernelError(int code, std::string_view name, std::span<const std::string_view> kernels);
// `error` as the answer to a setting taken from the environment: "<variable>: <its
// description>", numbered as it is, so that the user knows which variable to change.
Error EnvironmentError(std::string_view variable, const Error& error);

// What a program writes to standard error for a mistake on its command line: "<program>:
// <mistake>" (the mistake through ShownText) and a second line pointing to --help.
std::string UsageMistakeText(std::string_view program, std::string_view mistake);

// What --version prints, as GNU programs print it: "<program> <version>" on the first line, then
// the copyright, the licence and the warranty.
std::string VersionText(std::string_view program);

}  // namespace corvane
