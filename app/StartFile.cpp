#include "app/StartFile.h"

#include <QDir>
#include <QFileInfo>

#include "platform/FileList.h"
#include "ui/main/frmMain.h"

namespace corvane {

void StartInFolderOf(const QString& file) { QDir::setCurrent(QFileInfo(file).absolutePath()); }

// TODO: hand the whole job to the main window once it can show a given file itself
// (frmMain::ShowFile: drive, folder and file lists moved there, the file selected).
void SelectStartFile(frmMain& window, const QString& file)
{
    auto* list = window.Control<platform::FileList>(QStringLiteral("FileListBox"));
    const QString name = QFileInfo(file).fileName();
    for (int i = 0; i < list->ListCount(); ++i) {
        if (list->List(i) == name) {
            list->SetListIndex(i);
            list->scrollTo(list->model()->index(i, 0));
            return;
        }
    }
}

}  // namespace corvane
