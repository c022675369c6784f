// The two folder viewers and the About window, opened for real offscreen.
#include "support/Coded.h"
#include "support/SystemWords.h"
#include "platform/FileList.h"
#include "platform/SimpleControls.h"
#include "support/UiFixture.h"
#include "ui/about/frmAbout.h"
#include "ui/button/ZelXpButton.h"
#include "ui/viewers/FolderViewer.h"

namespace corvane {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using testing::Bytes;
using testing::Child;
using testing::Q;

class Viewers : public testing::UiTest {
protected:
    FolderViewer* Open(FolderViewer::Kind kind)
    {
        FolderViewer* viewer = kind == FolderViewer::Kind::Encoded ? FolderViewer::ShowEncoded() : FolderViewer::ShowDecoded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(viewer));
        return viewer;
    }

    static platform::FileList* List(FolderViewer* viewer) { return Child<platform::FileList>(viewer, "File1"); }
    static QString Selected(FolderViewer* viewer) { return Child<platform::Label>(viewer, "lblselected")->Caption(); }

    static void Select(FolderViewer* viewer, const QString& name)
    {
        testing::ClickEntry(List(viewer), name);
    }

    static QStringList Entries(FolderViewer* viewer)
    {
        QStringList names;
        for (int i = 0; i < List(viewer)->ListCount(); ++i) names << List(viewer)->List(i);
        return names;
    }
};

TEST_F(Viewers, OpenOnTheirFolderWithAnEmptySelection)
{
    std::filesystem::create_directories(encoded());
    testing::WriteBytes(encoded() / "b.bin", {1});
    testing::WriteBytes(encoded() / ".hidden", {2});
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    EXPECT_EQ(viewer->windowTitle(), "Encoded File(s)");
    EXPECT_EQ(Selected(viewer), "");
    EXPECT_EQ(Entries(viewer), (QStringList{".hidden", "b.bin"}));
    EXPECT_EQ(viewer->windowType(), Qt::Tool);

    Select(viewer, "b.bin");
    EXPECT_EQ(Selected(viewer), "b.bin");
    EXPECT_EQ(FolderViewer::ShowEncoded(), viewer);  // shown again, not loaded again
    EXPECT_EQ(Selected(viewer), "b.bin");
}

TEST_F(Viewers, EachFocusesItsFirstControl)
{
    FolderViewer* encodedViewer = Open(FolderViewer::Kind::Encoded);
    ASSERT_TRUE(encodedViewer->focusWidget());
    EXPECT_EQ(encodedViewer->focusWidget()->objectName(), "File1");
    FolderViewer* decodedViewer = Open(FolderViewer::Kind::Decoded);
    ASSERT_TRUE(decodedViewer->focusWidget());
    EXPECT_EQ(decodedViewer->focusWidget()->objectName(), "cmdopen");
    EXPECT_EQ(decodedViewer->windowTitle(), "Decoded File(s)");
}

TEST_F(Viewers, ActionsCodeIntoTheOtherFolderBothWays)
{
    std::filesystem::create_directories(encoded());
    testing::WriteBytes(encoded() / "note.txt", testing::Encoded({'h', 'i', '!'}));

    FolderViewer* fromEncoded = Open(FolderViewer::Kind::Encoded);
    Select(fromEncoded, "note.txt");
    ClickAndFinish(Child(fromEncoded, "cmddecode1"));
    // The decoded folder did not exist yet: it is made on the way.
    EXPECT_EQ(testing::ReadBytes(decoded() / "note.txt"), (Bytes{'h', 'i', '!'}));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "The file 'note.txt' decoded and can be found at Decoded File(s) folder");
    EXPECT_EQ(desktop.boxes[0].caption, "Done!");
    EXPECT_EQ(desktop.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(desktop.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(Selected(fromEncoded), "note.txt");

    testing::WriteBytes(decoded() / "late.txt", {7});
    FolderViewer* fromDecoded = Open(FolderViewer::Kind::Decoded);
    Select(fromDecoded, "late.txt");
    ClickAndFinish(Child(fromDecoded, "cmdencode1"));
    EXPECT_EQ(testing::ReadBytes(encoded() / "late.txt"), Bytes{7});
    EXPECT_EQ(desktop.boxes.back().text, "The file 'late.txt' encoded and can be found at Encoded File(s) folder");
    EXPECT_EQ(Entries(fromDecoded), (QStringList{"late.txt", "note.txt"}));
    EXPECT_EQ(Selected(fromDecoded), "late.txt");

    // The encoded viewer shows the new file too: it follows its folder.
    EXPECT_TRUE(testing::WaitFor([&] { return Entries(fromEncoded) == QStringList{"late.txt", "note.txt"}; }, 10000));
    EXPECT_EQ(Selected(fromEncoded), "note.txt");
}

// The name in the Done! box is escaped like any message's, so that the box keeps to one line.
TEST_F(Viewers, TheDoneMessageShowsANamesNewlineEscaped)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows allows no control characters in a file name";
#else
    std::filesystem::create_directories(decoded());
    testing::WriteBytes(decoded() / "two\nlines", {7});
    FolderViewer* viewer = Open(FolderViewer::Kind::Decoded);
    Select(viewer, "two\nlines");
    ClickAndFinish(Child(viewer, "cmdencode1"));
    EXPECT_EQ(testing::ReadBytes(encoded() / "two\nlines"), Bytes{7});
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "The file 'two\\nlines' encoded and can be found at Encoded File(s) folder");
#endif
}

TEST_F(Viewers, AFailedActionReportsThenAsksForASelection)
{
    std::filesystem::create_directories(encoded());
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    ClickAndFinish(Child(viewer, "cmddecode1"));  // nothing selected
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_EQ(desktop.boxes[0].text,
              testing::ErrorText(testing::kFolderAsFile, testing::kFolderAsFileWhat, Q(encoded()) + QDir::separator()));
    EXPECT_EQ(desktop.boxes[0].caption, "No Data");
    EXPECT_EQ(desktop.boxes[1].text, "Please select a file to delete!");
    EXPECT_EQ(desktop.boxes[1].caption, "RaveVivazidezEraduzura");
    EXPECT_EQ(desktop.boxes[1].icon, MsgIcon::None);
    EXPECT_EQ(desktop.ended, 0);

    desktop.boxes.clear();
    desktop.answers = {MsgAnswer::Cancel};
    ClickAndFinish(Child(viewer, "cmddecode1"));
    EXPECT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.ended, 1);
}

TEST_F(Viewers, AMissingFolderListsEmptyUntilItAppears)
{
    FolderViewer* viewer = Open(FolderViewer::Kind::Decoded);
    EXPECT_EQ(List(viewer)->ListCount(), 0);
    EXPECT_TRUE(desktop.boxes.empty());

    std::filesystem::create_directories(decoded());
    testing::WriteBytes(decoded() / "x.bin", {1});
    // Open Folder fails here; OK on its report reads the folder again.
    desktop.startError = Error{2, "Cannot start 'xdg-open': No such file or directory"};
    Click(Child(viewer, "cmdopen"));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "Error: 2: Cannot start 'xdg-open': No such file or directory");
    EXPECT_EQ(Entries(viewer), QStringList{"x.bin"});
}

// A viewer follows its folder, whoever writes there, without being opened again: the folder
// appearing, files landing and going, its selection kept throughout.
TEST_F(Viewers, FollowTheirFolderKeepingTheSelection)
{
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    ASSERT_EQ(Entries(viewer), QStringList{});
    std::filesystem::create_directories(encoded());
    testing::WriteBytes(encoded() / "b.bin", {1});
    EXPECT_TRUE(testing::WaitFor([&] { return Entries(viewer) == QStringList{"b.bin"}; }, 10000)) << Entries(viewer).join(',').toStdString();
    Select(viewer, "b.bin");
    testing::WriteBytes(encoded() / "a.bin", {2});
    testing::WriteBytes(encoded() / "c.bin", {3});
    EXPECT_TRUE(testing::WaitFor([&] { return Entries(viewer) == QStringList{"a.bin", "b.bin", "c.bin"}; }, 10000))
        << Entries(viewer).join(',').toStdString();
    std::filesystem::remove(encoded() / "c.bin");
    EXPECT_TRUE(testing::WaitFor([&] { return Entries(viewer) == QStringList{"a.bin", "b.bin"}; }, 10000))
        << Entries(viewer).join(',').toStdString();
    EXPECT_EQ(List(viewer)->FileName(), "b.bin");
    EXPECT_EQ(Selected(viewer), "b.bin");
}

TEST_F(Viewers, CancelOnAFailedOpenFolderEndsTheProgram)
{
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    desktop.startError = Error{2, "Cannot start 'xdg-open': No such file or directory"};
    desktop.answers = {MsgAnswer::Cancel};
    Click(Child(viewer, "cmdopen"));
    EXPECT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.ended, 1);
}

// The folder is there to be opened: made when it is missing, before the file manager gets it.
TEST_F(Viewers, OpenFolderHandsTheFolderToTheFileManager)
{
    FolderViewer* viewer = Open(FolderViewer::Kind::Encoded);
    ASSERT_FALSE(std::filesystem::exists(encoded()));
    Click(Child(viewer, "cmdopen"));
    ASSERT_EQ(desktop.programs.size(), 1u);
    EXPECT_EQ(desktop.programs[0].arguments, QStringList{Q(encoded())});
    EXPECT_TRUE(std::filesystem::is_directory(encoded()));
    EXPECT_TRUE(desktop.boxes.empty());
}

// A file manager that cannot open the folder says so by its exit status, after it started: that
// is reported as any failure of Open Folder, OK going on and Cancel ending the program.
TEST_F(Viewers, AFileManagerThatFailsIsReported)
{
    FolderViewer* viewer = Open(FolderViewer::Kind::Decoded);
    for (const MsgAnswer answer : {MsgAnswer::Ok, MsgAnswer::Cancel}) {
        desktop.programs.clear();
        desktop.endings.clear();
        desktop.boxes.clear();
        desktop.answers = {answer};
        Click(Child(viewer, "cmdopen"));
        ASSERT_EQ(desktop.programs.size(), 1u);
        ASSERT_TRUE(desktop.endings[0]);
        desktop.endings[0](0);
        EXPECT_TRUE(desktop.boxes.empty());
        desktop.endings[0](3);
        ASSERT_EQ(desktop.boxes.size(), 1u);
        EXPECT_EQ(desktop.boxes[0].text, "Error: 3: Cannot open '" + Q(decoded()) +
                                             "' in a file manager: no program to open folders was found "
                                             "(xdg-open ended with status 3)");
        EXPECT_EQ(desktop.boxes[0].caption, "No Data");
        EXPECT_EQ(desktop.ended, answer == MsgAnswer::Cancel ? 1 : 0);
    }
}

using About = testing::UiTest;

TEST_F(About, ShowsItsTextsAndOpensTheWebSiteOncePerPress)
{
    frmAbout* about = frmAbout::ShowAbout();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    EXPECT_EQ(about->windowTitle(), "About");
    const std::pair<const char*, const char*> texts[] = {
        {"label1", "Corvane - File Encoder/Decoder"},
        {"lbv", "Version " CORVANE_VERSION},
        {"label3", "This program will encode/decode your selected file(s)."}};
    for (const auto& [name, text] : texts) EXPECT_EQ(Child<platform::Label>(about, name)->Caption(), text) << name;
    EXPECT_EQ(Child<ZelXpButton>(about, "cmdOK")->Caption(), "&OK");
    // The artwork reaches below the window's bottom edge and is cut off there.
    EXPECT_GT(Child(about, "picIcon")->geometry().bottom(), about->height());

    Click(Child(about, "cmdvisit"));
    Click(Child(about, "cmdvisit"));
    EXPECT_EQ(desktop.addresses, (QStringList{kWebsite, kWebsite}));
    EXPECT_EQ(platform::FindForm("frmAbout"), about);

    Click(Child(about, "cmdOK"));
    EXPECT_EQ(platform::FindForm("frmAbout"), nullptr);
}

}  // namespace
}  // namespace corvane
