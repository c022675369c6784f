// Files dropped onto a window from a file manager (a list of file addresses).
#pragma once

#include <QStringList>

#include <functional>
#include <vector>

#include "codec/Error.h"
#include "codec/FileTransform.h"

class QMimeData;

namespace corvane {

// The local paths a drop carries, in its order; none when it carries no local files.
QStringList DroppedPaths(const QMimeData* mime);
// Whether a window that takes files takes this drop at all.
bool CarriesFiles(const QMimeData* mime);
// Why a dropped folder is refused: only files are coded.
Error FolderDropped(const QString& path);

// Codes dropped files (`paths`, files only) into `folder` under their own names, with the
// flushes to disk shared as TransformFiles shares them; for the coding worker's thread. A name
// dropped twice is coded in a later batch, so the later file replaces the earlier one's result
// as one file after another would. `landed` hears each file's outcome in the drop's order;
// `control` follows and cancels the whole drop.
std::vector<BatchOutcome> CodeDroppedFiles(Coding coding, const QStringList& paths, const QString& folder,
                                           TransformControl* control,
                                           const std::function<void(int index, const BatchOutcome&)>& landed);

}  // namespace corvane
