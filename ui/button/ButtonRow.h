// A window layout row for a ZelXpButton with the settings every button of this program has:
// the window font ("MS Sans Serif" 8.25 pt regular), ForeColor the window-frame system colour,
// ForeHover black, enabled.
#pragma once

#include "platform/Form.h"

namespace corvane {

platform::ControlRow XpButtonRow(const QString& name, const QString& caption, platform::TwipsRect place,
                                 int tabIndex);

}  // namespace corvane
