// Files and folders whose names are bytes that are not UTF-8, used through every window: the
// entries show U+FFFD where such a byte is, messages its escape (`\xe9`), and every operation
// reaches the very bytes. On
// Windows every name is UTF-16 text, so there is nothing of this kind to hold.
#ifndef _WIN32
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "support/Coded.h"
#include "support/MainWindowFixture.h"
#include "ui/viewers/FolderViewer.h"

namespace corvane {
namespace {

using testing::Bytes;
using testing::Child;

const Bytes kPlain{'a', 'b', 'c'};

// One name as the system holds it and as a window shows it.
struct ByteName {
    std::string bytes;
    QString shown;
};
const ByteName kLatin1{"caf\xE9.txt", QStringLiteral(u"caf\uFFFD.txt")};
const ByteName kLoneFF{"\xFF.bin", QStringLiteral(u"\uFFFD.bin")};
const ByteName kFolder{"dossier\xE9", QStringLiteral(u"dossier\uFFFD")};

QString Held(const std::filesystem::path& path) { return platform::FromPath(path); }

// What `list` shows for its entry named `name` as the system holds it.
QString ShownEntry(platform::FileList* list, const std::string& name)
{
    for (int row = 0; row < list->ListCount(); ++row) {
        if (list->List(row) == Held(name)) return list->model()->index(row, 0).data().toString();
    }
    return QStringLiteral("<not listed>");
}

// A drop of one file as a file manager sends it: the address carries the name's bytes
// percent-encoded.
bool DropAddress(QWidget* window, const std::filesystem::path& path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromEncoded("file://" + QByteArray::fromStdString(path.native()).toPercentEncoding("/"))});
    QWindow* target = window->windowHandle();
    const QPoint centre = window->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

class ByteNames : public testing::MainWindowUi {
protected:
    void PrepareData() override
    {
        testing::WriteBytes(data / kLatin1.bytes, kPlain);
        testing::WriteBytes(data / kLoneFF.bytes, kPlain);
        std::filesystem::create_directory(data / kFolder.bytes);
        testing::WriteBytes(data / kFolder.bytes / kLatin1.bytes, {'x', 'y'});
    }

    platform::FileList* Files() { return Get<platform::FileList>("FileListBox"); }
    // A label's text as shown whole (and as screen readers read it).
    QString Caption(const char* label) { return Get<platform::Label>(label)->accessibleName(); }
};

TEST(PathBytes, EveryNameComesBackWhole)
{
    const struct {
        std::string bytes;
        QString shown;  // as a window shows it
    } cases[] = {
        {"plain", QStringLiteral("plain")},
        {"\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80", QStringLiteral(u"\u00E9t\u00E9 \U0001F600")},
        {"caf\xE9", QStringLiteral(u"caf\uFFFD")},
        {"\xC0\x80", QStringLiteral(u"\uFFFD\uFFFD")},              // overlong
        {"\xED\xA0\x80", QStringLiteral(u"\uFFFD\uFFFD\uFFFD")},     // a UTF-16 surrogate
        {"\xF4\x90\x80\x80", QStringLiteral(u"\uFFFD\uFFFD\uFFFD\uFFFD")},  // beyond U+10FFFF
        {"a\xE2\x82", QStringLiteral(u"a\uFFFD\uFFFD")},               // cut short
        {"\xE2\x82\xAC\xFF", QStringLiteral(u"\u20AC\uFFFD")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        const QString held = platform::FromPath(c.bytes);
        EXPECT_EQ(platform::ToPath(held).native(), c.bytes);
        EXPECT_EQ(platform::Shown(held), c.shown);
    }
}

TEST_F(ByteNames, MainWindowListsSelectsAndEncodesThem)
{
    for (const ByteName& name : {kLatin1, kLoneFF}) {
        SCOPED_TRACE(name.shown.toStdString());
        EXPECT_EQ(ShownEntry(Files(), name.bytes), name.shown);
        testing::ClickEntry(Files(), Held(name.bytes));
        EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.front().text.toStdString();
        EXPECT_EQ(Caption("filename"), name.shown);
        EXPECT_EQ(Caption("size"), "3");
        ClickAndFinish(Get("cmdencode"));
        EXPECT_EQ(testing::ReadBytes(encoded() / name.bytes), testing::Encoded(kPlain));
    }
}

TEST_F(ByteNames, AFolderSoNamedOpensAndItsFilesAreShownAndCoded)
{
    auto* folders = Get<platform::FolderList>("Dirlistbox");
    const auto entry = folders->findItems(kFolder.shown, Qt::MatchExactly);
    ASSERT_EQ(entry.size(), 1);
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, folders->visualItemRect(entry[0]).center());
    ASSERT_EQ(folders->Path(), Held(data / kFolder.bytes));
    EXPECT_EQ(Files()->ListCount(), 1);

    // A file in such a folder dropped onto the window is shown with its folder, from elsewhere too.
    const std::filesystem::path inner = data / kFolder.bytes / kLatin1.bytes;
    for (const auto& file : {data / kLatin1.bytes, inner}) {
        ASSERT_TRUE(DropAddress(window, file));
        QCoreApplication::processEvents();  // the file is shown once the drop's own events are over
        EXPECT_EQ(folders->Path(), Held(file.parent_path()));
        EXPECT_EQ(Files()->FileName(), Held(kLatin1.bytes));
    }
    EXPECT_EQ(folders->currentItem()->text(), kFolder.shown);
    EXPECT_EQ(Caption("size"), "2");
    ClickAndFinish(Get("cmdencode"));
    EXPECT_EQ(testing::ReadBytes(encoded() / kLatin1.bytes), testing::Encoded({'x', 'y'}));
    EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.front().text.toStdString();
}

TEST_F(ByteNames, ViewersListCodeAndTakeDropsOfThem)
{
    std::filesystem::create_directories(encoded());
    testing::WriteBytes(encoded() / kLatin1.bytes, testing::Encoded(kPlain));
    FolderViewer* fromEncoded = FolderViewer::ShowEncoded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fromEncoded));
    auto* list = Child<platform::FileList>(fromEncoded, "File1");
    EXPECT_EQ(ShownEntry(list, kLatin1.bytes), kLatin1.shown);
    testing::ClickEntry(list, Held(kLatin1.bytes));
    EXPECT_EQ(Child<platform::Label>(fromEncoded, "lblselected")->accessibleName(), kLatin1.shown);
    ClickAndFinish(Child(fromEncoded, "cmddecode1"));
    EXPECT_EQ(testing::ReadBytes(decoded() / kLatin1.bytes), kPlain);
    ASSERT_EQ(desktop.boxes.size(), 1u);
    // A message names the byte by its escape, as every message of both programs does.
    EXPECT_TRUE(desktop.boxes[0].text.contains("'caf\\xe9.txt'")) << desktop.boxes[0].text.toStdString();

    FolderViewer* fromDecoded = FolderViewer::ShowDecoded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fromDecoded));
    ASSERT_TRUE(DropAddress(fromDecoded, data / kLoneFF.bytes));
    ASSERT_TRUE(testing::WaitFor([&] { return std::filesystem::exists(decoded() / kLoneFF.bytes); }, 5000));
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(testing::ReadBytes(decoded() / kLoneFF.bytes), testing::Decoded(kPlain));
    EXPECT_EQ(desktop.boxes.size(), 1u);
}

}  // namespace
}  // namespace corvane
#endif
