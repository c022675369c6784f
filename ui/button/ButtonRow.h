// A window layout row for a ZelXpButton carrying the stored settings every button of this
// program has: "MS Sans Serif" 8.25 pt regular, ForeColor the window-frame system colour,
// ForeHover black, enabled.
#pragma once

#include "platform/Form.h"

namespace corvane {

platform::ControlRow XpButtonRow(const char* name, const char* caption, int left, int top, int width, int height,
                                 int tabIndex);

}  // namespace corvane
