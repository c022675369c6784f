// The terminal on Windows, where a windowed program starts without a console and reads its
// arguments from a UTF-16 command line.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/Console.h"

namespace corvane::platform {

void AttachParentConsole()
{
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
}

QStringList CommandLineArguments(int, char**)
{
    QStringList arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) arguments.append(QString::fromWCharArray(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

}  // namespace corvane::platform
