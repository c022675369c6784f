// The drawing calls paint exactly the pixels they name, into a small image.
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
    std::function<void(DeviceContext&)> draw;
    const char* expected;  // 6 x 6
};

class DrawingPictures : public ::testing::TestWithParam<PictureCase> {};

TEST_P(DrawingPictures, PaintExactlyTheNamedPixels)
{
    QImage image = Blank(6, 6);
    DeviceContext dc(&image);
    GetParam().draw(dc);
    EXPECT_EQ(Picture(image), GetParam().expected) << GetParam().name;
}

void Line(DeviceContext& dc, int width, int x0, int y0, int x1, int y1)
{
    SelectedPen pen(dc, CreatePen(PenStyle::Solid, width, kInk));
    dc.MoveToEx(x0, y0);
    dc.LineTo(x1, y1);
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
                    [](auto& dc) { dc.FillRect(Rect{1, 1, 4, 3}, CreateSolidBrush(kInk)); },
                    "......\n.###..\n.###..\n......\n......\n......\n"},
        PictureCase{"frame is the one-pixel edge inside the rectangle",
                    [](auto& dc) { dc.FrameRect(Rect{0, 1, 5, 5}, CreateSolidBrush(kInk)); },
                    "......\n#####.\n#...#.\n#...#.\n#####.\n......\n"},
        PictureCase{"set pixel, and outside the image nothing",
                    [](auto& dc) {
                        dc.SetPixel(5, 0, kInk);
                        dc.SetPixel(6, 0, kInk);
                        dc.SetPixel(-1, 2, kInk);
                    },
                    ".....#\n......\n......\n......\n......\n......\n"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(DeviceContext, SelectedPenIsRestoredAtTheEndOfItsScope)
{
    QImage image = Blank(4, 1);
    DeviceContext dc(&image);
    dc.SelectObject(CreatePen(PenStyle::Solid, 1, Rgb(1, 2, 3)));
    {
        SelectedPen pen(dc, CreatePen(PenStyle::Solid, 4, kInk));
    }
    const Pen previous = dc.SelectObject(Pen{});
    EXPECT_EQ(previous.Width, 1);
    EXPECT_EQ(previous.Color, Rgb(1, 2, 3));
}

TEST(DeviceContext, ColoursAreWrittenAsRedGreenBlue)
{
    QImage image = Blank(2, 1);
    DeviceContext dc(&image);
    dc.SetPixel(0, 0, 0x00743C00);  // 0x00BBGGRR
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

TEST(Mnemonics, MarkersUnderlineOneCharacterAndDoubledOnesShowAnAmpersand)
{
    struct Row {
        const char* caption;
        const char* shown;
        qsizetype underlined;
    };
    const Row rows[] = {
        {"&About", "About", 0},      {"E&xit", "Exit", 1},        {"Save && Exit", "Save & Exit", -1},
        {"a&&b&c", "a&bc", 3},       {"&&&x", "&x", 1},          {"x&", "x", -1},
        {"&", "", -1},               {"", "", -1},               {"&a&b", "ab", 0},
    };
    for (const auto& row : rows) {
        const auto parsed = ParseMnemonic(QString::fromUtf8(row.caption));
        EXPECT_EQ(parsed.Text, QString::fromUtf8(row.shown)) << row.caption;
        EXPECT_EQ(parsed.Underlined, row.underlined) << row.caption;
    }
}

class DrawText : public ::testing::Test {
protected:
    QImage image = Blank(60, 40);
    DeviceContext dc{&image};
    void SetUp() override
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        dc.SelectFont(font);
        dc.SetTextColor(kInk);
    }
    int LineHeight() const { return QFontMetrics(dc.Font(), &image).height(); }
    int Width(const char* text) const { return QFontMetrics(dc.Font(), &image).horizontalAdvance(QString::fromUtf8(text)); }
};

TEST_F(DrawText, MeasuringGivesTheHeightOfTheWrappedLinesAndDrawsNothing)
{
    const auto before = image;
    Rect one{0, 0, 60, 40};
    EXPECT_EQ(dc.DrawTextA(QStringLiteral("Go"), -1, one, DrawTextFormat::CalcRect | DrawTextFormat::WordBreak), LineHeight());
    EXPECT_EQ(one.Bottom, LineHeight());
    Rect narrow{0, 0, Width("Decode") + 1, 40};
    EXPECT_EQ(dc.DrawTextA(QStringLiteral("Decode Selected File"), -1, narrow,
                           DrawTextFormat::CalcRect | DrawTextFormat::WordBreak | DrawTextFormat::Center),
              3 * LineHeight());
    EXPECT_EQ(image, before);
}

TEST_F(DrawText, CentresEachLineAndStaysInsideItsRectangle)
{
    Rect box{10, 12, 50, 12 + LineHeight()};
    dc.DrawTextA(QStringLiteral("II"), -1, box, DrawTextFormat::WordBreak | DrawTextFormat::Center);
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(255, 255, 255)) continue;
            EXPECT_TRUE(x >= 10 && x < 50 && y >= box.Top && y < box.Bottom) << x << "," << y;
            EXPECT_EQ(QColor(image.pixel(x, y)), QColor(10, 20, 30));
            left = std::min(left, x);
            right = std::max(right, x);
        }
    ASSERT_GE(right, left);
    // The ink sits in the middle of the box to within the glyphs' side bearings.
    EXPECT_NEAR((left + right) / 2.0, 30, 2.5);
}

TEST_F(DrawText, ClipsToTheRectangle)
{
    Rect box{0, 5, 60, 10};  // shorter than a line
    dc.DrawTextA(QStringLiteral("Hg"), -1, box, DrawTextFormat::Center);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                EXPECT_TRUE(y >= 5 && y < 10) << x << "," << y;
            }
}

TEST_F(DrawText, UnderlinesTheMarkedCharacter)
{
    Rect plain{0, 0, 60, 20};
    Rect marked{0, 20, 60, 40};
    dc.DrawTextA(QStringLiteral("OK"), -1, plain, DrawTextFormat::Center);
    dc.DrawTextA(QStringLiteral("&OK"), -1, marked, DrawTextFormat::Center);
    int plainInk = 0, markedInk = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            plainInk += image.pixel(x, y) != qRgb(255, 255, 255);
            markedInk += image.pixel(x, y + 20) != qRgb(255, 255, 255);
        }
    EXPECT_GT(markedInk, plainInk);
    EXPECT_LE(markedInk - plainInk, Width("O") * 2);
}

}  // namespace
}  // namespace corvane::platform
