// The drive, folder and file lists on a real temporary folder tree, driven by real input.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <functional>

#include "platform/DriveList.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "support/TempDir.h"

namespace corvane::platform {
namespace {

QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

class Lists : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"b.txt", "A.txt", ".hidden", "c"}) testing::WriteBytes(dir / name, {1});
        std::filesystem::create_directories(dir / "sub" / "Zeta");
        std::filesystem::create_directories(dir / "sub" / "alpha");
        std::filesystem::create_directories(dir / "sub" / ".dot");
        testing::WriteBytes(dir / "sub" / "inner.bin", {2});
    }

    testing::TempDir dir;
};

QStringList Entries(const FileList& list)
{
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i) names << list.List(i);
    return names;
}

TEST_F(Lists, FileListShowsFilesOnlySortedWithHiddenOnes)
{
    FileList list;
    ASSERT_FALSE(list.SetPath(Q(dir.path())));
    EXPECT_EQ(Entries(list), (QStringList{".hidden", "A.txt", "b.txt", "c"}));
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.FileName(), "");
    EXPECT_EQ(list.List(-1), "");
    EXPECT_EQ(list.Path(), Q(dir.path()));
}

TEST_F(Lists, FileListClicksOnEveryChangeOfSelectionByMouseAndKeyboard)
{
    FileList list;
    ASSERT_FALSE(list.SetPath(Q(dir.path())));
    list.resize(200, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy clicks(&list, &FileList::Click);

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(list.model()->index(1, 0)).center());
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(list.ListIndex(), 1);
    EXPECT_EQ(list.FileName(), "A.txt");

    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(list.FileName(), "b.txt");
}

TEST_F(Lists, FileListRefreshKeepsTheSelectionAndAnUnreadableFolderChangesNothing)
{
    FileList list;
    ASSERT_FALSE(list.SetPath(Q(dir.path())));
    list.SetListIndex(2);
    QSignalSpy clicks(&list, &FileList::Click);

    testing::WriteBytes(dir / "0-new", {3});
    EXPECT_FALSE(list.Refresh());
    EXPECT_EQ(Entries(list), (QStringList{".hidden", "0-new", "A.txt", "b.txt", "c"}));
    EXPECT_EQ(list.FileName(), "b.txt");
    EXPECT_EQ(clicks.count(), 0);

    const auto missing = Q(dir / "missing");
    const auto error = list.SetPath(missing);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, ENOENT);
    EXPECT_EQ(error->description, "Cannot open the folder '" + missing.toStdString() + "': No such file or directory");
    EXPECT_EQ(list.Path(), Q(dir.path()));
    EXPECT_EQ(list.ListCount(), 5);

    EXPECT_TRUE(list.SetPath(Q(dir / "c")));  // a file, not a folder
    EXPECT_EQ(list.ListCount(), 5);
}

QStringList Texts(const QListWidget& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
    return texts;
}

TEST_F(Lists, FolderListShowsTheChainThenTheSubfolders)
{
    FolderList list;
    QSignalSpy changes(&list, &FolderList::Change);
    ASSERT_FALSE(list.SetPath(Q(dir / "sub")));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(list.Path(), Q(dir / "sub"));

    QStringList expected{QDir::toNativeSeparators(QDir::rootPath())};
    for (const auto& part : dir.path().relative_path()) expected << Q(part);
    expected << "sub" << ".dot" << "alpha" << "Zeta";
    EXPECT_EQ(Texts(list), expected);
    EXPECT_EQ(list.currentItem()->text(), "sub");

    // The same folder again does not count as a change.
    ASSERT_FALSE(list.SetPath(Q(dir / "sub")));
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(Lists, FolderListOpensEntriesByDoubleClickAndEnter)
{
    FolderList list;
    ASSERT_FALSE(list.SetPath(Q(dir / "sub")));
    list.resize(300, 600);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy changes(&list, &FolderList::Change);

    const int alpha = static_cast<int>(Texts(list).indexOf("alpha"));
    const QPoint at = list.visualItemRect(list.item(alpha)).center();
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(list.Path(), Q(dir / "sub" / "alpha"));
    EXPECT_EQ(changes.count(), 1);

    // Enter on the chain's entry above opens the parent again.
    list.setCurrentRow(list.count() - 2);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Path(), Q(dir / "sub"));
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(Lists, FolderListRefusesAnUnreadablePathAndStaysPut)
{
    FolderList list;
    ASSERT_FALSE(list.SetPath(Q(dir.path())));
    const QStringList before = Texts(list);
    QSignalSpy changes(&list, &FolderList::Change);

    const auto missing = Q(dir / "gone");
    const auto error = list.SetPath(missing);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, ENOENT);
    EXPECT_EQ(error->description, "Cannot open the folder '" + missing.toStdString() + "': No such file or directory");
    EXPECT_EQ(list.Path(), Q(dir.path()));
    EXPECT_EQ(Texts(list), before);
    EXPECT_EQ(changes.count(), 0);

    // A folder that vanishes after listing: opening it reports through OpenFailed.
    std::filesystem::remove_all(dir / "sub");
    QSignalSpy failures(&list, &FolderList::OpenFailed);
    list.setCurrentRow(static_cast<int>(before.indexOf("sub")));
    QTest::keyClick(&list, Qt::Key_Enter);
    ASSERT_EQ(failures.count(), 1);
    const auto failure = failures.at(0).at(0).value<Error>();
    EXPECT_EQ(failure.number, ENOENT);
    EXPECT_EQ(failure.description, "Cannot open the folder '" + Q(dir / "sub").toStdString() + "': No such file or directory");
    EXPECT_EQ(list.Path(), Q(dir.path()));
}

// A list in a window of its own beside a line edit, so that the focus can move away from it.
struct ListWindow {
    explicit ListWindow(QAbstractItemView* list)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(list);
        layout->addWidget(other);
        window.resize(300, 400);
        window.show();
        window.activateWindow();
    }
    // Gives `widget` the keyboard focus and waits until it has it.
    static bool Focus(QWidget* widget)
    {
        widget->setFocus(Qt::TabFocusReason);
        return QTest::qWaitFor([widget] { return widget->hasFocus(); });
    }

    QWidget window;
    QLineEdit* other = new QLineEdit(&window);
};

TEST_F(Lists, TheFirstKeyInAListWithNothingSelectedSelectsAsExpected)
{
    std::filesystem::create_directories(dir / "one");
    testing::WriteBytes(dir / "one" / "only", {1});
    const struct {
        const char* folder;
        Qt::Key key;
        const char* selected;
    } cases[] = {
        {"", Qt::Key_Down, ".hidden"}, {"", Qt::Key_Up, ".hidden"},  {"", Qt::Key_Home, ".hidden"},
        {"", Qt::Key_End, "c"},        {"", Qt::Key_PageDown, ".hidden"}, {"one", Qt::Key_Down, "only"},
        {"one", Qt::Key_Home, "only"}, {"one", Qt::Key_End, "only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " " + QTest::toString(c.key));
        auto* list = new FileList;
        ListWindow window(list);
        ASSERT_FALSE(list->SetPath(Q(dir / c.folder)));
        ASSERT_TRUE(ListWindow::Focus(list));
        QSignalSpy clicks(list, &FileList::Click);
        QTest::keyClick(list, c.key);
        EXPECT_EQ(list->FileName(), c.selected);
        EXPECT_EQ(clicks.count(), 1);
        // From there on the keys move the selection as usual.
        if (list->ListCount() > 1 && c.key != Qt::Key_End) {
            QTest::keyClick(list, Qt::Key_Down);
            EXPECT_EQ(list->FileName(), "A.txt");
        }
    }

    // The folder list too: with its selection cleared, Down selects the focused entry again.
    auto* folders = new FolderList;
    ListWindow window(folders);
    ASSERT_FALSE(folders->SetPath(Q(dir / "sub")));
    ASSERT_TRUE(ListWindow::Focus(folders));
    const int current = folders->currentRow();
    folders->clearSelection();
    QTest::keyClick(folders, Qt::Key_Down);
    ASSERT_EQ(folders->selectedItems().size(), 1);
    EXPECT_EQ(folders->row(folders->selectedItems().first()), current);
}

// How many pixels of the top edge of `row`'s entry have `colour`.
int EdgePixels(QAbstractItemView* list, int row, const QColor& colour)
{
    const QImage image = list->viewport()->grab().toImage();
    const QRect entry = list->visualRect(list->model()->index(row, 0));
    int count = 0;
    for (int x = entry.left(); x <= entry.right(); ++x) count += image.pixelColor(x, entry.top()) == colour;
    return count;
}

TEST_F(Lists, TheFocusedEntryShowsWhileTheListHasTheFocus)
{
    const struct {
        const char* name;
        std::function<QAbstractItemView*()> make;
        QPalette::ColorRole frame;  // on an entry that is selected, or not
    } cases[] = {
        {"file list, nothing selected",
         [this]() -> QAbstractItemView* {
             auto* list = new FileList;
             static_cast<void>(list->SetPath(Q(dir.path())));
             return list;
         },
         QPalette::Highlight},
        {"folder list, the current folder selected",
         [this]() -> QAbstractItemView* {
             auto* list = new FolderList;
             static_cast<void>(list->SetPath(Q(dir.path())));
             return list;
         },
         QPalette::HighlightedText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QAbstractItemView* list = c.make();
        ListWindow window(list);
        ASSERT_TRUE(ListWindow::Focus(list));
        const int row = list->currentIndex().isValid() ? list->currentIndex().row() : 0;
        const QColor colour = list->palette().color(QPalette::Active, c.frame);
        const int width = list->visualRect(list->model()->index(row, 0)).width();
        EXPECT_EQ(EdgePixels(list, row, colour), width);
        ASSERT_TRUE(ListWindow::Focus(window.other));
        EXPECT_LT(EdgePixels(list, row, colour), width / 2);
    }
}

// The folder list's open folder is always selected: taking the focus must change how it looks
// plainly, not by a frame of one pixel inside a row already highlighted.
TEST_F(Lists, TheFolderListTakingTheFocusShowsPlainly)
{
    auto* folders = new FolderList;
    ASSERT_FALSE(folders->SetPath(Q(dir.path())));
    ListWindow window(folders);
    const QRect entry = folders->visualRect(folders->currentIndex());
    ASSERT_TRUE(ListWindow::Focus(window.other));
    const QImage without = folders->viewport()->grab().toImage().copy(entry);
    ASSERT_TRUE(ListWindow::Focus(folders));
    const QImage with = folders->viewport()->grab().toImage().copy(entry);
    ASSERT_EQ(with.size(), without.size());
    // Pixels whose colour changes so that an eye sees it, not by a shade or two.
    const auto seen = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 60;
    };
    int changed = 0;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) changed += seen(with.pixel(x, y), without.pixel(x, y));
    }
    // Most of the entry changes: its background, not only its edge.
    EXPECT_GT(changed, with.width() * with.height() / 2) << changed << " of " << with.width() * with.height();
}

TEST_F(Lists, DriveListPutsTheRootFirstAndFindsTheDriveOfAPath)
{
    const auto volumes = DriveList::SystemVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.front().root, QDir::toNativeSeparators(QDir::rootPath()));
#ifdef _WIN32
    GTEST_SKIP() << "on Windows a drive is a letter, not a folder mounted anywhere: the rest is POSIX's";
#endif

    std::filesystem::create_directories(dir / "stick" / "photos");
    const QString stick = Q(dir / "stick");
    DriveList drives;
    drives.SetVolumes({{QDir::rootPath(), "disk"}, {stick, "usb"}});
    QSignalSpy changes(&drives, &DriveList::Change);

    drives.SetDrive(stick + "/photos");
    EXPECT_EQ(drives.Drive(), stick);
    EXPECT_EQ(drives.currentText(), stick + " [usb]");
    EXPECT_EQ(changes.count(), 1);
    drives.SetDrive(stick);  // already chosen: no change
    EXPECT_EQ(changes.count(), 1);

    EXPECT_EQ(drives.DriveOf(Q(dir / "stickier")), QDir::rootPath());
    EXPECT_EQ(drives.FolderFor(stick, stick + "/photos"), stick + "/photos");
    EXPECT_EQ(drives.FolderFor(QDir::rootPath(), stick + "/photos"), QDir::rootPath());

    QTest::keyClick(&drives, Qt::Key_Up);  // the user picks the other drive
    EXPECT_EQ(drives.Drive(), QDir::rootPath());
    EXPECT_EQ(changes.count(), 2);
}

}  // namespace
}  // namespace corvane::platform
