// What the windows share: the error report, the output folders and the coding command, and
// the row that places the program's buttons.
#include "platform/hosted/Color.h"
#include "platform/hosted/StdFont.h"
#include "support/UiFixture.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ReportError.h"

#include <QCursor>

namespace corvane {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using testing::Q;

TEST(ReportError, ShowsTheErrorLineWithOkAndCancelUnderNoData)
{
    testing::FakeDesktop desktop;
    desktop.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(ReportError(Error{-5, "Cannot read 'C:\\Temp\\\"a\".txt': \xC3\xA9" "chec"}), MsgAnswer::Cancel);
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, QString::fromUtf8("Error: -5: Cannot read 'C:\\Temp\\\"a\".txt': \xC3\xA9" "chec"));
    EXPECT_EQ(desktop.boxes[0].caption, "No Data");
    EXPECT_EQ(desktop.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(desktop.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(desktop.ended, 0);  // the report alone never ends the program
}

TEST(ReportCommandError, OkGoesOnAndCancelEndsTheProgram)
{
    const struct {
        MsgAnswer answer;
        bool goesOn;
        int ended;
    } cases[] = {{MsgAnswer::Ok, true, 0}, {MsgAnswer::Cancel, false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer == MsgAnswer::Ok ? "OK" : "Cancel");
        testing::FakeDesktop desktop;
        desktop.answers = {c.answer};
        EXPECT_EQ(ReportCommandError(Error{2, "gone"}), c.goesOn);
        EXPECT_EQ(desktop.boxes.size(), 1u);
        EXPECT_EQ(desktop.ended, c.ended);
    }
}

TEST(JoinPath, AlwaysAddsTheSeparatorSoARootDoublesIt)
{
    const QString s = QDir::separator();
    EXPECT_EQ(JoinPath(s, "a.txt"), s + s + "a.txt");
    EXPECT_EQ(JoinPath(s + "data", "a.txt"), s + "data" + s + "a.txt");
}

using CodingCommand = testing::UiTest;

TEST_F(CodingCommand, MakesTheFolderCodesTheFileAndRestoresTheCursor)
{
    testing::WriteBytes(data / "a.txt", {1, 2, 3});
    EXPECT_EQ(OutputFolder(kEncodedFolder), Q(encoded()));
    EXPECT_FALSE(CodeIntoOutputFolder(Coding::Encode, Q(data / "a.txt"), kEncodedFolder, "b.txt"));
    EXPECT_EQ(testing::ReadBytes(encoded() / "b.txt"), (testing::Bytes{1, 3, 6}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A failure comes back as the transform's error, and the cursor is restored as well.
    const auto error = CodeIntoOutputFolder(Coding::Decode, Q(data / "missing"), kDecodedFolder, "missing");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, ENOENT);
    EXPECT_TRUE(std::filesystem::is_directory(decoded()));
    EXPECT_FALSE(std::filesystem::exists(decoded() / "missing"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CodingCommand, AnOutputFolderTakenByAFileIsTheError)
{
    testing::WriteBytes(data / "a.txt", {1});
    testing::WriteBytes(encoded(), {2});  // a file holds the output folder's name
    const auto error = CodeIntoOutputFolder(Coding::Encode, Q(data / "a.txt"), kEncodedFolder, "a.txt");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, ENOTDIR);
    EXPECT_EQ(error->description,
              "Cannot write '" + Q(encoded() / "a.txt").toStdString() + "': Not a directory");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Captions go to the button exactly as written, quotes, backslashes and ampersands included.
class XpButtonRowCaption : public ::testing::TestWithParam<const char*> {};

TEST_P(XpButtonRowCaption, MakesTheProgramsButtonWithItsCaptionAsWritten)
{
    const char* caption = GetParam();
    const platform::ControlRow row = XpButtonRow("cmdSample", caption, {120, 240, 1215, 495}, 7);
    EXPECT_EQ(row.kind, platform::ControlKind::Hosted);
    EXPECT_EQ(row.tabIndex, 7);
    EXPECT_EQ(row.place.left, 120);
    EXPECT_EQ(row.place.height, 495);
    ASSERT_TRUE(row.create);
    QWidget parent;
    auto* button = qobject_cast<ZelXpButton*>(row.create(&parent));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->Caption(), QString::fromUtf8(caption));
    EXPECT_EQ(button->Font(), (platform::StdFont{"MS Sans Serif", 8.25, 400, 0}));
    EXPECT_EQ(button->ForeColor(), 0x80000006u);  // the window-frame system colour
    EXPECT_EQ(button->ForeHover(), 0x00000000u);  // black
    EXPECT_TRUE(button->Enabled());
    EXPECT_TRUE(button->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Captions, XpButtonRowCaption,
                         ::testing::Values("&About", "Say \"hi\"", "C:\\Temp\\a.txt", "a&&b", ""));

}  // namespace
}  // namespace corvane
