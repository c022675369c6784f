// Starting the main window on a file named on the command line ("Open With" in a file manager).
#pragma once

#include <QString>

namespace corvane {

class frmMain;

// Makes `file`'s folder the current one, where the main window's lists start. Call it before
// the window is made.
void StartInFolderOf(const QString& file);

// Selects `file`, whose folder the lists show, in the main window's file list, as a click on
// it would; a name the list does not hold leaves the selection as it is.
void SelectStartFile(frmMain& window, const QString& file);

}  // namespace corvane
