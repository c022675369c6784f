// The main window, opened for real offscreen and used through its controls.
#include <QGroupBox>
#include <QScreen>

#include <functional>

#ifdef _WIN32
#include <windows.h>
#endif

#include "support/SystemWords.h"
#include "codec/ByteCodec.h"
#include "platform/DriveList.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "platform/Twips.h"
#include "support/Coded.h"
#include "support/MainWindowFixture.h"
#include "ui/button/ZelXpButton.h"
#include "ui/main/AttributeText.h"
#include "ui/main/frmMain.h"
#include "ui/shared/OutputFolders.h"

namespace corvane {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using testing::Bytes;
using testing::Encoded;
using testing::Q;

class MainWindow : public testing::MainWindowUi {
protected:
    void PrepareData() override { testing::WriteBytes(data / "empty.bin", {}); }
    QString Caption(const char* label) { return Get<platform::Label>(label)->Caption(); }

    // Selects `name` in the file list by a real click on its entry.
    void SelectFile(const QString& name)
    {
        auto* list = Get<platform::FileList>("FileListBox");
        ASSERT_NO_FATAL_FAILURE(testing::ClickEntry(list, name));
        ASSERT_EQ(list->FileName(), name);
    }

    void OpenFolder(const std::filesystem::path& folder)
    {
        ASSERT_FALSE(Get<platform::FolderList>("Dirlistbox")->SetPath(Q(folder)));
    }
};

TEST_F(MainWindow, StartsOnTheCurrentFolderWithNothingSelected)
{
    EXPECT_EQ(window->windowTitle(), "Corvane - File Encoder/Decoder");
    EXPECT_EQ(Caption("filename"), "NO FILE SELECTED");
    EXPECT_EQ(Caption("Label6"), "NO FILE SELECTED");
    EXPECT_EQ(Caption("size"), "0");
    EXPECT_EQ(Caption("date"), "0/0/0");
    EXPECT_EQ(Caption("attr"), "");
    EXPECT_EQ(Get<platform::FolderList>("Dirlistbox")->Path(), Q(data));
    EXPECT_EQ(Get<platform::FileList>("FileListBox")->Path(), Q(data));
    EXPECT_EQ(Get<platform::FileList>("FileListBox")->ListIndex(), -1);
    for (const char* name : {"cmdviewencode", "cmdviewdecoded", "cmdabout", "cmdencode", "cmddecode", "cmdexit"}) {
        EXPECT_TRUE(Get<ZelXpButton>(name)->Enabled()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(encoded()));
}

// One control of the main window where its layout puts it, in twips: the window's layout table
// written out again here, apart from frmMain's own, so that a slip in either shows.
struct PlacedRow {
    const char* name;
    const char* caption;  // null for the lists, which have none
    int left, top, width, height;
    const char* parent;
    bool bold;
};

const PlacedRow kPlacedRows[] = {
    {"Label7", "Path:", 0, 120, 495, 255, "frmMain", true},
    {"Label6", "NO FILE SELECTED", 600, 0, 7335, 495, "frmMain", false},
    {"Label1", "FileName:", 0, 600, 855, 255, "frmMain", true},
    {"filename", "NO FILE SELECTED", 960, 600, 7095, 495, "frmMain", false},
    {"Drivelistbox", nullptr, 0, 1080, 8055, 315, "frmMain", false},
    {"Dirlistbox", nullptr, 0, 1440, 3855, 4365, "frmMain", false},
    {"FileListBox", nullptr, 3840, 1440, 4215, 4380, "frmMain", false},
    {"cmdviewencode", "View Encoded File(s)", 120, 5880, 1215, 495, "frmMain", false},
    {"cmdviewdecoded", "View Decoded File(s)", 1560, 5880, 1335, 495, "frmMain", false},
    {"cmdabout", "&About", 3000, 5880, 1095, 495, "frmMain", false},
    {"cmdencode", "Encode File!", 120, 6480, 1215, 495, "frmMain", false},
    {"cmddecode", "Decode File!", 1560, 6480, 1335, 495, "frmMain", false},
    {"cmdexit", "Exit", 3000, 6480, 1095, 495, "frmMain", false},
    {"Frame1", "File Details:", 4320, 5880, 3495, 1095, "frmMain", false},
    {"Label2", "Size:", 120, 240, 495, 255, "Frame1", false},
    {"size", "0", 600, 240, 2055, 255, "Frame1", false},
    {"Label4", "bytes", 2880, 240, 495, 255, "Frame1", false},
    {"Label3", "Date:", 120, 480, 495, 255, "Frame1", false},
    {"date", "0/0/0", 600, 480, 2295, 255, "Frame1", false},
    {"Label5", "File Attributes:", 120, 720, 1095, 255, "Frame1", false},
    {"attr", "", 1320, 720, 2055, 255, "Frame1", false},
};

void PrintTo(const PlacedRow& row, std::ostream* out) { *out << row.name; }

class MainWindowLayout : public MainWindow, public ::testing::WithParamInterface<PlacedRow> {};

TEST_P(MainWindowLayout, ControlSitsWhereTheLayoutPutsIt)
{
    if (QGuiApplication::primaryScreen()->logicalDotsPerInch() != 96) GTEST_SKIP() << "needs 96 dots per inch";
    const PlacedRow& row = GetParam();
    QWidget* control = Get(row.name);
    const QRect placed(row.left / 15, row.top / 15, row.width / 15, row.height / 15);
    if (auto* label = qobject_cast<platform::Label*>(control)) {
        // A one-line label may grow to the right to show its whole caption.
        EXPECT_EQ(control->pos(), placed.topLeft());
        EXPECT_EQ(control->height(), placed.height());
        EXPECT_GE(control->width(), placed.width());
        EXPECT_EQ(label->Caption(), row.caption);
    } else {
        EXPECT_EQ(control->geometry(), placed);
    }
    if (auto* button = qobject_cast<ZelXpButton*>(control)) {
        EXPECT_EQ(button->Caption(), row.caption);
    }
    if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        EXPECT_EQ(frame->title(), row.caption);
    }
    EXPECT_EQ(control->parentWidget()->objectName(), row.parent);
    EXPECT_EQ(control->font().bold(), row.bold);
}

INSTANTIATE_TEST_SUITE_P(LayoutTable, MainWindowLayout, ::testing::ValuesIn(kPlacedRows),
                         [](const ::testing::TestParamInfo<PlacedRow>& info) { return std::string(info.param.name); });

TEST_F(MainWindow, ClientAreaHasTheLayoutsSizeAndEveryControlARow)
{
    if (QGuiApplication::primaryScreen()->logicalDotsPerInch() != 96) GTEST_SKIP() << "needs 96 dots per inch";
    EXPECT_EQ(window->size(), QSize(8040 / 15, 7125 / 15));
    QStringList tabled;
    for (const PlacedRow& row : kPlacedRows) tabled << row.name;
    QStringList built;
    for (const platform::ControlRow& row : frmMain::Layout().controls) built << row.name;
    EXPECT_EQ(built, tabled);
}

TEST_F(MainWindow, TabVisitsTheControlsInTheirOrder)
{
    QStringList visited;
    Get("FileListBox")->setFocus();
    for (int i = 0; i < 9; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus) << "after " << visited.join(", ").toStdString();
        visited << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(visited, (QStringList{"FileListBox", "cmdencode", "cmddecode", "cmdabout", "Dirlistbox",
                                    "Drivelistbox", "cmdviewencode", "cmdviewdecoded", "cmdexit"}));
    ASSERT_TRUE(QApplication::focusWidget());
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "FileListBox");
}

TEST_F(MainWindow, SelectingAFileFillsTheDetailsPanel)
{
    testing::WriteBytes(data / ".hidden", {1, 2});
    testing::WriteBytes(data / "locked", {1, 2, 3, 4});
    std::filesystem::permissions(data / "locked", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
#ifdef _WIN32
    // Windows keeps "hidden" as an attribute of the file, and marks new files for archiving.
    ::SetFileAttributesW((data / ".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
#endif
    ASSERT_FALSE(Get<platform::FileList>("FileListBox")->Refresh());

    const struct {
        const char* name;
        const char* size;
        const char* attributes;
    } cases[] = {{"a.txt", "3", "Normal"}, {".hidden", "2", "Hidden"}, {"locked", "4", "Read-Only"}, {"empty.bin", "0", "Normal"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SelectFile(c.name);
        const QString path = Q(data / c.name);
        EXPECT_EQ(Caption("filename"), c.name);
        EXPECT_EQ(Caption("Label6"), path);
        EXPECT_EQ(Caption("size"), c.size);
        const auto modified = platform::FileModified(path);
        ASSERT_TRUE(modified) << ErrorLine(modified.error());
        EXPECT_EQ(Caption("date"), platform::DateTimeText(*modified));
#ifdef _WIN32
        const QString attributes = QString(c.attributes) == "Normal" ? QStringLiteral("Archive")
                                                                    : QString(c.attributes) + " and Archive";
        EXPECT_EQ(Caption("attr"), attributes);
#else
        EXPECT_EQ(Caption("attr"), c.attributes);
#endif
    }

    // Clearing the selection disables "Encode File!" and leaves the panel with an empty name, the
    // folder's path and no details, whichever way it is cleared.
    auto* list = Get<platform::FileList>("FileListBox");
    const struct {
        const char* how;
        Qt::KeyboardModifiers modifiers;
        std::function<QPoint()> where;
    } clearings[] = {
        {"a click below the entries", {}, [&] { return QPoint(10, list->viewport()->height() - 5); }},
        {"Ctrl+click on the selected entry", Qt::ControlModifier,
         [&] { return list->visualRect(list->model()->index(list->ListIndex(), 0)).center(); }},
    };
    for (const auto& clearing : clearings) {
        SCOPED_TRACE(clearing.how);
        SelectFile("empty.bin");
        EXPECT_TRUE(Get<ZelXpButton>("cmdencode")->Enabled());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, clearing.modifiers, clearing.where());
        EXPECT_EQ(list->ListIndex(), -1);
        EXPECT_FALSE(Get<ZelXpButton>("cmdencode")->Enabled());
        EXPECT_EQ(Caption("filename"), "");
        EXPECT_EQ(Caption("Label6"), Q(data) + QDir::separator());
        EXPECT_EQ(Caption("size"), "0");
        EXPECT_EQ(Caption("date"), "0/0/0");
        EXPECT_EQ(Caption("attr"), "");
        EXPECT_TRUE(desktop.boxes.empty());
    }
    SelectFile("empty.bin");
    EXPECT_TRUE(Get<ZelXpButton>("cmdencode")->Enabled());

    // Another folder keeps the panel as it was.
    std::filesystem::create_directory(data / "sub");
    OpenFolder(data / "sub");
    EXPECT_EQ(Get<platform::FileList>("FileListBox")->ListIndex(), -1);
    EXPECT_EQ(Caption("filename"), "empty.bin");
}

TEST_F(MainWindow, AFileThatVanishedIsReportedAndThePanelKeepsItsDetails)
{
    SelectFile("a.txt");
    std::filesystem::remove(data / "empty.bin");
    desktop.answers = {MsgAnswer::Cancel};  // Cancel here does not end the program
    SelectFile("empty.bin");
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text,
              "Error: 2: Cannot read the size of '" + Q(data / "empty.bin") + "': No such file or directory");
    EXPECT_EQ(desktop.boxes[0].caption, "No Data");
    EXPECT_EQ(desktop.ended, 0);
    EXPECT_EQ(Caption("filename"), "a.txt");
    EXPECT_EQ(Caption("size"), "3");

    // A folder that vanished before it is opened: reported, and the lists stay usable.
    std::filesystem::create_directory(data / "gone");
    ASSERT_FALSE(Get<platform::FolderList>("Dirlistbox")->SetPath(Q(data)));
    auto* folders = Get<platform::FolderList>("Dirlistbox");
    const auto items = folders->findItems("gone", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    std::filesystem::remove(data / "gone");
    folders->setCurrentItem(items[0]);
    QTest::keyClick(folders, Qt::Key_Return);
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_EQ(desktop.boxes[1].text,
              "Error: 2: Cannot open the folder '" + Q(data / "gone") + "': No such file or directory");
    EXPECT_EQ(folders->Path(), Q(data));
    SelectFile("a.txt");
    EXPECT_EQ(Caption("filename"), "a.txt");
}

// A name's newline or tab cannot break the report's one line: the message box shows them escaped.
TEST_F(MainWindow, ANameWithANewlineOrATabIsReportedOnOneLine)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows allows no control characters in a file name";
#else
    const std::string name = "two\nlines\tand a tab.txt";
    testing::WriteBytes(data / name, {1});
    ASSERT_FALSE(Get<platform::FileList>("FileListBox")->Refresh());
    std::filesystem::remove(data / name);
    SelectFile(QString::fromStdString(name));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "Error: 2: Cannot read the size of '" + Q(data) +
                                         "/two\\nlines\\tand a tab.txt': No such file or directory");
#endif
}

TEST(AttributeText, KnownValuesHaveWordsAndOthersStayNumbers)
{
    const std::pair<quint32, const char*> cases[] = {
        {32, "Archive"}, {33, "Read-Only and Archive"}, {0, "Normal"}, {128, "Compressed file"}, {3, "Hidden and Read-Only"},
        {16, "Directory"}, {6, "6"}, {36, "36"}, {8224, "8224"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(AttributeText(value), text) << value;
}

TEST_F(MainWindow, EncodeAndDecodeWriteIntoTheirOutputFolders)
{
    SelectFile("a.txt");
    ClickAndFinish(Get("cmdencode"));
    EXPECT_EQ(testing::ReadBytes(encoded() / "a.txt"), Encoded({'a', 'b', 'c'}));
    EXPECT_FALSE(std::filesystem::exists(decoded()));  // only the folder in use is made
    EXPECT_TRUE(desktop.boxes.empty());

    testing::WriteBytes(data / "a.txt", {'x', 'y'});  // a second run replaces the first result
    ClickAndFinish(Get("cmdencode"));
    EXPECT_EQ(testing::ReadBytes(encoded() / "a.txt"), Encoded({'x', 'y'}));

    OpenFolder(encoded());
    SelectFile("a.txt");
    ClickAndFinish(Get("cmddecode"));
    EXPECT_EQ(testing::ReadBytes(decoded() / "a.txt"), (Bytes{'x', 'y'}));

    // Coding inside the output folder replaces the file in place; the list shows it still.
    ClickAndFinish(Get("cmdencode"));
    EXPECT_EQ(testing::ReadBytes(encoded() / "a.txt"), Encoded(Encoded({'x', 'y'})));
    EXPECT_EQ(testing::FileNames(encoded()), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(desktop.boxes.empty());
}

// A result is its owner's to replace whatever its source's permissions: a read-only file
// encoded twice replaces the first result without a word.
TEST_F(MainWindow, AReadOnlyFileIsEncodedTwice)
{
    const auto source = data / "ro.txt";
    testing::WriteBytes(source, {'r', 'o'});
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
#else
    std::filesystem::permissions(source, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
#endif
    ASSERT_FALSE(Get<platform::FileList>("FileListBox")->Refresh());
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        SelectFile("ro.txt");
        ClickAndFinish(Get("cmdencode"));
        EXPECT_EQ(testing::ReadBytes(encoded() / "ro.txt"), Encoded({'r', 'o'}));
        const auto permissions = std::filesystem::status(encoded() / "ro.txt").permissions();
        EXPECT_NE(permissions & std::filesystem::perms::owner_write, std::filesystem::perms::none);
    }
    EXPECT_TRUE(desktop.boxes.empty());
#ifdef _WIN32
    ::SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

// The output folders are the program's own: a link planted in one, or in place of one, is
// never written through. The error names it, and what the link points to stays as it was.
TEST_F(MainWindow, ALinkInAnOutputFolderIsRefusedAndItsTargetKept)
{
#ifdef _WIN32
    GTEST_SKIP() << "making symbolic links on Windows needs a privilege the tests do not have";
#else
    testing::WriteBytes(dir / "precious", {'k', 'e', 'p', 't'});
    std::filesystem::create_directories(dir / "elsewhere");
    const struct {
        const char* name;
        std::function<void()> plant;
        QString text;
    } cases[] = {
        {"a link in the folder",
         [&] {
             std::filesystem::create_directories(encoded());
             std::filesystem::create_symlink(dir / "precious", encoded() / "a.txt");
         },
         "Error: 40: Cannot write '" + Q(encoded() / "a.txt") + "': it is a symbolic link, not a file"},
        {"the folder a link",
         [&] {
             std::filesystem::remove_all(encoded());
             std::filesystem::create_directory_symlink(dir / "elsewhere", encoded());
         },
         "Error: 40: Cannot write into '" + Q(encoded()) + "': it is a symbolic link, not a folder"},
        {"the folder a link to nothing",
         [&] {
             std::filesystem::remove(encoded());
             std::filesystem::create_directory_symlink(dir / "absent", encoded());
         },
         "Error: 40: Cannot write into '" + Q(encoded()) + "': it is a symbolic link, not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.plant();
        SelectFile("a.txt");
        desktop.boxes.clear();
        ClickAndFinish(Get("cmdencode"));
        ASSERT_EQ(desktop.boxes.size(), 1u);
        EXPECT_EQ(desktop.boxes[0].text, c.text);
    }
    EXPECT_EQ(testing::ReadBytes(dir / "precious"), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "elsewhere"));
    EXPECT_FALSE(std::filesystem::exists(dir / "absent"));
    EXPECT_EQ(desktop.ended, 0);
#endif
}

TEST_F(MainWindow, TheFileListIsReadAgainAfterACommand)
{
    std::filesystem::create_directories(encoded());
    OpenFolder(encoded());
    testing::WriteBytes(encoded() / "b.txt", {1});  // appears only after a re-read
    auto* list = Get<platform::FileList>("FileListBox");
    EXPECT_EQ(list->ListCount(), 0);
    ClickAndFinish(Get("cmdencode"));  // nothing selected: fails, and the list stays as it was
    EXPECT_EQ(list->ListCount(), 0);
    ASSERT_FALSE(list->Refresh());
    SelectFile("b.txt");
    testing::WriteBytes(encoded() / "c.txt", {1});
    ClickAndFinish(Get("cmdencode"));
    EXPECT_EQ(list->ListCount(), 2);
    EXPECT_EQ(list->FileName(), "b.txt");
}

TEST_F(MainWindow, FailuresAreReportedAndCancelEndsTheProgram)
{
    const QString folderPath = Q(data) + QDir::separator();
    const struct {
        const char* name;
        std::function<void()> prepare;
        QString text;
        MsgAnswer answer;
    } cases[] = {
        {"nothing selected", [] {}, testing::ErrorText(testing::kFolderAsFile, testing::kFolderAsFileWhat, folderPath),
         MsgAnswer::Ok},
        {"file vanished", [&] {
             SelectFile("a.txt");
             std::filesystem::remove(data / "a.txt");
         },
         testing::ErrorText(testing::kNoSuchFile, "Cannot open", Q(data / "a.txt")), MsgAnswer::Cancel},
        {"a file where the folder should be", [&] {
             std::filesystem::remove_all(encoded());
             testing::WriteBytes(encoded(), {1});
             SelectFile("empty.bin");
         },
         testing::ErrorText(testing::kThroughAFile, testing::kThroughAFileWhat, Q(encoded() / "empty.bin")),
         MsgAnswer::Cancel},
    };
    // The rows run in order on one window: each starts from what the one before left.
    int ended = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        desktop.boxes.clear();
        desktop.answers = {c.answer};
        ClickAndFinish(Get("cmdencode"));
        ended += c.answer == MsgAnswer::Cancel;
        EXPECT_EQ(desktop.ended, ended);
        EXPECT_EQ(desktop.boxes.size(), 1u);
        if (desktop.boxes.empty()) continue;
        EXPECT_EQ(desktop.boxes[0].text, c.text);
        EXPECT_EQ(desktop.boxes[0].caption, "No Data");
        EXPECT_EQ(desktop.boxes[0].buttons, MsgButtons::OkCancel);
        EXPECT_EQ(desktop.boxes[0].icon, MsgIcon::Exclamation);
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(encoded()));
}

TEST_F(MainWindow, ADriveThatCannotBeReadIsRetriedOnOkAndLeftOnCancel)
{
    auto* drives = Get<platform::DriveList>("Drivelistbox");
    auto* folders = Get<platform::FolderList>("Dirlistbox");
    const auto stick = dir.path() / "stick";
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    drives->SetVolumes({{root, "disk"}, {Q(stick), "usb"}});

    // Cancel: the drive list goes back; the folder and file lists stay.
    desktop.answers = {MsgAnswer::Cancel};
    QTest::keyClick(drives, Qt::Key_Down);
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "Error: 2: Cannot open the folder '" + Q(stick) + "': No such file or directory");
    EXPECT_EQ(desktop.boxes[0].caption, "No Data");
    EXPECT_EQ(drives->Drive(), root);
    EXPECT_EQ(folders->Path(), Q(data));
    EXPECT_EQ(Get<platform::FileList>("FileListBox")->Path(), Q(data));
    EXPECT_EQ(desktop.ended, 0);

    // OK tries again; the medium arrives before the second try.
    desktop.boxes.clear();
    desktop.answers = {MsgAnswer::Ok};
    desktop.onMessage = [&](const auto&) { std::filesystem::create_directories(stick); };
    QTest::keyClick(drives, Qt::Key_Down);
    EXPECT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(drives->Drive(), Q(stick));
    EXPECT_EQ(folders->Path(), Q(stick));
    EXPECT_EQ(Get<platform::FileList>("FileListBox")->Path(), Q(stick));
}

TEST_F(MainWindow, ViewerButtonsOpenOneWindowEach)
{
    Click(Get("cmdviewencode"));
    Click(Get("cmdviewencode"));
    Click(Get("cmdviewdecoded"));
    Click(Get("cmdabout"));
    QWidgetList viewers;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName().startsWith("frmView")) viewers << w;
    }
    EXPECT_EQ(viewers.size(), 2);
    EXPECT_TRUE(platform::FindForm("frmAbout"));
}

TEST_F(MainWindow, ExitAndTheCloseBoxCloseTheViewersAndEndTheProgram)
{
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Exit");
        if (closeBox) {
            window = new frmMain;
            window->Show();
        }
        Click(Get("cmdviewencode"));
        Click(Get("cmdviewdecoded"));
        Click(Get("cmdabout"));
        const int endedBefore = desktop.ended;
        if (closeBox) {
            window->close();
        } else {
            Click(Get("cmdexit"));
        }
        EXPECT_EQ(platform::FindForm("frmViewEncoded"), nullptr);
        EXPECT_EQ(platform::FindForm("frmViewDecoded"), nullptr);
        EXPECT_EQ(platform::FindForm("frmMain"), nullptr);
        EXPECT_EQ(desktop.ended, endedBefore + 1);
        EXPECT_TRUE(desktop.boxes.empty());
        platform::UnloadForm("frmAbout");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

}  // namespace
}  // namespace corvane
