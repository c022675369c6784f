// Where the program keeps its results: the folder that holds "Encoded File(s)" and
// "Decoded File(s)".
#pragma once

#include <QString>

namespace corvane::platform {

// A copy run from its build folder, or unpacked into a folder its user can write, keeps its
// results beside the program: the answer is ProgramFolder(). An installed copy (the program in
// <prefix>/bin with its desktop entry in <prefix>/share/applications; on Windows, a program beside the
// installer's Uninstall.exe, or in Program Files), or a copy whose folder its user cannot write, answers "<Documents>/Corvane"
// instead, where <Documents> is the user's documents folder (XDG_DOCUMENTS_DIR from
// user-dirs.dirs, ~/Documents by default). An installed copy never answers its program folder,
// even when run by root.
//
// A question only: nothing is made. The folder may not exist yet; whoever writes a result makes
// it with its missing parents (MakeFolder), and reports why when it cannot.
QString ResultsBase();

}  // namespace corvane::platform
