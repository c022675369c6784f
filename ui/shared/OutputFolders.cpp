#include "ui/shared/OutputFolders.h"

#include <QDir>

#include "platform/BusyCursor.h"
#include "platform/Files.h"
#include "platform/ResultsFolder.h"

namespace corvane {

QString OutputBase() { return platform::ResultsBase(); }

QString OutputFolder(const QString& name) { return JoinPath(OutputBase(), name); }

QString JoinPath(const QString& folder, const QString& name) { return folder + QDir::separator() + name; }

std::optional<Error> CodeIntoOutputFolder(Coding coding, const QString& source, const QString& folderName,
                                          const QString& name)
{
    const QString folder = OutputFolder(folderName);
    if (!platform::PathExists(folder)) {
        if (auto error = platform::MakeFolder(folder)) return error;
    }
    const platform::BusyCursor busy;
    return TransformFile(coding, Endpoint::File(platform::ToPath(source)),
                         Endpoint::File(platform::ToPath(JoinPath(folder, name))));
}

}  // namespace corvane
