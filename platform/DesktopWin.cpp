// Starting programs on Windows: through CreateProcess, which Qt calls, the window shown as asked.
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <windows.h>

#include "platform/DesktopSystem.h"

namespace corvane::platform {

namespace detail {

// Returns Windows' own error: ERROR_FILE_NOT_FOUND for a program not found on the path, else
// what CreateProcess left, which Qt keeps in place.
int StartDetached(const ProgramRequest& request, ProgramEnded)
{
    const QString program = QStandardPaths::findExecutable(request.program);
    if (program.isEmpty()) return ERROR_FILE_NOT_FOUND;
    QProcess process;
    process.setProgram(program);
    process.setArguments(request.arguments);
    process.setCreateProcessArgumentsModifier([style = request.style](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = static_cast<WORD>(style);
    });
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (process.startDetached()) return 0;
    const DWORD code = ::GetLastError();
    return code != 0 ? static_cast<int>(code) : ERROR_ACCESS_DENIED;
}

}  // namespace detail

ProgramRequest FileManagerRequest(const QString& folder)
{
    return {QStringLiteral("explorer.exe"), {QDir::toNativeSeparators(folder)}, WindowStyle::Normal};
}

}  // namespace corvane::platform
