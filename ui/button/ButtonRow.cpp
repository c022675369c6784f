#include "ui/button/ButtonRow.h"

#include "platform/hosted/PropertyBag.h"
#include "ui/button/ZelXpButton.h"

namespace corvane {

platform::ControlRow XpButtonRow(const char* name, const char* caption, int left, int top, int width, int height,
                                 int tabIndex)
{
    // The stored layout, as a window's layout data carries it.
    const QString layout = QStringLiteral(R"(caption = "%1"; font = Font("MS Sans Serif", 8.25, 400, 0); )"
                                          R"(forecolor = 0x80000006; forehover = 0x00000000)")
                               .arg(QString::fromUtf8(caption));
    platform::ControlRow row{name, platform::ControlKind::Hosted, caption, left, top, width, height, tabIndex,
                             {}, {}, {}};
    row.create = [name = QString::fromUtf8(name), layout](QWidget* parent) -> QWidget* {
        auto* button = new ZelXpButton(parent);
        button->setObjectName(name);
        button->ReadProperties(*platform::PropertyBag::FromText(layout));
        return button;
    };
    return row;
}

}  // namespace corvane
