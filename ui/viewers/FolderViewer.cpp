#include "ui/viewers/FolderViewer.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include "platform/Desktop.h"
#include "platform/FileList.h"
#include "platform/Files.h"
#include "platform/FolderList.h"
#include "platform/FolderWatch.h"
#include "platform/SimpleControls.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"
#include "ui/shared/Jobs.h"
#include "ui/shared/Dropped.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ReportError.h"

namespace corvane {

struct FolderViewer::Settings {
    QString name;  // the window's name, also the instance's
    QString caption;
    QString ownFolder;    // listed and opened
    QString otherFolder;  // the action writes here
    const char* listName;  // what screen readers call the list
    const char* actionName;
    const char* actionCaption;
    Coding coding;      // the action's
    Coding dropCoding;  // for files dropped onto the window
    const char* doneText;  // after "The file '" and the name
    int clientWidth;
    int clientHeight;
    int tabFile1, tabAction, tabOpen;
};

const FolderViewer::Settings& FolderViewer::SettingsFor(Kind kind)
{
    static const Settings encoded{QStringLiteral("frmViewEncoded"), kEncodedFolder, kEncodedFolder, kDecodedFolder,
                                  "Encoded files", "cmddecode1", "Decode Selected", Coding::Decode, Coding::Encode,
                                  "' decoded and can be found at Decoded File(s) folder", 6285, 4260, 0, 1, 2};
    static const Settings decoded{QStringLiteral("frmViewDecoded"), kDecodedFolder, kDecodedFolder, kEncodedFolder,
                                  "Decoded files", "cmdencode1", "Encode Selected", Coding::Encode, Coding::Decode,
                                  "' encoded and can be found at Encoded File(s) folder", 6330, 4275, 2, 1, 0};
    return kind == Kind::Encoded ? encoded : decoded;
}

platform::FormLayout FolderViewer::Layout(Kind kind)
{
    using namespace platform::rows;
    const Settings& s = SettingsFor(kind);
    const platform::FontChoice reference = {QStringLiteral("MS Reference Sans Serif"), 8.25, false};
    return {
        .name = s.name,
        .caption = s.caption,
        .border = platform::BorderStyle::FixedToolWindow,
        .clientWidth = s.clientWidth,
        .clientHeight = s.clientHeight,
        .controls = {
            //          name             caption               left   top  width height  tab
            FileList   ("File1",                              {   0,    0, 6255, 3405}, s.tabFile1),
            Label      ("Label1",        "Selected File:",    {   0, 3480,  975,  255}),
            Label      ("lblselected",   "...",               {   0, 3720, 2775,  495}).WithFont(reference),
            XpButtonRow("cmdopen",       "Open Folder",       {3120, 3600, 1335,  615}, s.tabOpen),
            XpButtonRow(s.actionName,    s.actionCaption,     {4560, 3600, 1695,  615}, s.tabAction),
        },
    };
}

FolderViewer::FolderViewer(Kind kind) : Form(Layout(kind)), settings_(SettingsFor(kind))
{
    list_ = Control<platform::FileList>(QStringLiteral("File1"));
    selected_ = Control<platform::Label>(QStringLiteral("lblselected"));
    list_->setAccessibleName(QLatin1String(settings_.listName));
    Control<platform::Label>(QStringLiteral("Label1"))->Describe(selected_);
    // The transform's named temporary files are work in progress, never results.
    list_->SetNameFilter([](const QString& name) { return !IsTemporaryName(name.toStdString()); });
    connect(list_, &platform::FileList::Click, this, &FolderViewer::File1_Click);
    connect(Control<ZelXpButton>(QStringLiteral("cmdopen")), &ZelXpButton::Click, this, &FolderViewer::cmdopen_Click);
    connect(Control<ZelXpButton>(QLatin1String(settings_.actionName)), &ZelXpButton::Click, this,
            &FolderViewer::Action_Click);
    TakeFileDrops([this](const QStringList& paths) { CodeDropped(paths); });
    reReadSoon_ = new QTimer(this);
    reReadSoon_->setSingleShot(true);
    reReadSoon_->setInterval(200);
    connect(reReadSoon_, &QTimer::timeout, this, &FolderViewer::ReRead);
}

platform::FormHandle<FolderViewer> FolderViewer::Window(Kind kind)
{
    return platform::FormHandle<FolderViewer>(SettingsFor(kind).name);
}

namespace {

FolderViewer* ShowViewer(FolderViewer::Kind kind, const QString& name, const QWidget* beside)
{
    return platform::ShowForm<FolderViewer>(name, [kind, beside] {
        auto* viewer = new FolderViewer(kind);
        viewer->PlaceBeside(beside, kind == FolderViewer::Kind::Encoded ? 0 : 1);
        return viewer;
    });
}

}  // namespace

FolderViewer* FolderViewer::ShowEncoded(const QWidget* beside)
{
    return ShowViewer(Kind::Encoded, SettingsFor(Kind::Encoded).name, beside);
}

FolderViewer* FolderViewer::ShowDecoded(const QWidget* beside)
{
    return ShowViewer(Kind::Decoded, SettingsFor(Kind::Decoded).name, beside);
}

// The list follows its folder from now on, whatever writes there, keeping its selection.
void FolderViewer::Form_Load()
{
    selected_->SetCaption(list_->FileName());
    ReRead();
    delete watch_;
    watch_ = new platform::FolderWatch(OutputFolder(settings_.ownFolder), [this] { ReReadSoon(); }, this);
}

void FolderViewer::ReRead()
{
    if (reReadSoon_) reReadSoon_->stop();
    // A folder that cannot be read (one not made yet, above all) leaves the list as it was,
    // empty at first: the viewer reports nothing for it.
    const QString folder = OutputFolder(settings_.ownFolder);
    if (list_->Path() == platform::CleanFolderPath(folder)) {
        static_cast<void>(list_->Refresh());
    } else {
        static_cast<void>(list_->SetPath(folder));
    }
}

void FolderViewer::ReReadSoon()
{
    if (!reReadSoon_->isActive()) reReadSoon_->start();
}

void FolderViewer::File1_Click() { selected_->SetCaption(list_->FileName()); }

// The folder is made when it is not there yet, so that there is something to open; a file
// manager that cannot open it is reported like a failure to start one, when it says so.
void FolderViewer::cmdopen_Click()
{
    const QPointer<FolderViewer> self(this);
    const auto failed = [self](const Error& error) {
        if (ReportCommandError(error) && self) self->ReRead();
    };
    if (const auto error = platform::OpenFolderInFileManager(OutputFolder(settings_.ownFolder), failed)) {
        failed(*error);
    } else {
        ReRead();  // the folder made just now
    }
}

void FolderViewer::Action_Click()
{
    const QString name = list_->FileName();
    const QString source = JoinPath(OutputFolder(settings_.ownFolder), name);
    // The viewer may be closed while the file is coded.
    const QPointer<FolderViewer> self(this);
    const CodingJob::File file{settings_.coding, source, OutputFolder(settings_.otherFolder), name};
    Jobs::Start(this, {file},
                {.landed =
                     [self, doneText = settings_.doneText](const CodingJob::File& landed) {
                         if (self) self->ReRead();
                         platform::MsgBox(QStringLiteral("The file '") +
                                              QString::fromStdString(platform::NameInMessage(landed.name)) +
                                              QLatin1String(doneText),
                                          platform::MsgButtons::Ok, platform::MsgIcon::Information,
                                          QStringLiteral("Done!"));
                         if (self) self->ReRead();
                     },
                 .failed =
                     [self](const CodingJob::File&, const Error& error) {
                         if (!ReportCommandError(error)) return false;
                         if (self) self->ReRead();
                         platform::MsgBox(QStringLiteral("Please select a file to delete!"));
                         return false;
                     },
                 .warned = ReportWarning,
                 .finished = {}});
}

// Folders are refused first, each reported: OK goes on, Cancel drops the whole drop. The files
// are then coded as one batch (their flushes to disk shared), and a file that fails is reported
// the same way: OK goes on with the next, Cancel stops there, files already coded staying.
void FolderViewer::CodeDropped(const QStringList& paths)
{
    std::vector<CodingJob::File> files;
    const QString folder = OutputFolder(settings_.ownFolder);
    for (const QString& path : paths) {
        if (platform::IsFolder(path)) {
            if (ReportError(FolderDropped(path)) != platform::MsgAnswer::Ok) return;
            continue;
        }
        files.push_back({settings_.dropCoding, path, folder, QFileInfo(path).fileName()});
    }
    if (files.empty()) return;
    const QPointer<FolderViewer> self(this);
    Jobs::Start(this, std::move(files),
                {.landed =
                     [self](const CodingJob::File&) {
                         if (self) self->ReReadSoon();
                     },
                 .failed =
                     [](const CodingJob::File&, const Error& error) {
                         return ReportError(error) == platform::MsgAnswer::Ok;
                     },
                 .warned = ReportWarning,
                 .finished =
                     [self](bool) {
                         if (self) self->ReRead();
                     }});
}

}  // namespace corvane
