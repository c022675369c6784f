// Every window's text as the platform draws it: each font at the size its table gives, each
// caption inside its control and clear of its neighbours, and every letter drawn. Under Wine,
// tests/ui/on-display.sh runs these on Qt's Windows platform with Windows' own faces at 96 and
// 144 dots per inch, and holds the width of a space against plain GDI's.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <limits>
#include <string>
#include <vector>

#include "platform/SimpleControls.h"
#include "platform/hosted/StdFont.h"
#include "support/MainWindowFixture.h"
#include "ui/about/frmAbout.h"
#include "ui/button/Mnemonic.h"
#include "ui/button/ZelXpButton.h"
#include "ui/shared/ProgressWindow.h"
#include "ui/viewers/FolderViewer.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane {
namespace {

// One piece of text on a window: what it says, the font it is drawn in, the room its control
// gives it (in the window's pixels) and whether it may take several lines.
struct Caption {
    std::string where;  // window/control, for the failure message
    QString text;
    QFont font;
    QRect room;
    bool wraps = false;
    QWidget* control = nullptr;
};

std::vector<Caption> CaptionsOf(platform::Form* window)
{
    std::vector<Caption> captions;
    const auto where = [window](QWidget* control) {
        return (window->objectName() + QLatin1Char('/') + control->objectName()).toStdString();
    };
    for (auto* label : window->findChildren<platform::Label*>()) {
        if (!label->isVisible() || label->Caption().isEmpty()) continue;
        captions.push_back({where(label), label->Caption(), label->font(), label->geometry(), label->wordWrap(), label});
    }
    for (auto* frame : window->findChildren<QGroupBox*>()) {
        const int margin = platform::Frame::kCaptionLeft;
        const QRect room(frame->x() + margin, frame->y(), frame->width() - 2 * margin, frame->height());
        captions.push_back({where(frame), frame->title(), frame->font(), room, false, frame});
    }
    for (auto* button : window->findChildren<ZelXpButton*>()) {
        // Inside the one-pixel border.
        captions.push_back({where(button), ParseMnemonic(button->Caption()).Text,
                            platform::ToQFont(button->Font()), button->geometry().adjusted(1, 1, -1, -1), true,
                            button});
    }
    return captions;
}

// The rectangle the caption's text takes when drawn from its room's top left corner.
QRect TextRect(const Caption& caption)
{
    const QFontMetrics metrics(caption.font, caption.control);
    const int flags = Qt::AlignLeft | Qt::AlignTop | (caption.wraps ? Qt::TextWordWrap : 0);
    const QRect unbounded(caption.room.topLeft(), QSize(caption.room.width(), std::numeric_limits<int>::max() / 2));
    return metrics.boundingRect(unbounded, flags, caption.text);
}

// `text` drawn in black on white by Qt in `font`, at `ratio` device pixels to a pixel.
QImage DrawnByQt(const QString& text, const QFont& font, qreal ratio)
{
    const QFontMetrics metrics(font);
    QImage image(QSize(metrics.horizontalAdvance(text) + 8, metrics.height() + 4) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(4, 2 + metrics.ascent()), text);
    return image;
}

// The first and last column of `image` with any ink (a pixel clearly darker than the white
// ground: a thin stroke smoothed at the edge is light grey), or {-1, -1}.
std::pair<int, int> InkedColumns(const QImage& image)
{
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qGray(image.pixel(x, y)) < 224) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

#ifdef _WIN32
// How wide plain GDI lays `text` out in the face Qt chose for `font`, at the same height, in
// device pixels: Windows' own measure.
int GdiWidth(const QString& text, const QFont& font, qreal ratio)
{
    const QFontInfo chosen(font);
    const std::wstring face = chosen.family().toStdWString();
    HFONT gdiFont = CreateFontW(-qRound(chosen.pixelSize() * ratio), 0, 0, 0, chosen.bold() ? FW_BOLD : FW_NORMAL,
                                FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH, face.c_str());
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ before = SelectObject(dc, gdiFont);
    const std::wstring wide = text.toStdWString();
    SIZE extent{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    SelectObject(dc, before);
    DeleteObject(gdiFont);
    DeleteDC(dc);
    return extent.cx;
}
#endif

class WindowText : public testing::MainWindowUi {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        // Under Wine the offscreen platform has none of the system's faces; on-display.sh runs
        // these on the Windows platform (WindowText.OnWindows.*).
        if (QGuiApplication::platformName() != QLatin1String("windows")) {
            GTEST_SKIP() << "Windows' text is checked on the Windows platform, by WindowText.OnWindows.*";
        }
#endif
        MainWindowUi::SetUp();
    }

    // Every window of the program, shown, with text in every line of the progress window.
    std::vector<platform::Form*> Windows()
    {
        auto* progress = new ProgressWindow;
        progress->SetFile(Coding::Encode, QStringLiteral("report.pdf"), QStringLiteral("Encoded File(s)"), 2, 5);
        progress->StartCounting();
        progress->SetProgress(1200000000, 3000000000, RateEstimate{125829120.0, 15.0});  // 120 MiB/s, 15 s left
        progress->ShowOver(window);
        std::vector<platform::Form*> windows{window, FolderViewer::ShowEncoded(), FolderViewer::ShowDecoded(),
                                              frmAbout::ShowAbout(), progress};
        for (platform::Form* form : windows) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(form)) << form->objectName().toStdString();
        }
        return windows;
    }
};

TEST_F(WindowText, EveryFontHasTheSizeItsTableGives)
{
    for (platform::Form* form : Windows()) {
        for (const Caption& caption : CaptionsOf(form)) {
            SCOPED_TRACE(caption.where);
            const QFontInfo drawn(caption.font);
            const double dpi = caption.control->logicalDpiY();
            // 8.25 pt is an 11 px em at 96 dots per inch.
            EXPECT_EQ(drawn.pixelSize(), qRound(caption.font.pointSizeF() * dpi / 72))
                << "'" << drawn.family().toStdString() << "' for '" << caption.font.families().join(',').toStdString()
                << "' at " << caption.font.pointSizeF() << " pt on " << QGuiApplication::platformName().toStdString()
                << " with " << QFontDatabase::families().size() << " faces";
        }
    }
}

TEST_F(WindowText, EveryCaptionFitsItsControlAndLeavesItsNeighboursAlone)
{
    for (platform::Form* form : Windows()) {
        const std::vector<Caption> captions = CaptionsOf(form);
        for (const Caption& caption : captions) {
            SCOPED_TRACE(caption.where + ": \"" + caption.text.toStdString() + "\"");
            const QRect text = TextRect(caption);
            EXPECT_LE(text.width(), caption.room.width());
            EXPECT_LE(text.height(), caption.room.height());
            for (const Caption& other : captions) {
                if (other.control == caption.control || other.control->parentWidget() != caption.control->parentWidget())
                    continue;
                EXPECT_FALSE(text.intersects(TextRect(other))) << "over the text of " << other.where;
            }
        }
    }
}

TEST_F(WindowText, EveryLetterIsDrawn)
{
    for (platform::Form* form : Windows()) {
        const qreal ratio = form->devicePixelRatioF();
        for (const Caption& caption : CaptionsOf(form)) {
            SCOPED_TRACE(caption.where + ": \"" + caption.text.toStdString() + "\"");
            for (const QChar letter : caption.text) {
                if (letter.isSpace()) continue;
                EXPECT_GE(InkedColumns(DrawnByQt(letter, caption.font, ratio)).first, 0)
                    << "'" << QString(letter).toStdString() << "' draws nothing";
            }
#ifdef _WIN32
            // A space as wide as Windows makes it in the same face and size, never a sliver.
            if (caption.text.contains(QLatin1Char(' '))) {
                const qreal space = QFontMetricsF(caption.font).horizontalAdvance(QLatin1Char(' ')) * ratio;
                EXPECT_NEAR(space, GdiWidth(QStringLiteral(" "), caption.font, ratio), 1.0)
                    << "in " << QFontInfo(caption.font).family().toStdString();
            }
#endif
        }
    }
}

// Pictures of the windows as drawn here, for the documentation: only when
// CORVANE_WINDOW_PICTURES names a folder for them.
TEST_F(WindowText, PicturesOfEveryWindow)
{
    const QString pictures = qEnvironmentVariable("CORVANE_WINDOW_PICTURES");
    if (pictures.isEmpty()) GTEST_SKIP() << "CORVANE_WINDOW_PICTURES names no folder";
    const QString scale = QString::number(qRound(QGuiApplication::primaryScreen()->devicePixelRatio() * 100));
    for (platform::Form* form : Windows()) {
        const QString path = pictures + QLatin1Char('/') + form->objectName() + QLatin1Char('-') + scale + ".png";
        EXPECT_TRUE(form->grab().save(path)) << path.toStdString();
    }
}

}  // namespace
}  // namespace corvane
