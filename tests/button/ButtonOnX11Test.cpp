// The button against a real X server: the pointer is moved for real (the server warps it and
// reports the moves and crossings), so hover and leave are seen as a person's pointer makes them.
// Run by CTest on a virtual display; skipped on any other platform.
#include "ButtonFixture.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTest>

namespace corvane::testing {
namespace {

class ButtonOnX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server (QT_QPA_PLATFORM=xcb)";
        window = std::make_unique<QWidget>();
        window->setGeometry(100, 100, 300, 200);
        button = new ZelXpButton(window.get());
        button->setGeometry(20, 60, 75, 23);
        Configure(button, QStringLiteral("&About"));
        RecordEvents(button, log);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(MoveTo(window->mapToGlobal(QPoint{250, 180})));
        log.clear();
    }
    void TearDown() override { QCursor::setPos(kOffEveryWindow); }

    // Warps the pointer and waits until the server's report of it has been handled, and the
    // crossing reports that follow it: the widget under the pointer knows it is there, or, off
    // every window, the window knows the pointer has left.
    bool MoveTo(QPoint global)
    {
        QCursor::setPos(global);
        return WaitFor([this, global] {
            if (QCursor::pos() != global) return false;
            QWidget* under = QApplication::widgetAt(global);
            return under ? under->underMouse() : !window->underMouse();
        });
    }
    bool Hot() { return WaitFor([this] { return button->Tracking() != PointerTracking::Away; }); }
    bool Away() { return WaitFor([this] { return button->Tracking() == PointerTracking::Away; }); }
    QPoint OnButton() const { return button->mapToGlobal(QPoint{37, 11}); }

    static constexpr QPoint kOffEveryWindow{900, 700};
    std::unique_ptr<QWidget> window;
    ZelXpButton* button = nullptr;
    QStringList log;
};

TEST_F(ButtonOnX11, APointerRestingOnTheButtonKeepsItHotAndLeavingEndsTheHover)
{
    ASSERT_TRUE(MoveTo(OnButton()));
    ASSERT_TRUE(Hot());
    // At rest for longer than the pointer's reports are trusted alone: the look must not change
    // in that time (the wait ends at once, failing, if it does).
    EXPECT_FALSE(QTest::qWaitFor([this] { return button->Look() != ButtonLook::Hot; }, 800));
    EXPECT_EQ(button->Look(), ButtonLook::Hot);
    EXPECT_FALSE(log.contains(QStringLiteral("MouseOut [normal]")));

    const struct {
        const char* away;
        QPoint where;
    } leaves[] = {
        {"beside the button in its window", window->mapToGlobal(QPoint{200, 71})},
        {"off every window of the program", kOffEveryWindow},
    };
    for (const auto& leave : leaves) {
        SCOPED_TRACE(leave.away);
        ASSERT_TRUE(MoveTo(OnButton()));
        ASSERT_TRUE(Hot());
        log.clear();
        ASSERT_TRUE(MoveTo(leave.where));
        EXPECT_TRUE(Away());
        EXPECT_TRUE(log.contains(QStringLiteral("MouseOut [normal]")));
    }
}

TEST_F(ButtonOnX11, AWindowOpeningUnderTheRestingPointerEndsTheHover)
{
    ASSERT_TRUE(MoveTo(OnButton()));
    ASSERT_TRUE(Hot());
    log.clear();

    QWidget cover;
    cover.setGeometry(QRect(OnButton() - QPoint{40, 40}, QSize{80, 80}));
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    EXPECT_TRUE(Away());
    // A late report of the warp onto the button may still add a move; the leave is one MouseOut.
    log.removeIf([](const QString& line) { return line.startsWith(QLatin1String("MouseMove")); });
    EXPECT_EQ(log, QStringList{QStringLiteral("MouseOut [normal]")});
}

}  // namespace
}  // namespace corvane::testing
