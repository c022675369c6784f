#include "ui/main/ReportError.h"

namespace corvane {

QString ErrorText(qint32 number, const QString& description)
{
    return QStringLiteral("Error: ") + QString::number(number) + QStringLiteral(": ") + description;
}

platform::MsgAnswer ReportError(qint32 number, const QString& description)
{
    return platform::MsgBox(ErrorText(number, description), platform::MsgButtons::OkCancel,
                            platform::MsgIcon::Exclamation, QStringLiteral("No Data"));
}

}  // namespace corvane
