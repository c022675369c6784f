#include "ui/main/frmMain.h"

#include <QDir>
#include <QFileInfo>

#include <system_error>
#include <utility>

#include "codec/Describe.h"
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
#include "ui/shared/Jobs.h"
#include "ui/shared/Dropped.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ReportError.h"
#include "ui/viewers/FolderViewer.h"

namespace corvane {

platform::FormLayout frmMain::Layout()
{
    using namespace platform::rows;
    const platform::FontChoice bold = platform::kWindowFont.Bold();
    const platform::FontChoice reference = {QStringLiteral("MS Reference Sans Serif"), 8.25, false};
    return {
        .name = QStringLiteral("frmMain"),
        .caption = QStringLiteral("Corvane - File Encoder/Decoder"),
        .border = platform::BorderStyle::FixedSingle,
        .clientWidth = 8040,
        .clientHeight = 7125,
        .controls = {
            //          name              caption                  left   top  width height  tab
            Label      ("Label7",         "Path:",                {   0,  120,  495,  255}, 17).WithFont(bold),
            Label      ("Label6",         "NO FILE SELECTED",     { 600,    0, 7335,  495}, 16).WithFont(reference),
            Label      ("Label1",         "FileName:",            {   0,  600,  855,  255}, 10).WithFont(bold),
            Label      ("filename",       "NO FILE SELECTED",     { 960,  600, 7095,  495},  9),
            DriveList  ("Drivelistbox",                           {   0, 1080, 8055,  315}, 15),
            FolderList ("Dirlistbox",                             {   0, 1440, 3855, 4365}, 14),
            FileList   ("FileListBox",                            {3840, 1440, 4215, 4380},  8),
            XpButtonRow("cmdviewencode",  "View Encoded File(s)", { 120, 5880, 1215,  495}, 18),
            XpButtonRow("cmdviewdecoded", "View Decoded File(s)", {1560, 5880, 1335,  495}, 19),
            XpButtonRow("cmdabout",       "&About",               {3000, 5880, 1095,  495}, 13),
            XpButtonRow("cmdencode",      "Encode File!",         { 120, 6480, 1215,  495}, 11),
            XpButtonRow("cmddecode",      "Decode File!",         {1560, 6480, 1335,  495}, 12),
            XpButtonRow("cmdexit",        "Exit",                 {3000, 6480, 1095,  495}, 20),
            Frame      ("Frame1",         "File Details:",        {4320, 5880, 3495, 1095},  0),
            Label      ("Label2",         "Size:",                { 120,  240,  495,  255},  7).In("Frame1"),
            Label      ("size",           "0",                    { 600,  240, 2055,  255},  5).In("Frame1"),
            Label      ("Label4",         "bytes",                {2880,  240,  495,  255},  4).In("Frame1"),
            Label      ("Label3",         "Date:",                { 120,  480,  495,  255},  6).In("Frame1"),
            Label      ("date",           "0/0/0",                { 600,  480, 2295,  255},  3).In("Frame1"),
            Label      ("Label5",         "File Attributes:",     { 120,  720, 1095,  255},  2).In("Frame1"),
            Label      ("attr",           "",                     {1320,  720, 2055,  255},  1).In("Frame1"),
        },
    };
}

frmMain::frmMain() : Form(Layout())
{
    browser_ = {.drives = Control<platform::DriveList>(QStringLiteral("Drivelistbox")),
                .folders = Control<platform::FolderList>(QStringLiteral("Dirlistbox")),
                .files = Control<platform::FileList>(QStringLiteral("FileListBox"))};
    const auto label = [this](const char* name) { return Control<platform::Label>(QLatin1String(name)); };
    details_ = {.name = label("filename"),
                .path = label("Label6"),
                .size = label("size"),
                .date = label("date"),
                .attributes = label("attr")};
    encode_ = Control<ZelXpButton>(QStringLiteral("cmdencode"));
    // Each caption labels its value for screen readers.
    for (const auto& [caption, value] :
         {std::pair{"Label7", details_.path}, {"Label1", details_.name}, {"Label2", details_.size},
          {"Label3", details_.date}, {"Label5", details_.attributes}}) {
        label(caption)->Describe(value);
    }

    // The file list starts on the folder list's folder, as the two start on the current one; one
    // that cannot be read leaves the file list empty.
    static_cast<void>(browser_.files->SetPath(browser_.folders->Path()));

    const auto onClick = [this](const char* name, void (frmMain::*handler)()) {
        connect(Control<ZelXpButton>(QLatin1String(name)), &ZelXpButton::Click, this, handler);
    };
    onClick("cmdviewencode", &frmMain::cmdviewencode_Click);
    onClick("cmdviewdecoded", &frmMain::cmdviewdecoded_Click);
    onClick("cmdabout", &frmMain::cmdabout_Click);
    onClick("cmdencode", &frmMain::cmdencode_Click);
    onClick("cmddecode", &frmMain::cmddecode_Click);
    onClick("cmdexit", &frmMain::cmdexit_Click);
    connect(browser_.drives, &platform::DriveList::Change, this, &frmMain::Drivelistbox_Change);
    connect(browser_.folders, &platform::FolderList::Change, this, &frmMain::Dirlistbox_Change);
    // The answer does not matter: the folder list stays where it was either way.
    connect(browser_.folders, &platform::FolderList::OpenFailed, this, [](const Error& error) { ReportError(error); });
    connect(browser_.files, &platform::FileList::Click, this, &frmMain::FileListBox_Click);
    TakeFileDrops([this](const QStringList& paths) { ShowDropped(paths); });
}

void frmMain::cmdviewencode_Click() { FolderViewer::ShowEncoded(this); }
void frmMain::cmdviewdecoded_Click() { FolderViewer::ShowDecoded(this); }
void frmMain::cmdabout_Click() { frmAbout::ShowAbout(); }
void frmMain::cmdexit_Click() { ExitSequence(); }
void frmMain::Form_Unload() { ExitSequence(); }

// Closes the viewers, then this window, then ends the program. Work in progress is cancelled
// first, and the windows go at once without waiting for it: the program ends when the file
// being written is finished or cancelled, which on a slow disk may take seconds, so that
// nothing is left half-written. The About window goes with the program.
void frmMain::ExitSequence()
{
    if (exiting_) return;
    exiting_ = true;
    FolderViewer::Window(FolderViewer::Kind::Decoded).Unload();
    FolderViewer::Window(FolderViewer::Kind::Encoded).Unload();
    Unload();
    Jobs::Leave(platform::EndProgram);
}

// A drive that cannot be read is offered again on OK; Cancel goes back to the drive the folder
// list still shows, and the program goes on.
std::optional<Error> frmMain::ShowFile(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    if (!platform::IsFile(path)) {
        return SystemError(std::make_error_code(std::errc::no_such_file_or_directory), "Cannot find",
                           platform::NameInMessage(QDir::toNativeSeparators(file.absoluteFilePath())));
    }
    // The folder list first: the drive's change then finds it on that drive and keeps it there.
    CORVANE_TRY(browser_.folders->SetPath(folder));
    browser_.drives->SetDrive(folder);
    platform::FileList* files = browser_.files;
    for (int index = 0; index < files->ListCount(); ++index) {
        if (files->List(index) != file.fileName()) continue;
        files->SetListIndex(index);
        files->scrollTo(files->model()->index(index, 0));
        break;
    }
    return std::nullopt;
}

void frmMain::Drivelistbox_Change()
{
    for (;;) {
        const QString folder = browser_.drives->FolderFor(browser_.drives->Drive(), browser_.folders->Path());
        const auto error = browser_.folders->SetPath(folder);
        if (!error) return;
        if (ReportError(*error) != platform::MsgAnswer::Ok) {
            // This raises a change for that drive, which finds its folder readable.
            browser_.drives->SetDrive(browser_.folders->Path());
            return;
        }
    }
}

void frmMain::Dirlistbox_Change()
{
    if (const auto error = browser_.files->SetPath(browser_.folders->Path())) ReportError(*error);
}

void frmMain::FileListBox_Click()
{
    platform::FileList* files = browser_.files;
    encode_->SetEnabled(files->ListIndex() > -1);
    // With the selection cleared there is no file to describe: the panel shows an empty name and
    // the folder's path, as far as the steps for a file get, and no details.
    if (files->ListIndex() < 0) {
        ShowDetails(QString(), JoinPath(browser_.folders->Path(), QString()), QStringLiteral("0"),
                    QStringLiteral("0/0/0"), QString());
        return;
    }

    const QString path = JoinPath(browser_.folders->Path(), files->List(files->ListIndex()));
    const auto length = platform::FileLength(path);
    const auto modified = platform::FileModified(path);
    const auto attributes = platform::FileAttributes(path);
    // A file that vanished or cannot be read is reported; whatever the answer, the program goes
    // on and the panel keeps what it showed.
    const Error* error = !length ? &length.error()
                         : !modified ? &modified.error()
                         : !attributes ? &attributes.error()
                                       : nullptr;
    if (error) {
        ReportError(*error);
        return;
    }
    ShowDetails(files->FileName(), path, QString::number(*length), platform::DateTimeText(*modified),
                AttributeText(*attributes));
}

// The panel's description changes with it, which screen readers announce.
void frmMain::ShowDetails(const QString& name, const QString& path, const QString& size, const QString& date,
                          const QString& attributes)
{
    details_.name->SetCaption(name);
    details_.path->SetCaption(path);
    details_.size->SetCaption(size);
    details_.date->SetCaption(date);
    details_.attributes->SetCaption(attributes);
    const QString described = name.isEmpty() ? QStringLiteral("No file selected")
                                             : QStringLiteral("%1, %2 bytes, %3, %4").arg(name, size, date, attributes);
    Control(QStringLiteral("Frame1"))->setAccessibleDescription(described);
}

void frmMain::cmdencode_Click() { CodeSelectedFile(Coding::Encode, kEncodedFolder); }
void frmMain::cmddecode_Click() { CodeSelectedFile(Coding::Decode, kDecodedFolder); }

// With nothing selected the source is the folder itself, which the transform refuses.
void frmMain::CodeSelectedFile(Coding coding, const QString& folderName)
{
    platform::FileList* files = browser_.files;
    const QString name = files->List(files->ListIndex());
    const CodingJob::File file{coding, JoinPath(browser_.folders->Path(), name), OutputFolder(folderName), name};
    Jobs::Start(this, {file},
                {.landed =
                     [files](const CodingJob::File&) {
                         if (const auto error = files->Refresh()) ReportCommandError(*error);
                     },
                 .failed = [](const CodingJob::File&, const Error& error) { return ReportCommandError(error); },
                 .warned = ReportWarning,
                 .finished = {}});
}

// Of several files, the first is shown.
void frmMain::ShowDropped(const QStringList& paths)
{
    const QString& path = paths.first();
    const auto error = platform::IsFolder(path) ? std::optional<Error>(FolderDropped(path)) : ShowFile(path);
    if (error) ReportError(*error);
}

}  // namespace corvane
