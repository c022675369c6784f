// The drawing calls paint exactly the pixels they name, into a small image.
#include "support/WineFonts.h"
#include "platform/hosted/Gdi.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>

#include <functional>
#include <string>

namespace corvane::platform {
namespace {

constexpr OleColor kWhite = Rgb(255, 255, 255);
constexpr OleColor kInk = Rgb(10, 20, 30);

// The image as rows of '.' (white) and '#' (any other colour), one line per row.
std::string Picture(const QImage& image)
{
    std::string rows;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) rows += image.pixel(x, y) == qRgb(255, 255, 255) ? '.' : '#';
        rows += '\n';
    }
    return rows;
}

QImage Blank(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    return image;
}

struct PictureCase {
    const char* name;
    std::function<void(Painter&)> draw;
    const char* expected;  // 6 x 6
};

class DrawingPictures : public ::testing::TestWithParam<PictureCase> {};

TEST_P(DrawingPictures, PaintExactlyTheNamedPixels)
{
    QImage image = Blank(6, 6);
    Painter painter(image, QFont());
    GetParam().draw(painter);
    EXPECT_EQ(Picture(image), GetParam().expected) << GetParam().name;
}

// At two device pixels to a pixel, every pixel of the picture is a 2 x 2 square: lines, pens,
// fills and single pixels scale, and clipping works on the same pixels.
TEST_P(DrawingPictures, PaintEachNamedPixelAsASquareOfDevicePixelsAtRatioTwo)
{
    QImage image = Blank(12, 12);
    image.setDevicePixelRatio(2);
    Painter painter(image, QFont());
    GetParam().draw(painter);
    QImage halved(6, 6, QImage::Format_RGB32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            if (x % 2 == 0 && y % 2 == 0) halved.setPixel(x / 2, y / 2, image.pixel(x, y));
            ASSERT_EQ(image.pixel(x, y), image.pixel(x & ~1, y & ~1)) << GetParam().name << ": device pixel " << x << "," << y;
        }
    EXPECT_EQ(Picture(halved), GetParam().expected) << GetParam().name;
}

void Line(Painter& painter, int width, int x0, int y0, int x1, int y1)
{
    painter.DrawLine({x0, y0}, {x1, y1}, kInk, width);
}

INSTANTIATE_TEST_SUITE_P(
    Primitives, DrawingPictures,
    ::testing::Values(
        PictureCase{"horizontal line stops before its end", [](auto& dc) { Line(dc, 1, 1, 2, 4, 2); },
                    "......\n......\n.###..\n......\n......\n......\n"},
        PictureCase{"right-to-left line stops before its end", [](auto& dc) { Line(dc, 1, 4, 2, 1, 2); },
                    "......\n......\n..###.\n......\n......\n......\n"},
        PictureCase{"a one-pixel segment paints its start", [](auto& dc) { Line(dc, 1, 3, 3, 3, 4); },
                    "......\n......\n......\n...#..\n......\n......\n"},
        PictureCase{"a line to its own start paints nothing", [](auto& dc) { Line(dc, 1, 3, 3, 3, 3); },
                    "......\n......\n......\n......\n......\n......\n"},
        PictureCase{"diagonal line", [](auto& dc) { Line(dc, 1, 0, 0, 4, 4); },
                    "#.....\n.#....\n..#...\n...#..\n......\n......\n"},
        PictureCase{"two-pixel pen covers the row above too", [](auto& dc) { Line(dc, 2, 1, 3, 5, 3); },
                    "......\n......\n.####.\n.####.\n......\n......\n"},
        PictureCase{"four-pixel pen covers two rows above and one below", [](auto& dc) { Line(dc, 4, 0, 3, 6, 3); },
                    "......\n######\n######\n######\n######\n......\n"},
        PictureCase{"two-pixel vertical segment covers the column to its left",
                    [](auto& dc) { Line(dc, 2, 2, 1, 2, 2); }, "......\n.##...\n......\n......\n......\n......\n"},
        PictureCase{"pixels outside the image are clipped", [](auto& dc) { Line(dc, 4, -3, 0, 9, 0); },
                    "######\n######\n......\n......\n......\n......\n"},
        PictureCase{"fill covers right and bottom exclusive",
                    [](auto& dc) { dc.FillRect(Rect{1, 1, 4, 3}, kInk); },
                    "......\n.###..\n.###..\n......\n......\n......\n"},
        PictureCase{"frame is the one-pixel edge inside the rectangle",
                    [](auto& dc) { dc.FrameRect(Rect{0, 1, 5, 5}, kInk); },
                    "......\n#####.\n#...#.\n#...#.\n#####.\n......\n"},
        PictureCase{"set pixel, and outside the image nothing",
                    [](auto& dc) {
                        dc.SetPixel({5, 0}, kInk);
                        dc.SetPixel({6, 0}, kInk);
                        dc.SetPixel({-1, 2}, kInk);
                    },
                    ".....#\n......\n......\n......\n......\n......\n"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Painter, ColoursAreWrittenAsRedGreenBlue)
{
    QImage image = Blank(2, 1);
    Painter painter(image, QFont());
    painter.SetPixel({0, 0}, 0x00743C00);  // 0x00BBGGRR
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(0, 60, 116));
}

TEST(SystemColors, ResolveThroughTheTableAndExplicitColoursPassThrough)
{
    const QPalette palette = QApplication::palette();
    EXPECT_EQ(TranslateColor(Rgb(1, 2, 3)), Rgb(1, 2, 3));
    EXPECT_EQ(TranslateColor(0x01030201u), Rgb(1, 2, 3));  // the top byte is not part of the colour
    EXPECT_EQ(TranslateColor(SystemColorValue(SystemColor::Window)), FromQColor(palette.color(QPalette::Active, QPalette::Base)));
    EXPECT_EQ(TranslateColor(SystemColorValue(SystemColor::ButtonFace)), FromQColor(palette.color(QPalette::Active, QPalette::Button)));
    EXPECT_EQ(TranslateColor(0x80000006u), Rgb(0, 0, 0));  // window frame
    EXPECT_EQ(TranslateColor(0x800000FFu), Rgb(0, 0, 0));  // no such number
    EXPECT_EQ(ToQRgb(Rgb(0, 60, 116)), qRgb(0, 60, 116));
}

class DrawText : public ::testing::Test {
protected:
    QImage image = Blank(60, 40);
    Painter painter{image, Font()};
    static QFont Font()
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        return font;
    }
    int LineHeight() const { return QFontMetrics(painter.Font(), &image).height(); }
    int Width(const char* text) const
    {
        return QFontMetrics(painter.Font(), &image).horizontalAdvance(QString::fromUtf8(text));
    }
    // The columns and rows that hold ink, as a rectangle with exclusive right and bottom.
    Rect Ink() const
    {
        Rect ink{image.width(), image.height(), -1, -1};
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) == qRgb(255, 255, 255)) continue;
                ink = Rect{std::min(ink.Left, x), std::min(ink.Top, y), std::max(ink.Right, x + 1),
                           std::max(ink.Bottom, y + 1)};
            }
        return ink;
    }
};

TEST_F(DrawText, MeasuringGivesTheHeightOfTheWrappedLinesAndDrawsNothing)
{
    CORVANE_SKIP_TEXT_METRICS_ON_WINDOWS();
    const auto before = image;
    EXPECT_EQ(painter.TextHeight(QStringLiteral("Go"), 60, TextWrapping::Wrap), LineHeight());
    EXPECT_EQ(painter.TextHeight(QStringLiteral("Decode Selected File"), Width("Decode") + 1, TextWrapping::Wrap),
              3 * LineHeight());
    EXPECT_EQ(painter.TextHeight(QStringLiteral("Decode Selected File"), Width("Decode") + 1, TextWrapping::DontWrap),
              LineHeight());
    EXPECT_EQ(painter.TextHeight(QStringLiteral("Unbreakable"), Width("Unb"), TextWrapping::Wrap), LineHeight())
        << "a word wider than the rectangle stays whole";
    EXPECT_EQ(image, before);
}

TEST_F(DrawText, CentresEachLineAndStaysInsideItsRectangle)
{
    const Rect box{10, 12, 50, 12 + LineHeight()};
    painter.DrawText(box, QStringLiteral("II"), kInk, TextAlignment::Center, TextWrapping::Wrap);
    const Rect ink = Ink();
    ASSERT_LT(ink.Left, ink.Right);
    EXPECT_GE(ink.Left, box.Left);
    EXPECT_LE(ink.Right, box.Right);
    EXPECT_GE(ink.Top, box.Top);
    EXPECT_LE(ink.Bottom, box.Bottom);
    // Text is smoothed: every inked pixel is the ink or a blend of it with the white beneath, and
    // the hinted stems come close to the ink itself.
    int darkestRed = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            darkestRed = std::min(darkestRed, qRed(pixel));
            EXPECT_TRUE(qRed(pixel) >= 10 && qGreen(pixel) >= 20 && qBlue(pixel) >= 30 && qRed(pixel) <= qGreen(pixel) &&
                        qGreen(pixel) <= qBlue(pixel))
                << x << "," << y << " is no blend of the ink and white";
        }
    EXPECT_LE(darkestRed, 10 + (255 - 10) / 4);
    // The ink sits in the middle of the box to within the glyphs' side bearings.
    EXPECT_NEAR((ink.Left + ink.Right - 1) / 2.0, 30, 2.5);
}

TEST_F(DrawText, LeftAlignedTextStartsAtTheRectanglesLeftEdge)
{
    painter.DrawText(Rect{10, 0, 60, 20}, QStringLiteral("II"), kInk, TextAlignment::Left, TextWrapping::DontWrap);
    const Rect ink = Ink();
    ASSERT_LT(ink.Left, ink.Right);
    EXPECT_NEAR(ink.Left, 10, 2);
}

TEST_F(DrawText, ClipsToTheRectangle)
{
    painter.DrawText(Rect{0, 5, 60, 10}, QStringLiteral("Hg"), kInk, TextAlignment::Center,
                     TextWrapping::DontWrap);  // shorter than a line
    const Rect ink = Ink();
    ASSERT_LT(ink.Top, ink.Bottom);
    EXPECT_GE(ink.Top, 5);
    EXPECT_LE(ink.Bottom, 10);
}

TEST_F(DrawText, UnderlinesTheMarkedCharacter)
{
    const auto inkIn = [this](int top) {
        int ink = 0;
        for (int y = top; y < top + 20; ++y)
            for (int x = 0; x < 60; ++x) ink += image.pixel(x, y) != qRgb(255, 255, 255);
        return ink;
    };
    painter.DrawText(Rect{0, 0, 60, 20}, QStringLiteral("OK"), kInk, TextAlignment::Center, TextWrapping::Wrap);
    painter.DrawText(Rect{0, 20, 60, 40}, QStringLiteral("&OK"), kInk, TextAlignment::Center, TextWrapping::Wrap);
    const int plainInk = inkIn(0);
    const int markedInk = inkIn(20);
    EXPECT_GT(markedInk, plainInk);
    EXPECT_LE(markedInk - plainInk, Width("O") * 2);
}

}  // namespace
}  // namespace corvane::platform
