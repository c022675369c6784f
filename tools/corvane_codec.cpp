// corvane-codec: the command-line companion of Corvane, for scripts and batch work.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "codec/CodecKernel.h"
#include "codec/Error.h"
#include "codec/FileTransform.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

constexpr std::string_view kUsage =
    "Usage: corvane-codec encode SOURCE DESTINATION\n"
    "       corvane-codec decode SOURCE DESTINATION\n"
    "       corvane-codec -h | --help | -V | --version\n"
    "\n"
    "encode replaces every byte of SOURCE by the running sum of all bytes up to it,\n"
    "modulo 256, and writes the result, of the same length, to DESTINATION; decode\n"
    "turns such a file back into the plain bytes.\n"
    "\n"
    "SOURCE may be '-' for standard input and DESTINATION '-' for standard output.\n"
    "DESTINATION may be SOURCE itself. A destination file is replaced only once its\n"
    "new content is complete and on disk; on failure it keeps its earlier content.\n"
    "'--' ends the options, for a file name that starts with '-'.\n"
    "\n"
    "Exit status: 0 on success, 1 on failure (with 'Error: <number>: <description>'\n"
    "on standard error), 2 on a usage mistake.\n";

// An argument as the system hands it over: UTF-16 on Windows, bytes elsewhere. File names are
// kept in this form, so that any name the system allows reaches the file calls unchanged.
using Argument = std::filesystem::path::string_type;

bool Is(const Argument& argument, std::string_view ascii)
{
    return std::equal(argument.begin(), argument.end(), ascii.begin(), ascii.end());
}

std::string Utf8(const Argument& argument)
{
    const std::u8string text = std::filesystem::path(argument).u8string();
    return {text.begin(), text.end()};
}

// Writes UTF-8 text to standard output or standard error. A Windows console is given the text
// as UTF-16, so that it shows every name right whatever its code page; anything else gets the
// bytes.
void Write(std::FILE* to, std::string_view text)
{
#ifdef _WIN32
    HANDLE console = ::GetStdHandle(to == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(console, &mode)) {
        const int size = static_cast<int>(text.size());
        std::wstring wide(::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
        DWORD written = 0;
        ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
#endif
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

int UsageMistake(const std::string& mistake)
{
    Write(stderr, "corvane-codec: " + mistake + "\nTry 'corvane-codec --help' for more information.\n");
    return 2;
}

corvane::Endpoint EndpointFor(const Argument& argument)
{
    if (Is(argument, "-")) return corvane::Endpoint::StandardStream();
    return corvane::Endpoint::File(std::filesystem::path(argument));
}

int Run(const std::vector<Argument>& arguments)
{
    std::vector<Argument> operands;
    bool optionsEnded = false;
    for (const Argument& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            operands.push_back(argument);
        } else if (Is(argument, "--")) {
            optionsEnded = true;
        } else if (Is(argument, "-h") || Is(argument, "--help")) {
            Write(stdout, kUsage);
            return 0;
        } else if (Is(argument, "-V") || Is(argument, "--version")) {
            Write(stdout, "corvane-codec " CORVANE_VERSION "\n");
            return 0;
        } else {
            return UsageMistake("unknown option '" + Utf8(argument) + "'");
        }
    }

    if (operands.empty()) return UsageMistake("missing command (encode or decode)");
    corvane::Coding coding;
    if (Is(operands[0], "encode")) {
        coding = corvane::Coding::Encode;
    } else if (Is(operands[0], "decode")) {
        coding = corvane::Coding::Decode;
    } else {
        return UsageMistake("unknown command '" + Utf8(operands[0]) + "'");
    }
    if (operands.size() < 2) return UsageMistake("missing SOURCE");
    if (operands.size() < 3) return UsageMistake("missing DESTINATION");
    if (operands.size() > 3) return UsageMistake("unexpected argument '" + Utf8(operands[3]) + "'");

    if (auto error = corvane::CodecKernelFromEnvironment()) {
        Write(stderr, corvane::ErrorLine(*error) + "\n");
        return 1;
    }
    corvane::InstallTemporaryFileCleanup();
    if (auto error = corvane::TransformFile(coding, EndpointFor(operands[1]), EndpointFor(operands[2]))) {
        Write(stderr, corvane::ErrorLine(*error) + "\n");
        return 1;
    }
    return 0;
}

}  // namespace

#ifdef _WIN32
// Built with -municode: the arguments arrive as UTF-16, whatever the console's code page.
int wmain(int argc, wchar_t** argv)
{
    // Standard streams carry bytes: no CR/LF translation, no end at a Ctrl+Z, and messages
    // end their lines as on every other system.
    for (std::FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
    return Run({argv + 1, argv + argc});
}
#else
int main(int argc, char** argv)
{
    // A closed reader of standard output is an error to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    return Run({argv + 1, argv + argc});
}
#endif
