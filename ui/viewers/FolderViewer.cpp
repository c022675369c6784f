#include "ui/viewers/FolderViewer.h"

#include <QApplication>

#include "platform/Desktop.h"
#include "platform/FileList.h"
#include "platform/Files.h"
#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"
#include "ui/main/ReportError.h"
#include "ui/main/frmMain.h"

namespace corvane {

using platform::ControlKind;
using platform::ControlRow;

struct FolderViewer::Settings {
    QString name;  // the window's name, also the instance's
    QString caption;
    QString ownFolder;    // listed and opened
    QString otherFolder;  // the action writes here
    const char* actionName;
    const char* actionCaption;
    Coding coding;
    const char* doneText;  // after "The file '" and the name
    int clientWidth;
    int clientHeight;
    int tabFile1, tabAction, tabOpen;
};

const FolderViewer::Settings& FolderViewer::SettingsFor(Kind kind)
{
    static const Settings encoded{QStringLiteral("frmViewEncoded"), kEncodedFolder, kEncodedFolder, kDecodedFolder,
                                  "cmddecode1", "Decode Selected", Coding::Decode,
                                  "' decoded and can be found at Decoded File(s) folder", 6285, 4260, 0, 1, 2};
    static const Settings decoded{QStringLiteral("frmViewDecoded"), kDecodedFolder, kDecodedFolder, kEncodedFolder,
                                  "cmdencode1", "Encode Selected", Coding::Encode,
                                  "' encoded and can be found at Encoded File(s) folder", 6330, 4275, 2, 1, 0};
    return kind == Kind::Encoded ? encoded : decoded;
}

platform::FormLayout FolderViewer::Layout(Kind kind)
{
    const Settings& s = SettingsFor(kind);
    return {
        .name = s.name,
        .caption = s.caption,
        .border = platform::BorderStyle::FixedToolWindow,
        .clientWidth = s.clientWidth,
        .clientHeight = s.clientHeight,
        .position = std::nullopt,
        .icon = {},
        .font = {QStringLiteral("MS Sans Serif"), 8.25, false},
        .controls = {
            //         name           kind                 text              left   top  width height tab
            ControlRow{"File1", ControlKind::FileList, {}, 0, 0, 6255, 3405, s.tabFile1, {}, {}, {}},
            ControlRow{"Label1", ControlKind::Label, "Selected File:", 0, 3480, 975, 255, -1, {}, {}, {}},
            ControlRow{"lblselected", ControlKind::Label, "...", 0, 3720, 2775, 495, -1,
                       platform::FontSpec{QStringLiteral("MS Reference Sans Serif"), 8.25, false}, {}, {}},
            XpButtonRow("cmdopen", "Open Folder", 3120, 3600, 1335, 615, s.tabOpen),
            XpButtonRow(s.actionName, s.actionCaption, 4560, 3600, 1695, 615, s.tabAction),
        },
    };
}

FolderViewer::FolderViewer(Kind kind) : Form(Layout(kind)), settings_(SettingsFor(kind))
{
    File1 = Control<platform::FileList>(QStringLiteral("File1"));
    lblselected = Control<platform::Label>(QStringLiteral("lblselected"));
    connect(File1, &platform::FileList::Click, this, &FolderViewer::File1_Click);
    connect(Control<ZelXpButton>(QStringLiteral("cmdopen")), &ZelXpButton::Click, this, &FolderViewer::cmdopen_Click);
    connect(Control<ZelXpButton>(QLatin1String(settings_.actionName)), &ZelXpButton::Click, this,
            &FolderViewer::Action_Click);
}

FolderViewer* FolderViewer::ShowEncoded()
{
    return platform::ShowForm<FolderViewer>(SettingsFor(Kind::Encoded).name, [] { return new FolderViewer(Kind::Encoded); });
}

FolderViewer* FolderViewer::ShowDecoded()
{
    return platform::ShowForm<FolderViewer>(SettingsFor(Kind::Decoded).name, [] { return new FolderViewer(Kind::Decoded); });
}

void FolderViewer::Form_Load()
{
    lblselected->SetCaption(File1->FileName());
    ReRead();
}

void FolderViewer::ReRead()
{
    const QString folder = OutputFolder(settings_.ownFolder);
    if (File1->Path() == platform::CleanFolderPath(folder)) {
        File1->Refresh();
    } else {
        File1->SetPath(folder);  // a folder not made yet leaves the list empty
    }
}

void FolderViewer::File1_Click() { lblselected->SetCaption(File1->FileName()); }

void FolderViewer::cmdopen_Click()
{
    if (const auto error = platform::OpenFolderInFileManager(OutputFolder(settings_.ownFolder))) {
        if (ReportError(error->number, error->description) == platform::MsgAnswer::Cancel) {
            platform::EndProgram();
            return;
        }
        ReRead();
    }
}

void FolderViewer::Action_Click()
{
    const QString name = File1->FileName();
    const QString source = JoinPath(OutputFolder(settings_.ownFolder), name);
    const QString targetFolder = OutputFolder(settings_.otherFolder);

    // The other folder may not exist yet: make it, as the main window's commands do.
    std::optional<platform::Error> error;
    if (!platform::PathExists(targetFolder)) error = platform::MakeFolder(targetFolder);
    if (!error) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const auto failure = TransformFile(settings_.coding, Endpoint::File(platform::ToPath(source)),
                                           Endpoint::File(platform::ToPath(JoinPath(targetFolder, name))));
        QApplication::restoreOverrideCursor();
        if (failure) error = platform::Error{failure->number, QString::fromStdString(failure->description)};
    }
    if (error) {
        ReportAndOffer(*error);
        return;
    }
    ReRead();
    platform::MsgBox(QStringLiteral("The file '") + name + QLatin1String(settings_.doneText), platform::MsgButtons::Ok,
                     platform::MsgIcon::Information, QStringLiteral("Done!"));
    ReRead();
}

void FolderViewer::ReportAndOffer(const platform::Error& error)
{
    if (ReportError(error.number, error.description) == platform::MsgAnswer::Cancel) {
        platform::EndProgram();
        return;
    }
    ReRead();
    platform::MsgBox(QStringLiteral("Please select a file to delete!"));
}

}  // namespace corvane
