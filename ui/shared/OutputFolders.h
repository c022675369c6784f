// The output folders that both the main window and the viewers write into.
#pragma once

#include <QString>

namespace corvane {

// The output folders' names.
inline const QString kEncodedFolder = QStringLiteral("Encoded File(s)");
inline const QString kDecodedFolder = QStringLiteral("Decoded File(s)");

// The folder that holds the output folders: beside the program, or the user's documents folder
// for an installed copy (platform::ResultsBase).
QString OutputBase();
// OutputBase() joined with an output folder's name.
QString OutputFolder(const QString& name);
// `folder` + separator + `name`; the separator is always added, also after a root.
QString JoinPath(const QString& folder, const QString& name);

}  // namespace corvane
