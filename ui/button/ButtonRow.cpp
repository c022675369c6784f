#include "ui/button/ButtonRow.h"

#include "platform/hosted/Color.h"
#include "platform/hosted/StdFont.h"
#include "ui/button/ZelXpButton.h"

namespace corvane {

platform::ControlRow XpButtonRow(const QString& name, const QString& caption, platform::TwipsRect place,
                                 int tabIndex)
{
    return platform::rows::Hosted(name, place, tabIndex, [caption](QWidget* parent) -> QWidget* {
        auto* button = new ZelXpButton(parent);
        button->SetFont(platform::ToStdFont(platform::kWindowFont));
        button->SetForeColor(platform::SystemColorValue(platform::SystemColor::WindowFrame));
        button->SetForeHover(platform::Rgb(0, 0, 0));
        button->SetCaption(caption);
        button->SetEnabled(true);
        return button;
    });
}

}  // namespace corvane
