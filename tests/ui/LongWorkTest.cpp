// Long work in real windows: a large sparse file coded from the main window and watched in the
// progress window, cancelled by its button, Escape and its close box, the other windows deaf
// meanwhile, leaving the program in the middle of it, and files dropped from a file manager.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <fstream>

#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "support/Coded.h"
#include "support/MainWindowFixture.h"
#include "ui/button/ZelXpButton.h"
#include "ui/main/frmMain.h"
#include "ui/shared/CodingJob.h"
#include "ui/shared/ProgressWindow.h"
#include "ui/viewers/FolderViewer.h"

namespace corvane {
namespace {

using platform::MsgAnswer;
using testing::Bytes;
using testing::Child;
using testing::Q;

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// A sparse file of `size` bytes: `first` at its start, `last` at its end, zeros between.
void MakeSparse(const std::filesystem::path& path, std::uint64_t size, std::uint8_t first, std::uint8_t last)
{
    { std::ofstream out(path, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path, size);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.put(static_cast<char>(first));
    file.seekp(static_cast<std::streamoff>(size - 1));
    file.put(static_cast<char>(last));
}

std::uint8_t ByteAt(const std::filesystem::path& path, std::uint64_t offset)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    return static_cast<std::uint8_t>(in.get());
}

// A drop of `paths` as a file manager makes it (a text/uri-list), delivered to `window`'s
// window as the window system delivers it: enter, move, drop, at the window's centre. Returns
// whether the drop was taken.
bool Drop(QWidget* window, const std::vector<std::filesystem::path>& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const auto& path : paths) urls << QUrl::fromLocalFile(Q(path));
    mime.setUrls(urls);
    EXPECT_TRUE(mime.hasFormat("text/uri-list"));
    QWindow* target = window->windowHandle();
    const QPoint centre = window->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

class LongWork : public testing::MainWindowUi {
protected:
    platform::FileList* Files() { return Get<platform::FileList>("FileListBox"); }

    // A real click on `name` in the main window's file list.
    void SelectFile(const QString& name)
    {
        platform::FileList* list = Files();
        ASSERT_FALSE(list->Refresh());
        int row = -1;
        for (int i = 0; i < list->ListCount(); ++i) {
            if (list->List(i) == name) row = i;
        }
        ASSERT_GE(row, 0) << name.toStdString();
        ClickEntry(row);
    }

    // A click through the window system on entry `row` of the main window's file list.
    void ClickEntry(int row)
    {
        platform::FileList* list = Files();
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        testing::Click(list->viewport(), list->visualRect(index).center());
    }

    // Starts encoding `big.bin` (3 GiB, sparse) from the main window.
    void StartBigEncode()
    {
        MakeSparse(data / "big.bin", 3 * kGiB, 7, 9);
        SelectFile("big.bin");
        Click(Get("cmdencode"));
        ASSERT_TRUE(CodingJob::Running());
    }

    // The progress window, once it is on screen and active; null if it does not come.
    static ProgressWindow* AwaitProgress()
    {
        const bool shown = testing::WaitFor(
            [] { return CodingJob::Running() && CodingJob::Running()->Progress() && CodingJob::Running()->Progress()->isActiveWindow(); },
            30000);
        return shown ? CodingJob::Running()->Progress() : nullptr;
    }

    static QString Text(ProgressWindow* progress, const char* label)
    {
        return Child<platform::Label>(progress, label)->Caption();
    }
};

// Every way of cancelling ends the work at once and leaves the destination as it was: absent,
// or with its earlier content. A cancel is no failure: no message box.
TEST_F(LongWork, CancelByButtonEscapeOrCloseBoxLeavesNothingBehind)
{
    const struct {
        const char* name;
        std::function<void(ProgressWindow*)> cancel;
        bool earlierContent;
    } cases[] = {
        {"Cancel button", [](ProgressWindow* p) { testing::Click(Child(p, "cmdcancel"), Child(p, "cmdcancel")->rect().center()); }, false},
        {"Escape", [](ProgressWindow* p) { QTest::keyClick(p->windowHandle(), Qt::Key_Escape); }, true},
        {"close box", [](ProgressWindow* p) { p->close(); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(encoded());
        if (c.earlierContent) {
            std::filesystem::create_directories(encoded());
            testing::WriteBytes(encoded() / "big.bin", {1, 2, 3});
        }
        StartBigEncode();
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
        ProgressWindow* progress = AwaitProgress();
        ASSERT_TRUE(progress);
        EXPECT_EQ(progress->windowTitle(), "Encoding big.bin");
        EXPECT_EQ(Text(progress, "lblfile"), "");  // one file: no count
        EXPECT_TRUE(Text(progress, "lblbytes").endsWith(" of 3.2 GB")) << Text(progress, "lblbytes").toStdString();
        EXPECT_TRUE(window->frameGeometry().contains(progress->frameGeometry().center()));

        c.cancel(progress);
        ASSERT_TRUE(WorkEnded());
        EXPECT_EQ(testing::FileNames(encoded()),
                  c.earlierContent ? std::vector<std::string>{"big.bin"} : std::vector<std::string>{});
        if (c.earlierContent) {
            EXPECT_EQ(testing::ReadBytes(encoded() / "big.bin"), (Bytes{1, 2, 3}));
        }
        EXPECT_TRUE(desktop.boxes.empty());
        EXPECT_EQ(desktop.ended, 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(progress->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(platform::FindForm(ProgressWindow::kName), nullptr);
    }
}

// The running value carries across every chunk: a leading 5 makes every encoded byte 5 up to
// the trailing 1; decoding gives the file back. Smaller than the cancelled file, for this one
// is written in full, twice.
TEST_F(LongWork, ACompletedRunCodesTheWholeFileBothWays)
{
    const std::uint64_t size = kGiB / 4 + 12345;
    MakeSparse(data / "big.bin", size, 5, 1);
    SelectFile("big.bin");
    ClickAndFinish(Get("cmdencode"));
    ASSERT_EQ(std::filesystem::file_size(encoded() / "big.bin"), size);
    for (const std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{1} << 20, size / 2, size - 2}) {
        EXPECT_EQ(ByteAt(encoded() / "big.bin", offset), 5) << offset;
    }
    EXPECT_EQ(ByteAt(encoded() / "big.bin", size - 1), 6);

    ASSERT_FALSE(Get<platform::FolderList>("Dirlistbox")->SetPath(Q(encoded())));
    SelectFile("big.bin");
    ClickAndFinish(Get("cmddecode"));
    ASSERT_EQ(std::filesystem::file_size(decoded() / "big.bin"), size);
    for (const std::uint64_t offset : {std::uint64_t{1}, size / 2, size - 2}) {
        EXPECT_EQ(ByteAt(decoded() / "big.bin", offset), 0) << offset;
    }
    EXPECT_EQ(ByteAt(decoded() / "big.bin", 0), 5);
    EXPECT_EQ(ByteAt(decoded() / "big.bin", size - 1), 1);
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(platform::FindForm(ProgressWindow::kName), nullptr);
}

// Clicks, keys and drops meant to select another file, start a second job or open a window do
// nothing while the work runs, before the progress window appears and after.
TEST_F(LongWork, TheMainWindowRefusesInputWhileBusy)
{
    StartBigEncode();
    CodingJob* job = CodingJob::Running();
    const QString selected = Files()->FileName();
    const auto tryInput = [&] {
        ClickEntry(0);  // a.txt
        QTest::keyClick(window->windowHandle(), Qt::Key_Up);
        Click(Get("cmdencode"));
        testing::Click(Get("cmdviewencode"), Get("cmdviewencode")->rect().center());
        EXPECT_FALSE(Drop(window, {data / "a.txt"}));
        EXPECT_EQ(Files()->FileName(), selected);
        EXPECT_EQ(CodingJob::Running(), job);
        EXPECT_EQ(platform::FindForm("frmViewEncoded"), nullptr);
    };
    {
        SCOPED_TRACE("before the progress window");
        ASSERT_EQ(CodingJob::Running()->Progress(), nullptr);
        tryInput();
    }
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    {
        SCOPED_TRACE("with the progress window");
        tryInput();
    }
    QTest::keyClick(progress->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(WorkEnded());
    // Input reaches the window again.
    ClickEntry(0);
    EXPECT_EQ(Files()->FileName(), "a.txt");
}

// Exit or the close box in the middle of the work cancels it, waits for it, then ends the
// program: nothing is left behind.
TEST_F(LongWork, LeavingDuringTheWorkCancelsItThenEnds)
{
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Exit");
        if (closeBox) {
            window = new frmMain;
            window->Show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        }
        StartBigEncode();
        ASSERT_TRUE(AwaitProgress());
        const int endedBefore = desktop.ended;
        if (closeBox) {
            window->close();
        } else {
            testing::Click(Get("cmdexit"), Get("cmdexit")->rect().center());
        }
        EXPECT_EQ(CodingJob::Running(), nullptr);
        EXPECT_EQ(desktop.ended, endedBefore + 1);
        EXPECT_EQ(platform::FindForm("frmMain"), nullptr);
        EXPECT_TRUE(testing::FileNames(encoded()).empty());
        EXPECT_TRUE(desktop.boxes.empty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class Drops : public LongWork {
protected:
    FolderViewer* Open(FolderViewer::Kind kind)
    {
        FolderViewer* viewer = kind == FolderViewer::Kind::Encoded ? FolderViewer::ShowEncoded() : FolderViewer::ShowDecoded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(viewer));
        return viewer;
    }

    static QStringList Entries(FolderViewer* viewer)
    {
        auto* list = Child<platform::FileList>(viewer, "File1");
        QStringList names;
        for (int i = 0; i < list->ListCount(); ++i) names << list->List(i);
        return names;
    }

    // Drops `paths` onto `viewer` and waits for the batch it starts to end.
    void DropAndFinish(FolderViewer* viewer, const std::vector<std::filesystem::path>& paths)
    {
        ASSERT_TRUE(Drop(viewer, paths));
        // The batch starts once the drop's own events are over.
        QCoreApplication::processEvents();
        ASSERT_TRUE(WorkEnded());
    }
};

// Onto Encoded File(s) files are encoded into it; onto Decoded File(s), decoded into it. A
// folder among them is refused with its own report, and OK goes on with the files.
TEST_F(Drops, OntoAViewerCodeTheFilesIntoItsFolder)
{
    testing::WriteBytes(data / "x.txt", {'x', 'y'});
    testing::WriteBytes(data / "y.txt", {1, 2, 3});
    std::filesystem::create_directories(data / "sub");
    const struct {
        FolderViewer::Kind kind;
        std::filesystem::path folder;
        std::function<Bytes(Bytes)> expected;
    } cases[] = {
        {FolderViewer::Kind::Encoded, encoded(), [](Bytes b) { return testing::Encoded(b); }},
        {FolderViewer::Kind::Decoded, decoded(), [](Bytes b) { DecodeBytes(b); return b; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Q(c.folder).toStdString());
        desktop.boxes.clear();
        FolderViewer* viewer = Open(c.kind);
        DropAndFinish(viewer, {data / "x.txt", data / "sub", data / "y.txt"});
        EXPECT_EQ(testing::ReadBytes(c.folder / "x.txt"), c.expected({'x', 'y'}));
        EXPECT_EQ(testing::ReadBytes(c.folder / "y.txt"), c.expected({1, 2, 3}));
        EXPECT_EQ(Entries(viewer), (QStringList{"x.txt", "y.txt"}));
        ASSERT_EQ(desktop.boxes.size(), 1u);
        EXPECT_EQ(desktop.boxes[0].text,
                  "Error: 21: Cannot code '" + Q(data / "sub") + "': Is a directory; drop files, not folders");
        EXPECT_EQ(desktop.boxes[0].caption, "No Data");
        EXPECT_EQ(desktop.ended, 0);
    }
}

// A file that fails is reported; OK goes on with the next, Cancel stops the batch there and
// keeps what was coded before. Cancel on a refused folder drops the whole drop.
TEST_F(Drops, AFailureGoesOnOrStopsAsAnswered)
{
    testing::WriteBytes(data / "x.txt", {1});
    testing::WriteBytes(data / "z.txt", {2});
#ifdef _WIN32
    // Wine makes no symbolic links: the failing file is one that went before the drop landed.
#else
    std::filesystem::create_symlink(data / "nowhere", data / "broken");
#endif
    std::filesystem::create_directories(data / "sub");
    const struct {
        const char* name;
        std::vector<std::filesystem::path> dropped;
        MsgAnswer answer;
        std::vector<std::string> landed;
    } cases[] = {
        {"OK goes on", {data / "x.txt", data / "broken", data / "z.txt"}, MsgAnswer::Ok, {"x.txt", "z.txt"}},
        {"Cancel stops", {data / "x.txt", data / "broken", data / "z.txt"}, MsgAnswer::Cancel, {"x.txt"}},
        {"Cancel on a folder", {data / "sub", data / "x.txt"}, MsgAnswer::Cancel, {}},
    };
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(encoded());
        desktop.boxes.clear();
        desktop.answers = {c.answer};
        DropAndFinish(viewer, c.dropped);
        EXPECT_EQ(desktop.boxes.size(), 1u);
        EXPECT_EQ(desktop.ended, 0);  // a drop is no command: Cancel never ends the program
        const std::vector<std::string> names =
            std::filesystem::exists(encoded()) ? testing::FileNames(encoded()) : std::vector<std::string>{};
        EXPECT_EQ(names, c.landed);
    }
}

// One progress window follows the batch; cancelling it keeps the files coded before.
TEST_F(Drops, OneProgressWindowForTheBatchAndCancelKeepsWhatLanded)
{
    testing::WriteBytes(data / "small.txt", {4, 5});
    MakeSparse(data / "big.bin", 3 * kGiB, 7, 9);
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    ASSERT_TRUE(Drop(viewer, {data / "small.txt", data / "big.bin"}));
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->windowTitle(), "Encoding big.bin");
    EXPECT_EQ(Text(progress, "lblfile"), "File 2 of 2");
    EXPECT_TRUE(viewer->frameGeometry().contains(progress->frameGeometry().center()));
    EXPECT_EQ(Entries(viewer), QStringList{"small.txt"});  // listed as soon as it landed

    testing::Click(Child(progress, "cmdcancel"), Child(progress, "cmdcancel")->rect().center());
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(testing::FileNames(encoded()), std::vector<std::string>{"small.txt"});
    EXPECT_EQ(Entries(viewer), QStringList{"small.txt"});
    EXPECT_TRUE(desktop.boxes.empty());
}

// A viewer closed while its files are coded: the work goes on without it, and ends cleanly.
TEST_F(Drops, AViewerClosedDuringItsBatch)
{
    MakeSparse(data / "big.bin", 3 * kGiB, 7, 9);
    FolderViewer* viewer = Open(FolderViewer::Kind::Decoded);
    ASSERT_TRUE(Drop(viewer, {data / "big.bin"}));
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->windowTitle(), "Decoding big.bin");
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(platform::FindForm("frmViewDecoded"), nullptr);
    ASSERT_TRUE(testing::WaitFor([progress] { return progress->isActiveWindow(); }));
    QTest::keyClick(progress->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(WorkEnded());
    EXPECT_TRUE(testing::FileNames(decoded()).empty());
    EXPECT_TRUE(desktop.boxes.empty());
}

// One file dropped onto the main window is shown as if browsed to; a folder is refused.
TEST_F(Drops, OntoTheMainWindowShowTheFile)
{
    const auto elsewhere = dir.path() / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    testing::WriteBytes(elsewhere / "z.txt", {1, 2, 3, 4});
    ASSERT_TRUE(Drop(window, {elsewhere / "z.txt"}));
    EXPECT_EQ(Get<platform::FolderList>("Dirlistbox")->Path(), Q(elsewhere));
    EXPECT_EQ(Files()->FileName(), "z.txt");
    EXPECT_EQ(Get<platform::Label>("filename")->Caption(), "z.txt");
    EXPECT_EQ(Get<platform::Label>("size")->Caption(), "4");
    EXPECT_TRUE(desktop.boxes.empty());

    ASSERT_TRUE(Drop(window, {data}));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "Error: 21: Cannot code '" + Q(data) + "': Is a directory; drop files, not folders");
    EXPECT_EQ(Get<platform::FolderList>("Dirlistbox")->Path(), Q(elsewhere));
    EXPECT_EQ(desktop.ended, 0);
}

// The transform's named temporary files are never listed; other hidden files are.
TEST_F(Drops, TheViewersLeaveTemporaryFilesOut)
{
    std::filesystem::create_directories(encoded());
    for (const char* name : {".cv0123abcd", ".cv0123abcX", ".hidden", "b.bin"}) testing::WriteBytes(encoded() / name, {1});
    EXPECT_EQ(Entries(Open(FolderViewer::Kind::Encoded)), (QStringList{".cv0123abcX", ".hidden", "b.bin"}));
}

}  // namespace
}  // namespace corvane
