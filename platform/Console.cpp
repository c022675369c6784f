#include "platform/Console.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#endif

namespace corvane::platform {

void AttachParentConsole()
{
#ifdef _WIN32
    // A handle that is already set was given by whoever started the program (a redirection, a
    // pipe of a test): it stays.
    const auto unset = [](DWORD which) {
        const HANDLE handle = ::GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    };
    const bool output = unset(STD_OUTPUT_HANDLE);
    const bool error = unset(STD_ERROR_HANDLE);
    if (!output && !error) return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (output) std::freopen("CONOUT$", "w", stdout);
    if (error) std::freopen("CONOUT$", "w", stderr);
#endif
}

std::vector<std::string> CommandLineArguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv)
{
    std::vector<std::string> arguments;
#ifdef _WIN32
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) {
        const std::u8string utf8 = std::filesystem::path(wide[i]).u8string();
        arguments.emplace_back(utf8.begin(), utf8.end());
    }
    ::LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
#endif
    return arguments;
}

std::filesystem::path ArgumentPath(const std::string& argument)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(argument.begin(), argument.end()));
#else
    return std::filesystem::path(argument);
#endif
}

}  // namespace corvane::platform
