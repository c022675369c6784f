#include "ui/shared/ReportError.h"

namespace corvane {

platform::MsgAnswer ReportError(const Error& error)
{
    return platform::MsgBox(QString::fromStdString(ErrorLine(error)), platform::MsgButtons::OkCancel,
                            platform::MsgIcon::Exclamation, QStringLiteral("No Data"));
}

bool ReportCommandError(const Error& error)
{
    if (ReportError(error) == platform::MsgAnswer::Ok) return true;
    platform::EndProgram();
    return false;
}

}  // namespace corvane
