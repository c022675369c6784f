#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTextLayout>
#include <QMessageBox>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>

#include "support/SystemWords.h"
#include "platform/Desktop.h"
#include "support/FakeDesktop.h"
#include "support/TempDir.h"

namespace corvane::platform {
namespace {

// Runs `act` on the real message box as soon as it is showing.
void WhenBoxShows(std::function<void(QMessageBox*)> act)
{
    QTimer::singleShot(0, [act] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            act(box);
        } else {
            WhenBoxShows(act);
        }
    });
}

TEST(MessageBox, EscapeAndTheCloseBoxCountAsCancelWhenThereIsOne)
{
    const struct {
        const char* name;
        MsgButtons buttons;
        std::function<void(QMessageBox*)> act;
        MsgAnswer expected;
    } cases[] = {
        {"Escape with Cancel", MsgButtons::OkCancel, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, MsgAnswer::Cancel},
        {"close box with Cancel", MsgButtons::OkCancel, [](QMessageBox* b) { b->close(); }, MsgAnswer::Cancel},
        {"Enter picks OK", MsgButtons::OkCancel, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, MsgAnswer::Ok},
        {"Escape with OK only", MsgButtons::Ok, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, MsgAnswer::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString caption;
        QString text;
        WhenBoxShows([&](QMessageBox* box) {
            caption = box->windowTitle();
            text = box->text();
            c.act(box);
        });
        EXPECT_EQ(MsgBox("Error: 5: broken", c.buttons, MsgIcon::Exclamation, "No Data"), c.expected);
        EXPECT_EQ(caption, "No Data");
        EXPECT_EQ(text, "Error: 5: broken");
    }
}

TEST(MessageBox, IsWideEnoughForItsWholeCaptionInTheTitleBar)
{
    // The title bar's font is the window manager's; a bold face of the application's title font
    // is the widest that one commonly uses.
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics title(titleFont);
    for (const QString& caption : {QStringLiteral("RaveVivazidezEraduzura"), QStringLiteral("No Data"),
                                  QStringLiteral("A caption much longer than the one line of text below it")}) {
        SCOPED_TRACE(caption.toStdString());
        int width = 0;
        QAccessible::Role role = QAccessible::NoRole;
        WhenBoxShows([&](QMessageBox* box) {
            width = box->width();
            role = QAccessible::queryAccessibleInterface(box)->role();
            box->close();
        });
        MsgBox("OK?", MsgButtons::Ok, MsgIcon::None, caption);
        // Screen readers hear it as a box of its own, not as part of the window below.
        EXPECT_EQ(role, QAccessible::AlertMessage);
        // Room for the caption, and at each end for at least the icon and the close box.
        EXPECT_GE(width, title.horizontalAdvance(caption) + 2 * title.height());
    }
}

// A style that gives dialog buttons icons, as some desktops' themes do.
class IconsOnButtons : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* data) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// The box's buttons are plain, as the program's own buttons are: no tick or cross beside OK and
// Cancel, whatever the desktop's theme gives dialog buttons.
TEST(MessageBox, ButtonsCarryNoIcons)
{
    const QString styleName = QApplication::style()->name();
    QApplication::setStyle(new IconsOnButtons(QStyleFactory::create(styleName)));
    struct Restore {
        QString name;
        ~Restore() { QApplication::setStyle(QStyleFactory::create(name)); }
    } restore{styleName};
    for (const MsgButtons buttons : {MsgButtons::Ok, MsgButtons::OkCancel}) {
        QStringList withIcons;
        int count = 0;
        WhenBoxShows([&](QMessageBox* box) {
            for (QAbstractButton* button : box->buttons()) {
                ++count;
                if (!button->icon().isNull()) withIcons << button->text();
            }
            box->close();
        });
        MsgBox("Error: 5: broken", buttons, MsgIcon::Exclamation, "No Data");
        EXPECT_EQ(count, buttons == MsgButtons::Ok ? 1 : 2);
        EXPECT_EQ(withIcons, QStringList{});
    }
}

// A message with a long name, in one piece or in words, stays on the screen and shows its whole
// text: the name wraps where it must, so that its end (the extension, the closing quote) shows.
TEST(MessageBox, ALongNameWrapsInsideTheScreen)
{
    const QString longName = QString(213 - 4, QLatin1Char('n')) + QStringLiteral(".txt");
    const QString words = QStringLiteral("a name of many words ").repeated(10) + QStringLiteral("end.txt");
    for (const QString& text : {QStringLiteral("Error: 2: Cannot open '/tmp/") + longName + QStringLiteral("': No such file or directory"),
                                QStringLiteral("The file '") + words + QStringLiteral("' decoded and can be found at Decoded File(s) folder")}) {
        SCOPED_TRACE(text.toStdString());
        QRect frame, screen;
        QLabel* label = nullptr;
        int needed = 0, shown = 0, lines = 0;
        WhenBoxShows([&](QMessageBox* box) {
            frame = box->frameGeometry();
            screen = box->screen()->availableGeometry();
            label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            if (label) {
                // The label's text laid out as the label lays it out, in its width.
                QTextLayout layout(label->text(), label->font());
                QTextOption option;
                option.setWrapMode(QTextOption::WordWrap);
                layout.setTextOption(option);
                layout.beginLayout();
                for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                    line.setLineWidth(label->contentsRect().width());
                    needed = std::max(needed, static_cast<int>(std::ceil(line.naturalTextWidth())));
                    ++lines;
                }
                layout.endLayout();
                shown = label->contentsRect().width();
            }
            box->close();
        });
        MsgBox(text, MsgButtons::OkCancel, MsgIcon::Exclamation, "No Data");
        ASSERT_TRUE(label);
        EXPECT_TRUE(screen.contains(frame)) << frame.width() << " wide on a screen of " << screen.width();
        EXPECT_LE(needed, shown) << lines << " lines";
    }
}

TEST(MessageBox, SeamSeesEveryBoxWithTheApplicationTitleAsDefaultCaption)
{
    testing::FakeDesktop desktop;
    desktop.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(MsgBox("Please select a file to delete!"), MsgAnswer::Cancel);
    EXPECT_EQ(MsgBox("The file 'a' decoded", MsgButtons::Ok, MsgIcon::Information, "Done!"), MsgAnswer::Ok);
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_EQ(desktop.boxes[0].caption, "RaveVivazidezEraduzura");
    EXPECT_EQ(desktop.boxes[0].icon, MsgIcon::None);
    EXPECT_EQ(desktop.boxes[1].caption, "Done!");
    EXPECT_EQ(desktop.boxes[1].icon, MsgIcon::Information);
}

TEST(MessageBox, TheDefaultCaptionIsTheTitleTheProgramHandedOver)
{
    testing::FakeDesktop desktop;
    const QString started = ApplicationTitle();
    SetApplicationTitle("Another Title");
    MsgBox("untitled");
    SetApplicationTitle(started);
    MsgBox("untitled");
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_EQ(desktop.boxes[0].caption, "Another Title");
    EXPECT_EQ(desktop.boxes[1].caption, "RaveVivazidezEraduzura");
}

TEST(Programs, TheFolderGoesToTheFileManagerAsOneArgument)
{
    testing::FakeDesktop desktop;
    testing::TempDir dir;
    // Words a shell would act on; the folder is made first, since it is not there yet.
    const QString folder = QString::fromStdString((dir / "My Tools; rm -rf ~ & del" / "Encoded File(s)").string());
    EXPECT_FALSE(OpenFolderInFileManager(folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    ASSERT_EQ(desktop.programs.size(), 1u);
    // Explorer takes the folder with Windows' own separators.
    EXPECT_EQ(desktop.programs[0].arguments, QStringList{QDir::toNativeSeparators(folder)});
    EXPECT_EQ(desktop.programs[0].style, WindowStyle::Normal);
}

TEST(Programs, AProgramThatCannotStartIsANumberedError)
{
    const auto error = StartProgram({"corvane-no-such-program", {}, WindowStyle::Normal});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, testing::kNoSuchFile);
    EXPECT_EQ("Error: " + QString::number(error->number) + ": " + QString::fromStdString(error->description),
              testing::ErrorText(testing::kNoSuchFile, "Cannot start", "corvane-no-such-program"));
}

#ifndef _WIN32
// The system's own reason, not one guessed: a program that is missing and one that may not be run
// are told apart.
TEST(Programs, AMissingProgramAndOneThatMayNotRunGiveTheSystemsOwnReasons)
{
    testing::TempDir dir;
    const std::filesystem::path unrunnable = dir / "not-executable";
    testing::WriteBytes(unrunnable, {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'});
    std::filesystem::permissions(unrunnable, std::filesystem::perms(0644));  // root too needs an x bit
    const struct {
        const char* name;
        QString program;
        int number;
    } cases[] = {
        {"missing on the path", "corvane-no-such-program", ENOENT},
        {"missing at a path", QString::fromStdString((dir / "absent").string()), ENOENT},
        {"not executable", QString::fromStdString(unrunnable.string()), EACCES},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto error = StartProgram({c.program, {}, WindowStyle::Normal});
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, c.number);
        EXPECT_EQ(QString::fromStdString(ErrorLine(*error)), testing::ErrorText(c.number, "Cannot start", c.program));
    }
}

// A started program's exit status comes back to the user-interface thread once it has ended.
TEST(Programs, AStartedProgramsExitStatusIsHeard)
{
    for (const int status : {0, 3}) {
        SCOPED_TRACE(status);
        std::optional<int> heard;
        const ProgramRequest request{"sh", {"-c", QStringLiteral("exit %1").arg(status)}, WindowStyle::Normal};
        ASSERT_FALSE(StartProgram(request, [&heard](int code) { heard = code; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return heard.has_value(); }, 30000));
        EXPECT_EQ(*heard, status);
    }
}

// A program that starts is not waited for, and gets each argument as given, never through a shell.
TEST(Programs, AStartedProgramGetsItsArgumentsAsGiven)
{
    testing::TempDir dir;
    const std::filesystem::path written = dir / "written";
    const QString argument = "two words; $HOME \"quoted\"";
    ASSERT_FALSE(StartProgram({"sh", {"-c", "printf %s \"$1\" > \"$2.part\" && mv \"$2.part\" \"$2\"", "sh", argument,
                                      QString::fromStdString(written.string())}}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(written); }, 30'000)) << "the program did not run";
    const testing::Bytes bytes = testing::ReadBytes(written);
    EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())),
              argument);
}
#endif

TEST(Programs, AddressesAndEndingGoThroughTheSeam)
{
    testing::FakeDesktop desktop;
    OpenAddress("https://example.org/");
    OpenAddress("https://example.org/");
    EndProgram();
    EXPECT_EQ(desktop.addresses, (QStringList{"https://example.org/", "https://example.org/"}));
    EXPECT_EQ(desktop.ended, 1);
}

}  // namespace
}  // namespace corvane::platform
