// Windows made from layout tables: geometry in twips, borders, tab order, one instance per
// name, load and unload.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include "support/WineFonts.h"
#include "platform/FileList.h"
#include "platform/Form.h"
#include "platform/SimpleControls.h"
#include "platform/Twips.h"

namespace corvane::platform {
namespace {

FormLayout SampleLayout(BorderStyle border = BorderStyle::FixedSingle)
{
    return {
        .name = "frmSample",
        .caption = "Sample",
        .border = border,
        .clientWidth = 6000,
        .clientHeight = 4500,
        .controls = {
            rows::Label("Label1", "Path:", {0, 120, 495, 255}, 3).WithFont(kWindowFont.Bold()),
            rows::FileList("File1", {1500, 0, 3000, 3000}, 2),
            rows::Frame("Frame1", "Details:", {150, 3000, 3000, 1200}, 0),
            rows::Label("size", "0", {120, 240, 1500, 255}, 1).In("Frame1"),
            rows::Line("Line1", {1440, 1800}, {5400, 1800}),
            rows::FileList("Other", {4500, 0, 1500, 1500}, 1),
        },
    };
}

class SampleForm : public Form {
public:
    explicit SampleForm(BorderStyle border = BorderStyle::FixedSingle) : Form(SampleLayout(border)) {}
    int loads = 0;
    int unloads = 0;

protected:
    void Form_Load() override { ++loads; }
    void Form_Unload() override { ++unloads; }
};

bool At96Dpi() { return QGuiApplication::primaryScreen()->logicalDotsPerInch() == 96; }

TEST(Form, ControlsSitWhereTheTableSaysInPixels)
{
    CORVANE_SKIP_TEXT_METRICS_ON_WINDOWS();
    if (!At96Dpi()) GTEST_SKIP() << "the expected pixels are for 96 dots per inch";
    SampleForm form;
    EXPECT_EQ(form.size(), QSize(400, 300));
    EXPECT_EQ(form.windowTitle(), "Sample");

    const struct {
        const char* name;
        QRect pixels;
        QString parent;
    } rows[] = {
        {"Label1", {0, 8, 33, 17}, "frmSample"},
        {"File1", {100, 0, 200, 200}, "frmSample"},
        {"Frame1", {10, 200, 200, 80}, "frmSample"},
        {"size", {8, 16, 100, 17}, "Frame1"},
        {"Line1", {96, 120, 265, 1}, "frmSample"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* control = form.Control(row.name);
        EXPECT_TRUE(control);
        if (!control) continue;
        EXPECT_EQ(control->geometry(), row.pixels);
        EXPECT_EQ(control->parentWidget()->objectName(), row.parent);
    }
    // A line is drawn between its two end points, both included.
    const auto* line = form.Control<Line>("Line1");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->From(), QPoint(96, 120));
    EXPECT_EQ(line->To(), QPoint(360, 120));
    EXPECT_TRUE(form.Control("Label1")->font().bold());
    EXPECT_FALSE(form.Control("size")->font().bold());
    EXPECT_DOUBLE_EQ(form.Control("size")->font().pointSizeF(), 8.25);
    EXPECT_EQ(form.Control<Label>("Label1")->Caption(), "Path:");
    EXPECT_EQ(form.Control<QGroupBox>("Frame1")->title(), "Details:");
}

TEST(Form, OneLineLabelsGrowToShowTheirCaptionAndTallerOnesWrap)
{
    CORVANE_SKIP_TEXT_METRICS_ON_WINDOWS();
    FormLayout layout = SampleLayout();
    const QString wide = "A caption far wider than its box";
    layout.controls = {
        rows::Label("Short", wide, {0, 0, 300, 255}),
        rows::Label("Edge", wide, {5000, 600, 300, 255}),
        rows::Label("Tall", wide, {0, 1200, 600, 1000}),
    };
    Form form(layout);
    auto* shortLabel = form.Control<Label>("Short");
    EXPECT_EQ(shortLabel->width(), shortLabel->fontMetrics().horizontalAdvance(shortLabel->Caption()) + 1);
    EXPECT_EQ(form.Control("Edge")->geometry().right(), form.width() - 1);  // no further than the window
    EXPECT_EQ(form.Control("Tall")->width(), TwipsToPixels(600));
    EXPECT_TRUE(form.Control<Label>("Tall")->wordWrap());

    shortLabel->SetCaption("ab");  // a shorter caption gives the width from the layout table back
    EXPECT_EQ(shortLabel->width(), TwipsToPixels(300));
}

// A face found only as bitmap strikes comes out at a strike's size, not the size asked: the
// window font gives way to a scalable face at its own size. The fixture is Wine's bitmap
// "MS Sans Serif" (fonts-wine), the face Windows has under that name.
TEST(Form, AFaceWithOnlyBitmapStrikesGivesWayToAScalableFaceAtTheSizeAsked)
{
    CORVANE_SKIP_TEXT_METRICS_ON_WINDOWS();
    QString strikes;
    for (const char* path : {"/usr/share/wine/fonts/sserife.fon", "Z:/usr/share/wine/fonts/sserife.fon"}) {
        if (QFileInfo::exists(QString::fromLatin1(path))) strikes = QString::fromLatin1(path);
    }
    if (strikes.isEmpty()) GTEST_SKIP() << "fonts-wine is not installed: no bitmap MS Sans Serif to load";
    const int id = QFontDatabase::addApplicationFont(strikes);
    ASSERT_NE(id, -1) << strikes.toStdString();
    ASSERT_TRUE(QFontDatabase::applicationFontFamilies(id).contains("MS Sans Serif"));
    ASSERT_FALSE(QFontDatabase::isSmoothlyScalable("MS Sans Serif"));

    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    for (const FontChoice& font : {kWindowFont, kWindowFont.Bold(), kWindowFont.Sized(12)}) {
        SCOPED_TRACE(font.points);
        const QFontInfo drawn(MakeFont(font));
        EXPECT_NE(drawn.family().toStdString(), "MS Sans Serif");
        EXPECT_TRUE(QFontDatabase::isSmoothlyScalable(drawn.family())) << drawn.family().toStdString();
        EXPECT_EQ(drawn.pixelSize(), qRound(font.points * dpi / 72));  // 8.25 pt: an 11 px em at 96 dpi
        EXPECT_EQ(drawn.bold(), font.bold);
    }
    // A face drawn at any size stays itself.
    EXPECT_EQ(QFontInfo(MakeFont({"DejaVu Sans", 8.25, false})).family().toStdString(), "DejaVu Sans");
    QFontDatabase::removeApplicationFont(id);
}

TEST(Form, BorderKindsSetTheWindowsBoxes)
{
    const struct {
        BorderStyle border;
        Qt::WindowType type;
        bool minimise;
    } cases[] = {
        {BorderStyle::FixedSingle, Qt::Window, true},
        {BorderStyle::FixedToolWindow, Qt::Tool, false},
        {BorderStyle::FixedDialog, Qt::Dialog, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.border));
        SampleForm form(c.border);
        EXPECT_EQ(form.windowType(), c.type);
        EXPECT_EQ(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint), c.minimise);
        EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        EXPECT_EQ(form.minimumSize(), form.maximumSize());
    }
}

TEST(Form, TabOrderFollowsTheTableAndTheFirstGetsTheFocus)
{
    auto* form = ShowForm<SampleForm>("frmSample", [] { return new SampleForm; });
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_EQ(QApplication::focusWidget(), form->Control("Other"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->Control("File1"));
    form->Unload();
}

TEST(Form, OneInstancePerNameLoadedOnFirstShowAndUnloadedOnClose)
{
    int created = 0;
    const auto make = [&] {
        ++created;
        return new SampleForm;
    };
    QPointer<SampleForm> first = ShowForm<SampleForm>("frmSample", make);
    EXPECT_EQ(ShowForm<SampleForm>("frmSample", make), first.data());
    EXPECT_EQ(created, 1);
    EXPECT_EQ(first->loads, 1);
    EXPECT_TRUE(first->isVisible());

    first->close();  // the close box
    EXPECT_EQ(first->unloads, 1);
    EXPECT_EQ(FindForm("frmSample"), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());

    SampleForm* second = ShowForm<SampleForm>("frmSample", make);
    EXPECT_EQ(created, 2);
    EXPECT_EQ(second->loads, 1);
    UnloadForm("frmSample");
    UnloadForm("frmSample");  // already gone: nothing happens
    EXPECT_EQ(second->unloads, 1);
}

TEST(Form, AGivenPositionPlacesTheClientArea)
{
    if (!At96Dpi()) GTEST_SKIP() << "the expected pixels are for 96 dots per inch";
    FormLayout layout = SampleLayout(BorderStyle::FixedDialog);
    layout.position = TwipsPoint{2340, 1935};
    Form form(layout);
    form.Show();
    EXPECT_EQ(form.geometry().topLeft(), QPoint(156, 129));
    form.Unload();
}

// Windows opened from another one sit beside it, one below the other, covering neither it nor
// each other; without room on the right they go to the left.
TEST(Form, PlacedBesideAWindowItCoversNeitherThatWindowNorItsNeighbour)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const auto layout = [](const char* name) {
        FormLayout small = SampleLayout();
        small.name = name;
        small.clientWidth = 3000;  // 200 x 150 pixels
        small.clientHeight = 2250;
        small.controls.clear();
        return small;
    };
    for (const bool atRightEdge : {false, true}) {
        SCOPED_TRACE(atRightEdge ? "anchor at the screen's right edge" : "anchor at the screen's left edge");
        Form anchor(layout("frmAnchor"));
        anchor.Show();
        anchor.move(atRightEdge ? screen.right() + 1 - anchor.frameGeometry().width() : screen.left(), screen.top());
        ASSERT_TRUE(QTest::qWaitFor([&] { return anchor.frameGeometry().top() == screen.top(); }));
        Form first(layout("frmFirst")), second(layout("frmSecond"));
        first.PlaceBeside(&anchor, 0);
        second.PlaceBeside(&anchor, 1);
        first.Show();
        second.Show();
        const QRect a = anchor.frameGeometry(), f = first.frameGeometry(), s = second.frameGeometry();
        EXPECT_FALSE(f.intersects(a));
        EXPECT_FALSE(s.intersects(a));
        EXPECT_FALSE(f.intersects(s));
        EXPECT_TRUE(screen.contains(f) && screen.contains(s));
        EXPECT_EQ(f.top(), a.top());
        EXPECT_EQ(atRightEdge, f.left() < a.left());
        first.Unload();
        second.Unload();
        anchor.Unload();
    }
}

// Beside a window too wide to leave room on either side, they go to the side with more room,
// against the screen's edge, covering as little of it as they can and never each other.
TEST(Form, PlacedBesideAWindowWithNoRoomEitherSideCoversAsLittleAsItCan)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    FormLayout small = SampleLayout();
    small.clientWidth = 3000;  // 200 x 150 pixels
    small.clientHeight = 2250;
    small.controls.clear();
    FormLayout wide = small;
    wide.name = "frmWide";
    wide.clientWidth = (screen.width() - 300) * 15;  // 150 pixels to spare, 100 on its left
    Form anchor(wide);
    anchor.Show();
    anchor.move(screen.left() + 100, screen.top());
    ASSERT_TRUE(QTest::qWaitFor([&] { return anchor.frameGeometry().topLeft() == QPoint(screen.left() + 100, screen.top()); }));
    small.name = "frmFirst";
    Form first(small);
    small.name = "frmSecond";
    Form second(small);
    first.PlaceBeside(&anchor, 0);
    second.PlaceBeside(&anchor, 1);
    first.Show();
    second.Show();
    const QRect a = anchor.frameGeometry(), f = first.frameGeometry(), s = second.frameGeometry();
    EXPECT_EQ(f.right(), screen.right()) << "the side with more room is the right";
    EXPECT_EQ(f.top(), a.top());
    EXPECT_FALSE(f.intersects(s));
    EXPECT_TRUE(screen.contains(f) && screen.contains(s));
    first.Unload();
    second.Unload();
    anchor.Unload();
}

}  // namespace
}  // namespace corvane::platform
