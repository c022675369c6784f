// Long work in real windows: work held by the test and watched in the progress window,
// cancelled by its button, Escape and its close box, the other windows deaf meanwhile, leaving
// the program in the middle of it, files dropped from a file manager, and one real large file
// coded both ways.
#include <QAccessible>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>

#include "codec/OsFile.h"
#include "platform/Accessibility.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "support/Coded.h"
#include "support/HeldWork.h"
#include "support/MainWindowFixture.h"
#include "ui/button/ZelXpButton.h"
#include "ui/main/frmMain.h"
#include "ui/shared/Jobs.h"
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

    // Starts encoding `held.bin` from the main window, coded as `held` holds it.
    void StartHeldEncode(const testing::HeldWork& held)
    {
        testing::WriteBytes(data / "held.bin", {7, 8, 9});
        SelectFile("held.bin");
        Click(Get("cmdencode"));
        ASSERT_TRUE(Jobs::Running());
        ASSERT_TRUE(testing::WaitFor([&] { return held.Holding(); }));
    }

    // The progress window, once it is on screen and active; null if it does not come.
    static ProgressWindow* AwaitProgress()
    {
        const bool shown = testing::WaitFor(
            [] { return Jobs::Running() && Jobs::Running()->Progress() && Jobs::Running()->Progress()->isActiveWindow(); },
            30000);
        return shown ? Jobs::Running()->Progress() : nullptr;
    }

    static QString Text(ProgressWindow* progress, const char* label)
    {
        return Child<platform::Label>(progress, label)->Caption();
    }

    static constexpr std::uint64_t kHeldTotal = 3'221'225'472;  // 3 GiB
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
            testing::WriteBytes(encoded() / "held.bin", {1, 2, 3});
        }
        testing::HeldWork held("held.bin", kHeldTotal);
        StartHeldEncode(held);
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
        const QPointer<ProgressWindow> progress = AwaitProgress();
        ASSERT_TRUE(progress);
        EXPECT_EQ(progress->windowTitle(), "Encoding held.bin");
        EXPECT_EQ(Text(progress, "lblfile"), "Into Encoded File(s)");  // one file: no count
        EXPECT_TRUE(Text(progress, "lblbytes").endsWith(" of 3.00 GiB")) << Text(progress, "lblbytes").toStdString();
        EXPECT_TRUE(window->frameGeometry().contains(progress->frameGeometry().center()));

        c.cancel(progress);
        ASSERT_TRUE(WorkEnded());
        EXPECT_EQ(testing::FileNames(encoded()),
                  c.earlierContent ? std::vector<std::string>{"held.bin"} : std::vector<std::string>{});
        if (c.earlierContent) {
            EXPECT_EQ(testing::ReadBytes(encoded() / "held.bin"), (Bytes{1, 2, 3}));
        }
        EXPECT_TRUE(desktop.boxes.empty());
        EXPECT_EQ(desktop.ended, 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(progress.isNull());
        EXPECT_EQ(ProgressWindow::kWindow.Find(), nullptr);
    }
}

// A click on the main window while it works (which a window manager answers by activating the
// window) leaves the progress window in front and active: Escape pressed next reaches it and
// cancels, and the earlier result stays.
TEST_F(LongWork, AClickOnTheMainWindowLeavesTheProgressWindowInFront)
{
    std::filesystem::create_directories(encoded());
    testing::WriteBytes(encoded() / "held.bin", {1, 2, 3});
    testing::HeldWork held("held.bin", kHeldTotal);
    StartHeldEncode(held);
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    for (const char* target : {"FileListBox", "cmddecode"}) {
        SCOPED_TRACE(target);
        testing::Click(Get(target), Get(target)->rect().center());
        window->activateWindow();
        EXPECT_TRUE(testing::WaitFor([&] { return progress->isActiveWindow(); }));
    }
    ASSERT_TRUE(QGuiApplication::focusWindow());
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(testing::ReadBytes(encoded() / "held.bin"), (Bytes{1, 2, 3}));
    EXPECT_TRUE(desktop.boxes.empty());
}

// The running value carries across every chunk: a leading 5 makes every encoded byte 5 up to
// the trailing 1; decoding gives the file back. A real file of a quarter GiB, coded by the
// real transform on the job's thread, both ways.
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
    EXPECT_EQ(ProgressWindow::kWindow.Find(), nullptr);
}

// Clicks, keys, drops and a screen reader's actions meant to select another file, start a
// second job, open a window or move the lists do nothing while the work runs, before the
// progress window appears and after; screen readers hear the controls as disabled.
TEST_F(LongWork, TheMainWindowRefusesEveryInputWhileBusy)
{
    std::filesystem::create_directories(data / "inner");
    testing::HeldWork held("held.bin", kHeldTotal);
    StartHeldEncode(held);
    CodingJob* job = Jobs::Running();
    const QString selected = Files()->FileName();
    auto* folders = Get<platform::FolderList>("Dirlistbox");
    const QString folder = folders->Path();
    const auto tryInput = [&] {
        ClickEntry(0);  // a.txt
        QTest::keyClick(window->windowHandle(), Qt::Key_Up);
        Click(Get("cmdencode"));
        testing::Click(Get("cmdviewencode"), Get("cmdviewencode")->rect().center());
        testing::Click(Get("cmdexit"), Get("cmdexit")->rect().center());
        EXPECT_FALSE(Drop(window, {data / "a.txt"}));
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(Get("cmdviewencode"));
        EXPECT_TRUE(view->state().disabled);
        view->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(folders);
        EXPECT_TRUE(tree->state().disabled);
        for (int row = 0; row < tree->childCount(); ++row) {
            if (tree->child(row)->text(QAccessible::Name) == "inner") tree->child(row)->actionInterface()->doAction(platform::kOpenAction);
        }
        QCoreApplication::processEvents();  // the posted actions, had they been taken
        EXPECT_EQ(Files()->FileName(), selected);
        EXPECT_EQ(folders->Path(), folder);
        EXPECT_EQ(Jobs::Running(), job);
        EXPECT_EQ(platform::FindForm("frmViewEncoded"), nullptr);
        EXPECT_EQ(desktop.ended, 0);
        EXPECT_EQ(Get<ZelXpButton>("cmdexit")->Look(), ButtonLook::Disabled);
    };
    {
        SCOPED_TRACE("before the progress window");
        ASSERT_EQ(Jobs::Running()->Progress(), nullptr);
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
    // Input reaches the window again, and screen readers hear it.
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(Get("cmdviewencode"))->state().disabled);
    EXPECT_NE(Get<ZelXpButton>("cmdexit")->Look(), ButtonLook::Disabled);
    ClickEntry(0);
    EXPECT_EQ(Files()->FileName(), "a.txt");
}

// A failure that nobody asked for is reported even when its number is the one a cancel leaves
// (a file system may return any number): a cancel is known by the job's own flag.
// A read that does not return until the test lets it, as on a file system that never answers:
// the transform's reading thread waits in its hook before each chunk.
struct ReadThatHangs {
    static inline std::mutex mutex;
    static inline std::condition_variable wake;
    static inline bool released = false;
    static inline std::atomic<int> waiting{0};

    static void Hook(std::uint64_t)
    {
        ++waiting;
        std::unique_lock lock(mutex);
        wake.wait(lock, [] { return released; });
        --waiting;
    }
    static void Release()
    {
        const std::lock_guard lock(mutex);
        released = true;
        wake.notify_all();
    }
};

// Cancel gives the windows back at once even when the work never looks at its cancel: the read is
// abandoned, and when it returns at last its file never takes the destination's place.
TEST_F(LongWork, CancelGivesTheWindowsBackFromAReadThatNeverReturns)
{
    testing::WriteBytes(data / "stuck.bin", {1, 2, 3});
    std::atomic<bool> transformReturned{false};
    const testing::UsedTransform noting(
        JobTransform::OneByOne([&transformReturned](const CodingJob::File& file, TransformControl& control) {
            auto error = JobTransform::CodeFile(file, control);
            transformReturned = true;
            return error;
        }));
    ReadThatHangs::released = false;
    detail::Faults().beforeRead = ReadThatHangs::Hook;
    struct Restore {
        ~Restore()
        {
            ReadThatHangs::Release();
            detail::Faults().beforeRead = nullptr;
        }
    } restore;

    SelectFile("stuck.bin");
    Click(Get("cmdencode"));
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    ASSERT_TRUE(testing::WaitFor([] { return ReadThatHangs::waiting > 0; }));
    testing::Click(Child(progress, "cmdcancel"), Child(progress, "cmdcancel")->rect().center());
    ASSERT_TRUE(testing::WaitFor([] { return !Jobs::Running(); }, 5000)) << "the windows stay held";
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(ProgressWindow::kWindow.Find(), nullptr);
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_GT(ReadThatHangs::waiting, 0);  // the read still hangs: the windows did not wait for it

    ReadThatHangs::Release();
    ASSERT_TRUE(testing::WaitFor([&] { return transformReturned.load(); }, 30000));
    QCoreApplication::processEvents();  // its late outcome, which goes nowhere
    const std::vector<std::string> left =
        std::filesystem::exists(encoded()) ? testing::FileNames(encoded()) : std::vector<std::string>{};
    EXPECT_EQ(left, std::vector<std::string>{});
}

TEST_F(LongWork, AFailureNumberedLikeACancelIsStillReported)
{
    const Error failure{kErrorCancelled, "Cannot read 'a.txt': Operation canceled"};
    const testing::UsedTransform failing(
        JobTransform::OneByOne([&](const CodingJob::File&, TransformControl&) { return std::optional<Error>(failure); }));
    SelectFile("a.txt");
    ClickAndFinish(Get("cmdencode"));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, QString::fromStdString(ErrorLine(failure)));
}

// The bar follows the work and says so to screen readers; once every byte is coded, the window
// says that the file is being written to disk instead of a time left.
TEST_F(LongWork, TheProgressBarMovesAndTheFinalFlushIsShown)
{
    testing::HeldWork held("held.bin", 2048);
    StartHeldEncode(held);
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    auto* bar = Child<QProgressBar>(progress, "barprogress");
    QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(bar)->valueInterface();
    ASSERT_TRUE(value);
    for (const auto& [done, percent] : {std::pair{1024, 50}, std::pair{1536, 75}}) {
        held.Report(done);
        EXPECT_TRUE(testing::WaitFor([&] { return value->currentValue().toInt() == percent; })) << done;
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(bar)->role(), QAccessible::ProgressBar);
    EXPECT_NE(Text(progress, "lblleft"), "Writing to disk");
    held.Report(2048);
    EXPECT_TRUE(testing::WaitFor([&] { return Text(progress, "lblleft") == "Writing to disk"; }));
    EXPECT_TRUE(progress->Writing());
    EXPECT_EQ(Text(progress, "lblbytes"), "2.00 KiB of 2.00 KiB");
    held.Release();
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(testing::ReadBytes(encoded() / "held.bin"), testing::Encoded({7, 8, 9}));
}

// The window's figures are those of the work since it began, never a wild one: none while the
// work has run for less than a second (1.5 GiB done at once would read as many GiB/s), and a
// work that stalls shows no speed and no time left, rather than a speed averaged over its past.
TEST_F(LongWork, TheSpeedShowsNothingItCannotKnowAndAStall)
{
    testing::HeldWork held("held.bin", kHeldTotal);  // half of it done at once, then held
    StartHeldEncode(held);
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    ASSERT_TRUE(testing::WaitFor([&] { return !Text(progress, "lblbytes").isEmpty(); }));
    EXPECT_EQ(Text(progress, "lblbytes"), "1.50 GiB of 3.00 GiB");
    EXPECT_EQ(Text(progress, "lblspeed"), "");
    EXPECT_EQ(Text(progress, "lblleft"), "");
    EXPECT_TRUE(testing::WaitFor([&] { return Text(progress, "lblspeed") == "0 bytes/s"; }, 10000))
        << Text(progress, "lblspeed").toStdString();
    EXPECT_EQ(Text(progress, "lblleft"), "");
}

// The main window's close box while the last file is being written to disk (the Exit button
// takes no click while work runs): the windows go at once, and the program ends once the file
// is written, leaving nothing half-done behind.
TEST_F(LongWork, LeavingDuringTheFinalFlushLetsTheWindowsGoAtOnce)
{
    FolderViewer::ShowEncoded();
    testing::HeldWork held("held.bin", kHeldTotal, testing::HeldWork::At::FinalFlush);
    StartHeldEncode(held);
    ASSERT_TRUE(AwaitProgress());
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* top : QApplication::topLevelWidgets()) EXPECT_FALSE(top->isVisible()) << top->objectName().toStdString();
    EXPECT_EQ(platform::FindForm("frmMain"), nullptr);
    EXPECT_EQ(FolderViewer::Window(FolderViewer::Kind::Encoded).Find(), nullptr);
    EXPECT_NE(Jobs::Running(), nullptr);  // the file is still being written
    EXPECT_EQ(desktop.ended, 0);

    held.Release();
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(desktop.ended, 1);
    EXPECT_EQ(testing::FileNames(encoded()), std::vector<std::string>{"held.bin"});
    EXPECT_EQ(testing::ReadBytes(encoded() / "held.bin"), testing::Encoded({7, 8, 9}));
    EXPECT_TRUE(desktop.boxes.empty());
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
        {FolderViewer::Kind::Decoded, decoded(), [](Bytes b) { return testing::Decoded(b); }},
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
    testing::WriteBytes(data / "big.bin", {7, 9});
    testing::HeldWork held("big.bin", kHeldTotal);
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    ASSERT_TRUE(Drop(viewer, {data / "small.txt", data / "big.bin"}));
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->windowTitle(), "Encoding big.bin");
    EXPECT_EQ(Text(progress, "lblfile"), "File 2 of 2, into Encoded File(s)");
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
    testing::WriteBytes(data / "big.bin", {7, 9});
    testing::HeldWork held("big.bin", kHeldTotal);
    FolderViewer* viewer = Open(FolderViewer::Kind::Decoded);
    ASSERT_TRUE(Drop(viewer, {data / "big.bin"}));
    ProgressWindow* progress = AwaitProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->windowTitle(), "Decoding big.bin");
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(FolderViewer::Window(FolderViewer::Kind::Decoded).Find(), nullptr);
    ASSERT_TRUE(testing::WaitFor([progress] { return progress->isActiveWindow(); }));
    QTest::keyClick(progress->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(WorkEnded());
    EXPECT_TRUE(testing::FileNames(decoded()).empty());
    EXPECT_TRUE(desktop.boxes.empty());
}

// The work ends before any box that reports it: while a box is up (a viewer's Done!, a failure
// from Decode File! with nothing selected, a failed file in the middle of a drop) no window is
// held, the busy cursor is gone, and no progress window is left to appear behind the box.
TEST_F(Drops, NoSignOfTheWorkOutlivesItBehindABox)
{
    std::filesystem::create_directories(encoded());
    testing::WriteBytes(encoded() / "note.txt", testing::Encoded({'h', 'i'}));
    testing::WriteBytes(data / "x.txt", {1});
    testing::WriteBytes(data / "z.txt", {2});
    const struct {
        const char* name;
        std::function<void()> act;
        QString caption;
    } cases[] = {
        {"a viewer's Decode Selected",
         [&] {
             FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
             testing::ClickEntry(Child<platform::FileList>(viewer, "File1"), "note.txt");
             ClickAndFinish(Child(viewer, "cmddecode1"));
         },
         "Done!"},
        {"Decode File! with nothing selected", [&] { ClickAndFinish(Get("cmddecode")); }, "No Data"},
        {"a failed file in a drop",
         [&] { DropAndFinish(Open(FolderViewer::Kind::Decoded), {data / "x.txt", data / "gone.txt", data / "z.txt"}); },
         "No Data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.boxes.clear();
        QStringList held;
        bool busyCursor = false;
        bool progressLeft = false;
        desktop.onMessage = [&](const platform::MessageBoxRequest&) {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (top->isVisible() && !top->isEnabled()) held << top->objectName();
            }
            busyCursor = QApplication::overrideCursor() != nullptr;
            progressLeft = Jobs::Running() && Jobs::Running()->Progress();
        };
        c.act();
        desktop.onMessage = {};
        ASSERT_FALSE(desktop.boxes.empty());
        EXPECT_EQ(desktop.boxes[0].caption, c.caption);
        EXPECT_EQ(held, QStringList{});
        EXPECT_FALSE(busyCursor);
        EXPECT_FALSE(progressLeft);
        EXPECT_EQ(ProgressWindow::kWindow.Find(), nullptr);
    }
}

// One file dropped onto the main window is shown as if browsed to, once the drop's own events
// are over; a folder is refused.
TEST_F(Drops, OntoTheMainWindowShowTheFile)
{
    const auto elsewhere = dir.path() / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    testing::WriteBytes(elsewhere / "z.txt", {1, 2, 3, 4});
    ASSERT_TRUE(Drop(window, {elsewhere / "z.txt"}));
    EXPECT_NE(Get<platform::FolderList>("Dirlistbox")->Path(), Q(elsewhere));  // not inside the drop's events
    QCoreApplication::processEvents();
    EXPECT_EQ(Get<platform::FolderList>("Dirlistbox")->Path(), Q(elsewhere));
    EXPECT_EQ(Files()->FileName(), "z.txt");
    EXPECT_EQ(Get<platform::Label>("filename")->Caption(), "z.txt");
    EXPECT_EQ(Get<platform::Label>("size")->Caption(), "4");
    EXPECT_TRUE(desktop.boxes.empty());

    ASSERT_TRUE(Drop(window, {data}));
    EXPECT_TRUE(desktop.boxes.empty());  // no box inside the drop's events
    QCoreApplication::processEvents();
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "Error: 21: Cannot code '" + Q(data) + "': Is a directory; drop files, not folders");
    EXPECT_EQ(Get<platform::FolderList>("Dirlistbox")->Path(), Q(elsewhere));
    EXPECT_EQ(desktop.ended, 0);
}

// A folder that cannot be flushed after its files took their names: the files are coded (coding
// them again would code the results), and the user is warned once, with OK only, whether one
// file was encoded from the main window or a batch was dropped onto a viewer.
TEST_F(Drops, AFolderThatCannotBeFlushedIsOneWarning)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows flushes each file, not its folder";
#else
    testing::WriteBytes(data / "x.txt", {1});
    testing::WriteBytes(data / "y.txt", {2});
    struct Restore {
        ~Restore() { detail::Faults().folderFlushError = 0; }
    } restore;
    detail::Faults().folderFlushError = EIO;
    const struct {
        const char* name;
        std::function<void()> code;
        std::vector<std::string> landed;
    } cases[] = {
        {"Encode File!",
         [&] {
             SelectFile("a.txt");
             ClickAndFinish(Get("cmdencode"));
         },
         {"a.txt"}},
        {"a drop", [&] { DropAndFinish(Open(FolderViewer::Kind::Encoded), {data / "x.txt", data / "y.txt"}); },
         {"x.txt", "y.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(encoded());
        desktop.boxes.clear();
        c.code();
        EXPECT_EQ(testing::FileNames(encoded()), c.landed);
        ASSERT_EQ(desktop.boxes.size(), 1u);
        const QString expected = "Warning: 5: Written, but cannot flush the folder of '" +
                                 Q(encoded() / c.landed.front()) + "': Input/output error";
        EXPECT_EQ(desktop.boxes[0].text, expected);
        EXPECT_EQ(desktop.boxes[0].buttons, platform::MsgButtons::Ok);
        EXPECT_EQ(desktop.boxes[0].icon, platform::MsgIcon::Exclamation);
        EXPECT_EQ(desktop.ended, 0);
    }
#endif
}

// The transform's named temporary files are never listed; other hidden files are.
TEST_F(Drops, TheViewersLeaveTemporaryFilesOut)
{
    std::filesystem::create_directories(encoded());
    // A temporary file of this running program's own, and names only like one.
    const std::string own = detail::TemporaryName();
    for (const std::string& name : {own, std::string(".cv0123abcd"), own.substr(0, 42) + "X", std::string(".hidden"), std::string("b.bin")})
        testing::WriteBytes(encoded() / name, {1});
    EXPECT_EQ(Entries(Open(FolderViewer::Kind::Encoded)),
              (QStringList{QString::fromStdString(own.substr(0, 42) + "X"), ".cv0123abcd", ".hidden", "b.bin"}));
}

}  // namespace
}  // namespace corvane
