// A label's caption in either direction: where it starts in its field, by its pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include "platform/SimpleControls.h"
#include "support/WineFonts.h"

namespace corvane::platform {
namespace {

// The first and last columns of `label` with any dark pixel, as painted.
std::pair<int, int> InkColumns(Label& label)
{
    const QImage image = label.grab().toImage();
    int first = image.width();
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) >= 128) continue;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    }
    return {first, last};
}

// A name in a right-to-left script starts where the window's text starts, as a left-to-right
// name does: at the left in a left-to-right window, at the right in a right-to-left one.
TEST(Label, ACaptionStartsWhereTheWindowsTextStartsWhateverItsDirection)
{
    CORVANE_SKIP_TEXT_METRICS_ON_WINDOWS();
    const struct {
        const char* name;
        QString caption;
        Qt::LayoutDirection window;
        bool atLeft;
    } cases[] = {
        {"Arabic in a left-to-right window", QString::fromUtf8("العربية.txt"), Qt::LeftToRight, true},
        {"Hebrew in a left-to-right window", QString::fromUtf8("עברית.txt"), Qt::LeftToRight, true},
        {"Latin in a left-to-right window", QStringLiteral("latin.txt"), Qt::LeftToRight, true},
        {"Arabic in a right-to-left window", QString::fromUtf8("العربية.txt"), Qt::RightToLeft, false},
        {"Latin in a right-to-left window", QStringLiteral("latin.txt"), Qt::RightToLeft, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        window.setLayoutDirection(c.window);
        window.resize(400, 60);
        auto* label = new Label(c.caption, &window);
        label->setGeometry(10, 10, 300, 33);
        label->Fit();
        const auto [first, last] = InkColumns(*label);
        ASSERT_LE(first, last) << "nothing painted";
        const int margin = 6;
        if (c.atLeft) {
            EXPECT_LE(first, margin);
            EXPECT_LT(last, label->width() / 2);
        } else {
            EXPECT_GE(last, label->width() - 1 - margin);
            EXPECT_GT(first, label->width() / 2);
        }
    }
}

}  // namespace
}  // namespace corvane::platform
