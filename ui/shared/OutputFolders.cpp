#include "ui/shared/OutputFolders.h"

#include <QDir>

#include "platform/ResultsFolder.h"

namespace corvane {

QString OutputBase() { return platform::ResultsBase(); }

QString OutputFolder(const QString& name) { return JoinPath(OutputBase(), name); }

QString JoinPath(const QString& folder, const QString& name) { return folder + QDir::separator() + name; }

}  // namespace corvane
