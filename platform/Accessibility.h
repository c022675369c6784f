// How screen readers see the platform's windows and lists, through Qt's accessibility bridge:
// a Form reports itself as a window (a frame) or, with a tool or dialog border, as a dialog; the
// drive list is named after what it holds rather than by the drive it shows; the folder list is
// a tree whose entries tell their level ("level 1" is the root) in their description and offer
// an "Open" action that opens them as a double click does.
#pragma once

namespace corvane::platform {

// The name of the folder list's action that opens an entry.
inline constexpr const char* kOpenAction = "Open";

// Installs the above with Qt's accessibility; doing so again does nothing. Every window and list
// of the platform calls it before it is shown.
void InstallPlatformAccessibility();

}  // namespace corvane::platform
