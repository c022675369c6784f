#include "platform/Console.h"

#include <filesystem>

#include "platform/Files.h"

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

QStringList CommandLineArguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv)
{
    QStringList arguments;
#ifdef _WIN32
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) arguments.append(QString::fromWCharArray(wide[i]));
    ::LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i) arguments.append(FromPath(std::filesystem::path(argv[i])));
#endif
    return arguments;
}

}  // namespace corvane::platform
