// The button on a screen of two device pixels to a pixel: its face is drawn at the device's
// resolution, not enlarged from the one-to-one image, and its shape stays in pixels.
#include "support/WineFonts.h"
#include "ButtonFixture.h"
#include "FaceColours.h"

#include "ui/button/ButtonFace.h"

namespace {

// The whole binary runs at scale 2: this is set before main() creates the application.
const bool kScaledScreen = [] {
    qputenv("QT_SCALE_FACTOR", "2");
    return true;
}();

}  // namespace

namespace corvane::testing {
namespace {

using namespace FaceColours;

QRgb ToRgb(OleColor colour)
{
    const OleColor resolved = platform::TranslateColor(colour);
    return qRgb(platform::RedOf(resolved), platform::GreenOf(resolved), platform::BlueOf(resolved));
}

class ScaledButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kScaledScreen);
        window.setGeometry(100, 100, 200, 100);
        button = new ZelXpButton(&window);
        button->setObjectName(QStringLiteral("cmdAbout"));
        button->setGeometry(20, 20, 75, 23);
        Configure(button, QStringLiteral("&About"));
        ASSERT_TRUE(ShowWindow(&window));
        ASSERT_EQ(button->devicePixelRatioF(), 2.0) << "the screen is not scaled";
    }

    QWidget window;
    ZelXpButton* button = nullptr;
};

TEST_F(ScaledButton, TheSurfaceHoldsTwiceThePixelsEachWay)
{
    const QImage& image = button->Image();
    EXPECT_EQ(image.size(), QSize(150, 46));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
    EXPECT_EQ(button->ScaleWidth(), 75);
    EXPECT_EQ(button->ScaleHeight(), 23);
}

TEST_F(ScaledButton, LinesAndCornerPixelsBecomeTwoByTwoSquares)
{
    struct Row {
        int x, y;  // in pixels
        OleColor expected;
        const char* what;
    };
    const Row rows[] = {
        {5, 0, Border, "top edge"},           {74, 10, Border, "right edge"},        {5, 22, Border, "bottom edge"},
        {0, 1, CornerOuter, "top left outer"}, {1, 1, CornerInner, "top left inner"}, {73, 21, CornerInner, "bottom right inner"},
        {5, 3, FaceStart, "first gradient row"},
    };
    ASSERT_STREQ(LookName(button->Look()), "focused");  // the window's only control; these rows are as in the normal look
    const QImage& image = button->Image();
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.what << " at " << row.x << "," << row.y);
        for (const QPoint device : {QPoint(2 * row.x, 2 * row.y), QPoint(2 * row.x + 1, 2 * row.y),
                                    QPoint(2 * row.x, 2 * row.y + 1), QPoint(2 * row.x + 1, 2 * row.y + 1)})
            EXPECT_EQ(QColor(image.pixel(device)), QColor(ToRgb(row.expected))) << "device pixel " << device.x() << "," << device.y();
    }
}

TEST_F(ScaledButton, TheCaptionIsDrawnAtTheDevicesResolution)
{
    CORVANE_SKIP_TEXT_METRICS_ON_WINDOWS();
    // An enlarged one-to-one image repeats each pixel in a 2 x 2 square; text drawn for the device
    // does not.
    const QImage& image = button->Image();
    int unevenSquares = 0;
    for (int y = 6; y < 40; y += 2)
        for (int x = 8; x < 142; x += 2) {
            const QRgb first = image.pixel(x, y);
            unevenSquares += image.pixel(x + 1, y) != first || image.pixel(x, y + 1) != first ||
                             image.pixel(x + 1, y + 1) != first;
        }
    EXPECT_GT(unevenSquares, 10);
}

TEST_F(ScaledButton, TheShapeStaysInPixels)
{
    QRegion expected(0, 0, 75, 23);
    for (const QPoint corner : {QPoint(0, 0), QPoint(0, 22), QPoint(74, 0), QPoint(74, 22)})
        expected -= QRegion(corner.x(), corner.y(), 1, 1);
    EXPECT_EQ(button->mask(), expected);
}

TEST_F(ScaledButton, HoverIsFollowedInPixels)
{
    PointAt(button, {37, 11});
    EXPECT_STREQ(LookName(button->Look()), "hot");
    const QImage& image = button->Image();
    EXPECT_EQ(QColor(image.pixel(2 * 2, 2 * 1)), QColor(ToRgb(HotTop1)));
}

}  // namespace
}  // namespace corvane::testing
