#include "ui/shared/ReportError.h"

namespace corvane {

platform::MsgAnswer ReportError(const Error& error)
{
    return platform::MsgBox(QString::fromStdString(ErrorLine(error)), platform::MsgButtons::OkCancel,
                            platform::MsgIcon::Exclamation, QStringLiteral("No Data"));
}

void ReportWarning(const Error& warning)
{
    platform::MsgBox(QString::fromStdString(WarningLine(warning)), platform::MsgButtons::Ok,
                     platform::MsgIcon::Exclamation);
}

bool ReportCommandError(const Error& error)
{
    if (ReportError(error) == platform::MsgAnswer::Ok) return true;
    platform::EndProgram();
    return false;
}

}  // namespace corvane
