// What a careful eye sees on the windows: the frame's caption on its top line, labels that show
// only whole lines, names too long for the file list, the About window's version.
#include <QGroupBox>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QScreen>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QRegularExpression>
#include <QScrollBar>

#include "platform/SimpleControls.h"
#include "support/MainWindowFixture.h"
#include "ui/about/frmAbout.h"

namespace corvane {
namespace {

using testing::Child;

constexpr QRgb kFace = qRgb(212, 208, 200);
constexpr QRgb kShadow = qRgb(128, 128, 128);
constexpr QRgb kHighlight = qRgb(255, 255, 255);
constexpr QRgb kText = qRgb(0, 0, 0);

// The rows of `image` from `top` to `bottom` (inclusive) that hold any pixel other than `face`.
std::vector<int> InkedRows(const QImage& image, int top, int bottom, QRgb face)
{
    std::vector<int> rows;
    for (int y = top; y <= bottom; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != face) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

// The text a tooltip shows: its rich text as plain text, without its invisible chances to wrap.
QString TipText(const QString& tip)
{
    return QTextDocumentFragment::fromHtml(tip).toPlainText().remove(QChar(0x200B));
}

// The tooltip showing now, or null.
QWidget* ShownTip()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->inherits("QTipLabel") && top->isVisible()) return top;
    }
    return nullptr;
}

// A file name of 190 characters, far too long for the Path and FileName labels and the file list.
const QString kLongName = QStringLiteral("a_report_on_the_yearly_accounts_of_the_northern_branch_"
                                         "with_every_table_and_figure_and_all_of_the_notes_that_go_with_them_"
                                         "as_sent_to_the_board_and_the_auditors_in_the_spring_of_2026.txt");

class Looks : public testing::MainWindowUi {
protected:
    void PrepareData() override
    {
        QString other = kLongName;
        other.replace(QStringLiteral(".txt"), QStringLiteral(".csv"));
        for (const QString& name : {kLongName, other}) testing::WriteBytes(data / name.toStdString(), {'x'});
    }

    // `widget` drawn over the face colour, with the classic colours of its palette.
    static QImage Drawn(QWidget* widget)
    {
        QPalette colours = widget->palette();
        colours.setColor(QPalette::Window, kFace);
        colours.setColor(QPalette::Dark, kShadow);
        colours.setColor(QPalette::Light, kHighlight);
        colours.setColor(QPalette::WindowText, kText);
        widget->setPalette(colours);
        widget->setAutoFillBackground(true);
        return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(Looks, TheFramesCaptionSitsOnItsTopLineAboveTheLabels)
{
    auto* frame = Get<QGroupBox>("Frame1");
    const QImage image = Drawn(frame);
    const QFontMetrics metrics(frame->font());
    const int line = metrics.height() / 2;
    const int captionEnd = 8 + metrics.horizontalAdvance(frame->title());
    const int labelsTop = Get("Label2")->y();
    ASSERT_LT(captionEnd + 10, image.width());

    // Left of the caption and right of it, the top line: shadow over highlight, face above.
    for (const int x : {2, 5, captionEnd + 3, image.width() - 4}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(image.pixel(x, line), kShadow);
        EXPECT_EQ(image.pixel(x, line + 1), kHighlight);
        for (int y = 0; y < line; ++y) EXPECT_EQ(image.pixel(x, y), kFace) << "row " << y;
    }
    // Under the caption the line gives way to the text, whose ink lies above and below it.
    int lineUnderCaption = 0;
    for (int x = 8; x < captionEnd; ++x) lineUnderCaption += image.pixel(x, line) == kShadow;
    EXPECT_LT(lineUnderCaption, (captionEnd - 8) / 4);
    const QImage caption = image.copy(8, 0, captionEnd - 8, metrics.height());
    const std::vector<int> inked = InkedRows(caption, 0, caption.height() - 1, kFace);
    ASSERT_FALSE(inked.empty());
    EXPECT_LT(inked.front(), line);
    EXPECT_GT(inked.back(), line + 1);
    // Between the caption and the first row of labels, only the face inside the frame's sides.
    ASSERT_GT(labelsTop, metrics.height());
    const QImage inside = image.copy(2, metrics.height(), image.width() - 4, labelsTop - metrics.height());
    EXPECT_TRUE(InkedRows(inside, 0, inside.height() - 1, kFace).empty());
}

TEST_F(Looks, LabelsShowOnlyWholeLinesAndEndACutNameInAnEllipsis)
{
    testing::ClickEntry(Get<platform::FileList>("FileListBox"), kLongName);
    const QString path = QDir::toNativeSeparators(QDir(testing::Q(data)).filePath(kLongName));
    const struct {
        const char* label;
        QString whole;
    } cases[] = {{"Label6", path}, {"filename", kLongName}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto* label = Get<platform::Label>(c.label);
        EXPECT_EQ(label->accessibleName(), c.whole);
        EXPECT_EQ(TipText(label->toolTip()), c.whole);
        EXPECT_TRUE(label->text().endsWith(QChar(0x2026))) << label->text().toStdString();

        // As many lines as fit whole, and under the last one (below its letters' descent) no
        // ink of a line cut by the label's bottom edge.
        const QImage image = Drawn(label);
        const QFontMetrics metrics = label->fontMetrics();
        const int lineHeight = std::max(metrics.lineSpacing(), metrics.height());
        const int wholeLines = image.height() / lineHeight;
        EXPECT_EQ(label->text().count(QLatin1Char('\n')) + 1, wholeLines);
        const std::vector<int> inked = InkedRows(image, 0, image.height() - 1, kFace);
        ASSERT_FALSE(inked.empty());
        EXPECT_LE(inked.back(), wholeLines * lineHeight + 1);
        EXPECT_GE(inked.back(), (wholeLines - 1) * lineHeight);  // the last whole line is used
    }
}

// The tooltip of a name too long for its place wraps inside the screen, so that its end shows.
TEST_F(Looks, TooltipsOfLongNamesStayOnTheScreen)
{
#ifdef _WIN32
    // Under Wine the offscreen platform has none of the system's faces, so a wrapped tip's width is
    // measured with text the screen never shows (it came out 2 px past the edge there).
    if (QGuiApplication::platformName() != QLatin1String("windows")) {
        GTEST_SKIP() << "a tip's text is measured with the system's faces only on the Windows platform";
    }
#endif
    auto* list = Get<platform::FileList>("FileListBox");
    testing::ClickEntry(list, kLongName);
    const QModelIndex entry = list->model()->index(list->ListIndex(), 0);
    const struct {
        const char* name;
        QWidget* widget;
        QPoint at;
    } cases[] = {
        {"the file list", list->viewport(), list->visualRect(entry).center()},
        {"the FileName label", Get("filename"), Get("filename")->rect().center()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QHelpEvent help(QEvent::ToolTip, c.at, c.widget->mapToGlobal(c.at));
        QApplication::sendEvent(c.widget, &help);
        ASSERT_TRUE(testing::WaitFor([] { return ShownTip() != nullptr; }));
        QWidget* tip = ShownTip();
        const QRect screen = tip->screen()->geometry();
        const QRect frame = tip->frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << frame.width() << "x" << frame.height() << " at " << frame.x() << ","
                                            << frame.y() << " on a screen of " << screen.width() << "x"
                                            << screen.height() << " at " << screen.x() << "," << screen.y();
        QToolTip::hideText();
        ASSERT_TRUE(testing::WaitFor([] { return ShownTip() == nullptr; }));
    }
}

TEST_F(Looks, ANameTooLongForTheFileListIsCutInTheMiddle)
{
#ifdef _WIN32
    GTEST_SKIP() << "under Wine the offscreen platform draws the list's entries as boxes of missing glyphs, "
                    "so the ends of two names look alike";
#endif
    auto* list = Get<platform::FileList>("FileListBox");
    ASSERT_EQ(list->ListCount(), 3);  // a.txt, then the two long names
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    const QImage image = Drawn(list->viewport());
    QImage rows[2];
    for (int row : {1, 2}) {
        const QModelIndex entry = list->model()->index(row, 0);
        EXPECT_EQ(TipText(entry.data(Qt::ToolTipRole).toString()), list->List(row));
        rows[row - 1] = image.copy(list->visualRect(entry));
    }
    // The two names differ only in their last letters, which show at the right end of each row.
    const int width = list->viewport()->width();
    const int end = width / 4;
    EXPECT_EQ(rows[0].copy(0, 0, end, rows[0].height()), rows[1].copy(0, 0, end, rows[1].height()));
    EXPECT_NE(rows[0].copy(width - end, 0, end, rows[0].height()), rows[1].copy(width - end, 0, end, rows[1].height()));
}

TEST_F(Looks, TheAboutWindowGivesTheVersionInFourParts)
{
    frmAbout* about = frmAbout::ShowAbout();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    const QString caption = Child<platform::Label>(about, "lbv")->Caption();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Version \\d+\\.\\d+\\.\\d+\\.\\d+$")).match(caption).hasMatch())
        << caption.toStdString();
}

}  // namespace
}  // namespace corvane
