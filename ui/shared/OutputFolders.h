// The output folders that both the main window and the viewers write into, and the coding
// command they share.
#pragma once

#include <QString>

#include <optional>

#include "codec/Error.h"
#include "codec/FileTransform.h"

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

// Codes the file `source` into the output folder `folderName` under `name`, making that folder
// first when it is missing. The busy cursor shows while the file is coded. Returns the first
// failure: the folder's, or the transform's (see TransformFile: a failed transform leaves the
// destination as it was).
[[nodiscard]] std::optional<Error> CodeIntoOutputFolder(Coding coding, const QString& source,
                                                        const QString& folderName, const QString& name);

}  // namespace corvane
