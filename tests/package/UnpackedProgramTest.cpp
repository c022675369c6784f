// Corvane as its Debian package lays it out, used by an ordinary user. `./dev.sh test` copies
// this binary beside the programs unpacked from the package (into <root>/usr/bin) and runs it
// as a user who cannot write there, with a home folder of its own, so that the program folder
// and the files around it are the package's own. It is not run by CTest for that reason.
#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "codec/ByteCodec.h"
#include "platform/FileList.h"
#include "platform/Form.h"
#include "support/Coded.h"
#include "support/FakeDesktop.h"
#include "support/TempDir.h"
#include "support/UiFixture.h"
#include "ui/button/ZelXpButton.h"
#include "ui/main/frmMain.h"
#include "ui/shared/Jobs.h"
#include "ui/viewers/FolderViewer.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

fs::path P(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

void Click(QWidget* widget)
{
    ASSERT_TRUE(widget);
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

// Clicks a command that codes a file, then waits for the coding to end (it runs beside the
// windows, on a thread of its own).
void ClickAndFinish(QWidget* widget)
{
    Click(widget);
    ASSERT_TRUE(QTest::qWaitFor([] { return !Jobs::Running(); }, 60000));
}

std::string BoxTexts(const testing::FakeDesktop& desktop)
{
    std::string texts;
    for (const auto& box : desktop.boxes) texts += box.text.toStdString() + "\n";
    return texts;
}

TEST(UnpackedPackage, EncodeAndDecodeLandInTheUsersDocumentsFolder)
{
    const fs::path program = P(QCoreApplication::applicationDirPath());
    ASSERT_TRUE(fs::exists(program / "corvane")) << "run from the unpacked package's usr/bin";
    const fs::path home = P(QDir::homePath());
    const fs::path results = home / "Documents" / "Corvane";
    const auto programFiles = testing::FileNames(program);

    const fs::path data = home / "data";
    fs::create_directories(data);
    const Bytes plain = testing::RandomBytes(5000, 15);
    testing::WriteBytes(data / "letter.txt", plain);
    QDir::setCurrent(QFile::decodeName(data.c_str()));

    testing::FakeDesktop desktop;
    auto* window = new frmMain;
    window->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    testing::ClickEntry(window->Control<platform::FileList>(QStringLiteral("FileListBox")), QStringLiteral("letter.txt"));
    ClickAndFinish(window->Control(QStringLiteral("cmdencode")));
    EXPECT_TRUE(desktop.boxes.empty()) << BoxTexts(desktop);
    EXPECT_EQ(testing::FirstDifference(testing::ReadBytes(results / "Encoded File(s)" / "letter.txt"),
                                       testing::Encoded(plain)), "");

    FolderViewer* viewer = FolderViewer::ShowEncoded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    testing::ClickEntry(viewer->Control<platform::FileList>(QStringLiteral("File1")), QStringLiteral("letter.txt"));
    ClickAndFinish(viewer->Control(QStringLiteral("cmddecode1")));
    EXPECT_EQ(BoxTexts(desktop), "The file 'letter.txt' decoded and can be found at Decoded File(s) folder\n");
    EXPECT_EQ(testing::FirstDifference(testing::ReadBytes(results / "Decoded File(s)" / "letter.txt"), plain), "");

    EXPECT_EQ(testing::FileNames(program), programFiles) << "nothing is written beside the program";
    for (const char* name : {"frmViewEncoded", "frmMain"}) platform::UnloadForm(QLatin1String(name));
}

}  // namespace
}  // namespace corvane
