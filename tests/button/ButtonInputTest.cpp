// The button's events, looks and pointer tracking under real mouse, keyboard and focus input.
#include "ButtonFixture.h"

#include <QAccessible>
#include <QDialog>
#include <QTimer>

namespace corvane::testing {
namespace {

TEST_F(ButtonWindow, LeftClickRaisesDownUpClickAndShowsThePressedLookBetween)
{
    PointAt(button, Centre());
    Log();
    Click(button, Centre());
    EXPECT_EQ(Log(), Lines({"MouseDown 1 0 37,11 [pressed]", "MouseUp 1 0 37,11 [hot]", "Click [hot]"}));
}

TEST_F(ButtonWindow, RightClickDrawsNoPressedLookAndRaisesNoClick)
{
    PointAt(button, Centre());
    Log();
    Click(button, Centre(), Qt::RightButton);
    EXPECT_EQ(Log(), Lines({"MouseDown 2 0 37,11 [hot]", "MouseUp 2 0 37,11 [hot]"}));
}

TEST_F(ButtonWindow, DoubleClickRaisesClickOnceAndItsSecondPressAtZero)
{
    PointAt(button, Centre());
    Log();
    DoubleClick(button, Centre());
    EXPECT_EQ(Log(), Lines({"MouseDown 1 0 37,11 [pressed]", "MouseUp 1 0 37,11 [hot]", "Click [hot]",
                            "MouseDown 1 0 0,0 [pressed]", "MouseUp 1 0 37,11 [hot]"}));
}

TEST_F(ButtonWindow, SpaceAndEnterClickOnTheirRelease)
{
    // Key-down asks for the pressed look, which shows once the last click was a left-button or
    // keyboard one: not on a button never clicked.
    struct Row {
        Qt::Key key;
        int code;
        const char* lookWhileDown;
    };
    const Row rows[] = {{Qt::Key_Space, 32, "focused"}, {Qt::Key_Space, 32, "pressed"}, {Qt::Key_Return, 13, "pressed"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "key " << row.code << " expecting " << row.lookWhileDown);
        button->setFocus();
        Log();
        QTest::keyPress(button, row.key);
        const QString look = QString::fromUtf8(row.lookWhileDown);
        EXPECT_EQ(Log(), (QStringList{QStringLiteral("KeyDown %1 0 [%2]").arg(row.code).arg(look),
                                      QStringLiteral("KeyPress %1 [%2]").arg(row.code).arg(look)}));
        QTest::keyRelease(button, row.key);
        EXPECT_EQ(Log(), (QStringList{QStringLiteral("Click [focused]"), QStringLiteral("KeyUp %1 0 [focused]").arg(row.code)}));
    }
}

TEST_F(ButtonWindow, HoldingSpaceOrEnterClicksOnceOnTheRealRelease)
{
    struct Row {
        Qt::Key key;
        const char* text;
        int code;
        KeyRepeatReport report;
    };
    const Row rows[] = {{Qt::Key_Space, " ", 32, KeyRepeatReport::FlaggedPairs},
                        {Qt::Key_Return, "\r", 13, KeyRepeatReport::FlaggedPairs},
                        {Qt::Key_Space, " ", 32, KeyRepeatReport::PressesOnly},
                        {Qt::Key_Return, "\r", 13, KeyRepeatReport::PressesOnly}};
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);  // a keyboard click first, so that key-down shows the pressed look
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "key " << row.code
                                          << (row.report == KeyRepeatReport::FlaggedPairs ? " flagged pairs" : " presses only"));
        Log();
        HoldKey(button, row.key, QString::fromUtf8(row.text), 3, row.report);
        QStringList expected;
        for (int press = 0; press < 4; ++press)
            expected << QStringLiteral("KeyDown %1 0 [pressed]").arg(row.code) << QStringLiteral("KeyPress %1 [pressed]").arg(row.code);
        expected << QStringLiteral("Click [focused]") << QStringLiteral("KeyUp %1 0 [focused]").arg(row.code);
        EXPECT_EQ(Log(), expected);
    }
}

TEST_F(ButtonWindow, SpaceDownAndEnterUpOrTheReverseGiveNoClick)
{
    button->setFocus();
    Click(button, Centre());  // a left click first, so that key-down shows the pressed look
    Log();
    QTest::keyPress(button, Qt::Key_Space);
    QTest::keyRelease(button, Qt::Key_Return);
    QTest::keyPress(button, Qt::Key_Return);
    QTest::keyRelease(button, Qt::Key_Space);
    // No repaint on a key-up that does not click: the pressed look stays.
    EXPECT_EQ(Log(), Lines({"KeyDown 32 0 [pressed]", "KeyPress 32 [pressed]", "KeyUp 13 0 [pressed]",
                            "KeyDown 13 0 [pressed]", "KeyPress 13 [pressed]", "KeyUp 32 0 [pressed]"}));
}

TEST_F(ButtonWindow, HorizontalArrowsMoveTheFocusForwardAndVerticalOnesBack)
{
    struct Row {
        Qt::Key key;
        int code;
        ZelXpButton* ButtonWindow::*target;
    };
    const Row rows[] = {{Qt::Key_Right, 39, &ButtonWindow::last},
                        {Qt::Key_Left, 37, &ButtonWindow::last},
                        {Qt::Key_Down, 40, &ButtonWindow::first},
                        {Qt::Key_Up, 38, &ButtonWindow::first}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "key " << row.code);
        button->setFocus();
        Log();
        QTest::keyClick(button, row.key);
        EXPECT_TRUE(WaitFor([&] { return (this->*row.target)->hasFocus(); }));
        EXPECT_EQ(Log().value(0), QStringLiteral("KeyDown %1 0 [focused]").arg(row.code));
    }
}

TEST_F(ButtonWindow, AltWithTheAccessKeyClicksFromAnotherControl)
{
    EXPECT_TRUE(first->hasFocus());
    AltKey(first, Qt::Key_A);
    EXPECT_EQ(Log(), Lines({"Click [normal]"}));
    AltKey(first, Qt::Key_X);
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(ButtonWindow, PointerEnteringShowsHoverAndReportsTheFirstTwoMovesThenLeavingRaisesMouseOut)
{
    PointAt(button, {10, 10});
    EXPECT_EQ(Log(), Lines({"MouseOver [hot]", "MouseMove 0 0 10,10 [hot]"}));
    EXPECT_STREQ(TrackingName(button->Tracking()), "Hover");
    PointAt(button, {11, 10});
    EXPECT_EQ(Log(), Lines({"MouseMove 0 0 11,10 [hot]"}));
    EXPECT_STREQ(TrackingName(button->Tracking()), "HoverLatched");
    PointAt(button, {12, 10});
    EXPECT_TRUE(Log().isEmpty());

    PointAt(button, Outside());
    EXPECT_TRUE(Left());
    EXPECT_EQ(Log(), Lines({"MouseOut [normal]"}));

    PointAt(button, {10, 10});  // and again, as the first time
    EXPECT_EQ(Log(), Lines({"MouseOver [hot]", "MouseMove 0 0 10,10 [hot]"}));
}

TEST_F(ButtonWindow, ACutCornerPixelIsNotOverTheButton)
{
    PointAt(button, {0, 0});
    EXPECT_TRUE(Log().isEmpty());
    PointAt(button, {74, 22});
    EXPECT_TRUE(Log().isEmpty());
    PointAt(button, {1, 0});
    EXPECT_EQ(Log(), Lines({"MouseOver [hot]", "MouseMove 0 0 1,0 [hot]"}));
}

TEST_F(ButtonWindow, MovesWithTheRightButtonHeldChangeNoLookAndAreAllReported)
{
    PointAt(button, Centre());
    Press(button, Centre(), Qt::RightButton);
    Log();
    for (int x : {30, 31, 32}) PointAt(button, {x, 11});
    EXPECT_EQ(Log(), Lines({"MouseMove 2 0 30,11 [hot]", "MouseMove 2 0 31,11 [hot]", "MouseMove 2 0 32,11 [hot]"}));
    Release(button, {32, 11}, Qt::RightButton);
}

TEST_F(ButtonWindow, LeftDragInsideShowsThePressedLookUntilTheRelease)
{
    PointAt(button, Centre());
    Press(button, Centre());
    Log();
    PointAt(button, {30, 11});
    EXPECT_EQ(Log(), Lines({"MouseMove 1 0 30,11 [pressed]"}));
    EXPECT_STREQ(TrackingName(button->Tracking()), "HeldInside");
    Release(button, {30, 11});
    EXPECT_EQ(Log(), Lines({"MouseUp 1 0 30,11 [focused]", "Click [focused]"}));
    PointAt(button, Outside());
    EXPECT_TRUE(Left());
    EXPECT_EQ(Log(), Lines({"MouseOut [focused]"}));
}

TEST_F(ButtonWindow, ADragOutAndBackEndsAwayOnceThePointerHasLeft)
{
    PointAt(button, Centre());
    Press(button, Centre());
    Log();
    PointAt(button, Outside());  // dragged out: the timer notices the leave
    EXPECT_TRUE(Left());
    EXPECT_EQ(Log(), Lines({"MouseOut [focused]"}));

    PointAt(button, {30, 11});  // back in with the button held
    EXPECT_EQ(Log(), Lines({"MouseOver [pressed]", "MouseMove 1 0 30,11 [pressed]"}));
    EXPECT_STREQ(TrackingName(button->Tracking()), "HeldInside");

    PointAt(button, Outside());  // and out again
    EXPECT_TRUE(Left());
    EXPECT_EQ(Log(), Lines({"MouseMove 1 0 200,11 [focused]", "MouseOut [focused]"}));
    Release(button, Outside());
    EXPECT_EQ(Log(), Lines({"MouseUp 1 0 200,11 [focused]"}));

    PointAt(button, Centre());  // hover works as before
    EXPECT_EQ(Log(), Lines({"MouseOver [hot]", "MouseMove 0 0 37,11 [hot]"}));
}

TEST_F(ButtonWindow, TabbingInShowsPressedOnlyAfterALeftOrKeyboardClick)
{
    struct Row {
        const char* history;
        std::function<void(ButtonWindow&)> before;
        ButtonLook expected;
    };
    const Row rows[] = {
        {"never pressed", [](ButtonWindow&) {}, ButtonLook::Focused},
        {"left click", [](ButtonWindow& t) { Click(t.button, t.Centre()); }, ButtonLook::Pressed},
        {"right press after it", [](ButtonWindow& t) { Click(t.button, t.Centre(), Qt::RightButton); }, ButtonLook::Focused},
        {"access key", [](ButtonWindow& t) { AltKey(t.first, Qt::Key_A); }, ButtonLook::Pressed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.history);
        row.before(*this);
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Tab);
        EXPECT_TRUE(button->hasFocus());
        EXPECT_STREQ(LookName(button->Look()), LookName(row.expected));
        first->setFocus();
        EXPECT_STREQ(LookName(button->Look()), "normal");
    }
}

TEST_F(ButtonWindow, ForeHoverShowsOnlyAtTheNextRepaint)
{
    constexpr OleColor kRed = platform::Rgb(255, 0, 0);
    const auto hasRed = [this] {
        const QImage image = button->Image();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == qRgb(255, 0, 0)) return true;
        return false;
    };
    PointAt(button, Centre());
    const QImage before = button->Image();
    button->SetForeHover(kRed);
    EXPECT_EQ(button->Image(), before);
    EXPECT_EQ(button->ForeHover(), kRed);
    button->SetForeColor(button->ForeColor());  // any repaint while hovering
    EXPECT_TRUE(hasRed());
}

TEST_F(ButtonWindow, ADisabledButtonShowsItsLookAndHearsNothing)
{
    button->SetEnabled(false);
    EXPECT_STREQ(LookName(button->Look()), "disabled");
    PointAt(button, Centre());
    Click(button, Centre());
    AltKey(first, Qt::Key_A);
    EXPECT_TRUE(Log().isEmpty());
    EXPECT_STREQ(TrackingName(button->Tracking()), "Away");
    button->SetEnabled(true);
    EXPECT_STREQ(LookName(button->Look()), "normal");
}

TEST_F(ButtonWindow, ScreenReadersSeeAPushButtonNamedByItsCaptionAndCanPressIt)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("About"));
    QAccessibleActionInterface* actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    EXPECT_EQ(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()), QStringList{QStringLiteral("Alt+A")});
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(Log().isEmpty()) << "the press returns before the Click runs";
    EXPECT_TRUE(WaitFor([this] { return !log.isEmpty(); }));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Log(), Lines({"Click [normal]"}));
}

TEST_F(ButtonWindow, AnAccessiblePressReturnsWhileTheClicksModalBoxIsOpen)
{
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(button)->actionInterface();
    ASSERT_NE(actions, nullptr);
    bool boxShown = false;
    QObject::connect(button, &ZelXpButton::Click, [this, &boxShown] {
        QDialog box(window.get());
        box.setModal(true);
        QTimer::singleShot(0, &box, [&box, &boxShown] {
            boxShown = box.isVisible();
            box.reject();
        });
        box.exec();
    });
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(boxShown);
    EXPECT_TRUE(WaitFor([&] { return boxShown; }));
    EXPECT_EQ(Log(), Lines({"Click [normal]"}));
}

TEST_F(ButtonWindow, AnAccessiblePressOnADisabledButtonDoesNothing)
{
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(button)->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::pressAction());
    button->SetEnabled(false);  // disabled before the queued Click runs
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(Log().isEmpty());
}

}  // namespace
}  // namespace corvane::testing
