#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>

#include "platform/Desktop.h"
#include "platform/DriveList.h"
#include "platform/FileList.h"
#include "platform/Files.h"
#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "ui/about/frmAbout.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"
#include "ui/main/AttributeText.h"
#include "ui/main/ReportError.h"
#include "ui/viewers/FolderViewer.h"

namespace corvane {

using platform::ControlKind;
using platform::ControlRow;
using platform::FontSpec;

QString JoinPath(const QString& folder, const QString& name) { return folder + QDir::separator() + name; }

QString OutputFolder(const QString& name) { return JoinPath(platform::ProgramFolder(), name); }

platform::FormLayout frmMain::Layout()
{
    const FontSpec bold{QStringLiteral("MS Sans Serif"), 8.25, true};
    const FontSpec reference{QStringLiteral("MS Reference Sans Serif"), 8.25, false};
    const auto label = [](const char* name, const char* caption, int left, int top, int width, int height,
                          int tab, std::optional<FontSpec> font = {}, const char* frame = "") {
        return ControlRow{name, ControlKind::Label, caption, left, top, width, height, tab, font, frame, {}};
    };
    const auto list = [](const char* name, ControlKind kind, int left, int top, int width, int height, int tab) {
        return ControlRow{name, kind, {}, left, top, width, height, tab, {}, {}, {}};
    };
    return {
        .name = QStringLiteral("frmMain"),
        .caption = QStringLiteral("Corvane - File Encoder/Decoder"),
        .border = platform::BorderStyle::FixedSingle,
        .clientWidth = 8040,
        .clientHeight = 7125,
        .position = std::nullopt,
        .icon = {},
        .font = {QStringLiteral("MS Sans Serif"), 8.25, false},
        .controls = {
            //    name             caption              left   top  width height tab
            label("Label7", "Path:", 0, 120, 495, 255, 17, bold),
            label("Label6", "NO FILE SELECTED", 600, 0, 7335, 495, 16, reference),
            label("Label1", "FileName:", 0, 600, 855, 255, 10, bold),
            label("filename", "NO FILE SELECTED", 960, 600, 7095, 495, 9),
            list("Drivelistbox", ControlKind::DriveList, 0, 1080, 8055, 315, 15),
            list("Dirlistbox", ControlKind::FolderList, 0, 1440, 3855, 4365, 14),
            list("FileListBox", ControlKind::FileList, 3840, 1440, 4215, 4380, 8),
            XpButtonRow("cmdviewencode", "View Encoded File(s)", 120, 5880, 1215, 495, 18),
            XpButtonRow("cmdviewdecoded", "View Decoded File(s)", 1560, 5880, 1335, 495, 19),
            XpButtonRow("cmdabout", "&About", 3000, 5880, 1095, 495, 13),
            XpButtonRow("cmdencode", "Encode File!", 120, 6480, 1215, 495, 11),
            XpButtonRow("cmddecode", "Decode File!", 1560, 6480, 1335, 495, 12),
            XpButtonRow("cmdexit", "Exit", 3000, 6480, 1095, 495, 20),
            ControlRow{"Frame1", ControlKind::Frame, "File Details:", 4320, 5880, 3495, 1095, 0, {}, {}, {}},
            label("Label2", "Size:", 120, 240, 495, 255, 7, {}, "Frame1"),
            label("size", "0", 600, 240, 2055, 255, 5, {}, "Frame1"),
            label("Label4", "bytes", 2880, 240, 495, 255, 4, {}, "Frame1"),
            label("Label3", "Date:", 120, 480, 495, 255, 6, {}, "Frame1"),
            label("date", "0/0/0", 600, 480, 2295, 255, 3, {}, "Frame1"),
            label("Label5", "File Attributes:", 120, 720, 1095, 255, 2, {}, "Frame1"),
            label("attr", "", 1320, 720, 2055, 255, 1, {}, "Frame1"),
        },
    };
}

frmMain::frmMain() : Form(Layout())
{
    Drivelistbox = Control<platform::DriveList>(QStringLiteral("Drivelistbox"));
    Dirlistbox = Control<platform::FolderList>(QStringLiteral("Dirlistbox"));
    FileListBox = Control<platform::FileList>(QStringLiteral("FileListBox"));
    filename = Control<platform::Label>(QStringLiteral("filename"));
    Label6 = Control<platform::Label>(QStringLiteral("Label6"));
    size = Control<platform::Label>(QStringLiteral("size"));
    date = Control<platform::Label>(QStringLiteral("date"));
    attr = Control<platform::Label>(QStringLiteral("attr"));
    cmdencode = Control<ZelXpButton>(QStringLiteral("cmdencode"));

    // The file list starts on the folder list's folder, as the two start on the current one.
    FileListBox->SetPath(Dirlistbox->Path());

    const auto onClick = [this](const char* name, void (frmMain::*handler)()) {
        connect(Control<ZelXpButton>(QLatin1String(name)), &ZelXpButton::Click, this, handler);
    };
    onClick("cmdviewencode", &frmMain::cmdviewencode_Click);
    onClick("cmdviewdecoded", &frmMain::cmdviewdecoded_Click);
    onClick("cmdabout", &frmMain::cmdabout_Click);
    onClick("cmdencode", &frmMain::cmdencode_Click);
    onClick("cmddecode", &frmMain::cmddecode_Click);
    onClick("cmdexit", &frmMain::cmdexit_Click);
    connect(Drivelistbox, &platform::DriveList::Change, this, &frmMain::Drivelistbox_Change);
    connect(Dirlistbox, &platform::FolderList::Change, this, &frmMain::Dirlistbox_Change);
    connect(Dirlistbox, &platform::FolderList::OpenFailed, this,
            [](const platform::Error& error) { ReportError(error.number, error.description); });
    connect(FileListBox, &platform::FileList::Click, this, &frmMain::FileListBox_Click);
}

void frmMain::cmdviewencode_Click() { FolderViewer::ShowEncoded(); }
void frmMain::cmdviewdecoded_Click() { FolderViewer::ShowDecoded(); }
void frmMain::cmdabout_Click() { frmAbout::ShowAbout(); }
void frmMain::cmdexit_Click() { ExitSequence(); }
void frmMain::Form_Unload() { ExitSequence(); }

// Closes the viewers, then this window, then ends the program at once. The About window goes
// with the program.
void frmMain::ExitSequence()
{
    if (exiting_) return;
    exiting_ = true;
    platform::UnloadForm(QStringLiteral("frmViewDecoded"));
    platform::UnloadForm(QStringLiteral("frmViewEncoded"));
    Unload();
    platform::EndProgram();
}

void frmMain::Drivelistbox_Change()
{
    for (;;) {
        const QString folder = Drivelistbox->FolderFor(Drivelistbox->Drive(), Dirlistbox->Path());
        const auto error = Dirlistbox->SetPath(folder);
        if (!error) return;
        if (ReportError(error->number, error->description) != platform::MsgAnswer::Ok) {
            // Back to the drive the folder list still shows; this raises a change for it.
            Drivelistbox->SetDrive(Dirlistbox->Path());
            return;
        }
    }
}

void frmMain::Dirlistbox_Change()
{
    if (const auto error = FileListBox->SetPath(Dirlistbox->Path())) {
        ReportError(error->number, error->description);
    }
}

void frmMain::FileListBox_Click()
{
    cmdencode->SetEnabled(FileListBox->ListIndex() > -1);
    // With the selection cleared there is no file to describe: the panel keeps what it showed.
    if (FileListBox->ListIndex() < 0) return;

    const QString path = JoinPath(Dirlistbox->Path(), FileListBox->List(FileListBox->ListIndex()));
    const auto length = platform::FileLength(path);
    const auto modified = platform::FileModified(path);
    const auto attributes = platform::FileAttributes(path);
    // A file that vanished or cannot be read is reported; the panel keeps what it showed.
    for (const platform::Error* error : {std::get_if<platform::Error>(&length), std::get_if<platform::Error>(&modified),
                                         std::get_if<platform::Error>(&attributes)}) {
        if (error) {
            ReportError(error->number, error->description);
            return;
        }
    }
    filename->SetCaption(FileListBox->FileName());
    Label6->SetCaption(path);
    size->SetCaption(QString::number(std::get<qint64>(length)));
    date->SetCaption(platform::DateTimeText(std::get<QDateTime>(modified)));
    attr->SetCaption(AttributeText(std::get<quint32>(attributes)));
}

void frmMain::cmdencode_Click() { CodeSelectedFile(Coding::Encode, kEncodedFolder); }
void frmMain::cmddecode_Click() { CodeSelectedFile(Coding::Decode, kDecodedFolder); }

void frmMain::CodeSelectedFile(Coding coding, const QString& folderName)
{
    const QString source = JoinPath(Dirlistbox->Path(), FileListBox->List(FileListBox->ListIndex()));
    const QString folder = OutputFolder(folderName);
    std::optional<platform::Error> error;
    if (!platform::PathExists(folder)) error = platform::MakeFolder(folder);
    if (!error) {
        const QString destination = JoinPath(folder, FileListBox->FileName());
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);  // show the busy cursor now
        const auto failure = TransformFile(coding, Endpoint::File(platform::ToPath(source)),
                                           Endpoint::File(platform::ToPath(destination)));
        QApplication::restoreOverrideCursor();
        if (failure) error = platform::Error{failure->number, QString::fromStdString(failure->description)};
    }
    if (!error) error = FileListBox->Refresh();
    if (!error) return;
    if (ReportError(error->number, error->description) == platform::MsgAnswer::Cancel) platform::EndProgram();
}

}  // namespace corvane
