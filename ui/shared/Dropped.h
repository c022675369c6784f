// Files dropped onto a window from a file manager (a list of file addresses).
#pragma once

#include <QStringList>

#include "codec/Error.h"

class QMimeData;

namespace corvane {

// The local paths a drop carries, in its order; none when it carries no local files.
QStringList DroppedPaths(const QMimeData* mime);
// Whether a window that takes files takes this drop at all.
bool CarriesFiles(const QMimeData* mime);
// Why a dropped folder is refused: only files are coded.
Error FolderDropped(const QString& path);

}  // namespace corvane
