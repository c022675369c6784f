// Files dropped onto a window from a file manager (platform::Form::TakeFileDrops hears them).
#pragma once

#include <QString>

#include "codec/Error.h"

namespace corvane {

// Why a dropped folder is refused: only files are coded.
Error FolderDropped(const QString& path);

}  // namespace corvane
