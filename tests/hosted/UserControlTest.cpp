// The host's notifications reach a control as its input rules say, with real input.
#include "platform/hosted/ChildTimer.h"
#include "platform/hosted/UserControl.h"

#include "hosted/HostedInput.h"

#include <gtest/gtest.h>

#include <QLineEdit>

#include <memory>

namespace corvane::platform {
namespace {

using namespace corvane::testing;

// Writes each notification as one line: its name and its arguments.
class Recorder : public UserControl {
public:
    using UserControl::UserControl;
    QStringList log;

protected:
    void Log(const QString& line) { log << line; }
    static QString Mouse(const char* name, short b, short s) { return QStringLiteral("%1 %2 %3").arg(name).arg(b).arg(s); }
    std::optional<corvane::Error> UserControl_ReadProperties(const PropertyBag& bag) override
    {
        const auto caption = ToText(bag.ReadProperty(QStringLiteral("Caption"), QString()));
        const auto enabled = ToBoolean(bag.ReadProperty(QStringLiteral("Enabled"), true));
        if (auto error = FirstError(caption, enabled)) return error;
        Log(QStringLiteral("ReadProperties ") + *caption);
        return std::nullopt;
    }
    void UserControl_Resize() override { Log(QStringLiteral("Resize %1x%2").arg(width()).arg(height())); }
    void UserControl_Show() override { Log(QStringLiteral("Show")); }
    void UserControl_MouseDown(short& b, short& s, float&, float&) override { Log(Mouse("MouseDown", b, s)); }
    void UserControl_MouseMove(short& b, short& s, float& x, float& y) override
    {
        Log(Mouse("MouseMove", b, s) + QStringLiteral(" %1,%2").arg(x).arg(y));
    }
    void UserControl_MouseUp(short& b, short& s, float&, float&) override { Log(Mouse("MouseUp", b, s)); }
    void UserControl_Click() override { Log(QStringLiteral("Click")); }
    void UserControl_DblClick() override { Log(QStringLiteral("DblClick")); }
    void UserControl_KeyDown(short& k, short& s) override { Log(QStringLiteral("KeyDown %1 %2").arg(k).arg(s)); }
    void UserControl_KeyPress(short& a) override { Log(QStringLiteral("KeyPress %1").arg(a)); }
    void UserControl_KeyUp(short& k, short& s) override { Log(QStringLiteral("KeyUp %1 %2").arg(k).arg(s)); }
    void UserControl_GotFocus() override { Log(QStringLiteral("GotFocus")); }
    void UserControl_LostFocus() override { Log(QStringLiteral("LostFocus")); }
    void UserControl_AccessKeyPress(short& a) override { Log(QStringLiteral("AccessKeyPress %1").arg(a)); }
};

// A window holding an editor, the control and another editor, in this tab order.
class HostedWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->setGeometry(100, 100, 200, 160);
        before = new QLineEdit(window.get());
        before->setGeometry(10, 5, 100, 20);
        control = new Recorder(window.get());
        control->setObjectName(QStringLiteral("cmdTest"));
        control->setGeometry(20, 40, 60, 30);
        after = new QLineEdit(window.get());
        after->setGeometry(10, 120, 100, 20);
        ASSERT_TRUE(ShowWindow(window.get()));
        before->setFocus();
        control->log.clear();
    }
    QStringList Log() { return std::exchange(control->log, {}); }

    std::unique_ptr<QWidget> window;
    QLineEdit* before = nullptr;
    Recorder* control = nullptr;
    QLineEdit* after = nullptr;
};

QStringList Lines(std::initializer_list<const char*> lines)
{
    QStringList out;
    for (const char* line : lines) out << QString::fromUtf8(line);
    return out;
}

QStringList WithoutFocusAndMoves(QStringList log)
{
    log.removeIf([](const QString& line) {
        return line.startsWith(QLatin1String("MouseMove")) || line.endsWith(QLatin1String("Focus"));
    });
    return log;
}

TEST_F(HostedWindow, PressAndReleaseOverTheControlGiveDownUpThenClickForEveryButton)
{
    Click(control, {10, 10}, Qt::LeftButton);
    EXPECT_EQ(WithoutFocusAndMoves(Log()), Lines({"MouseDown 1 0", "MouseUp 1 0", "Click"}));
    Click(control, {10, 10}, Qt::RightButton);
    EXPECT_EQ(WithoutFocusAndMoves(Log()), Lines({"MouseDown 2 0", "MouseUp 2 0", "Click"}));
}

TEST_F(HostedWindow, AfterAPressMovesAndTheReleaseOutsideStillReachTheControlWithoutClick)
{
    Press(control, {10, 10});
    Log();
    PointAt(control, {100, 80});  // outside the control, inside the window
    Release(control, {100, 80});
    EXPECT_EQ(Log(), Lines({"MouseMove 1 0 100,80", "MouseUp 1 0"}));
    PointAt(control, {110, 85});  // no press: the control hears nothing from outside
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(HostedWindow, TheSecondPressOfADoubleClickArrivesAsDblClick)
{
    DoubleClick(control, {10, 10});
    EXPECT_EQ(WithoutFocusAndMoves(Log()), Lines({"MouseDown 1 0", "MouseUp 1 0", "Click", "DblClick", "MouseUp 1 0"}));
}

TEST_F(HostedWindow, FocusComesAndGoesOnceEach)
{
    control->setFocus(Qt::TabFocusReason);
    after->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Log(), Lines({"GotFocus", "LostFocus"}));
}

TEST_F(HostedWindow, KeysReachTheFocusedControlAsDownPressUp)
{
    control->setFocus();
    Log();
    QTest::keyClick(control, Qt::Key_Space);
    QTest::keyClick(control, Qt::Key_A);
    QTest::keyClick(control, Qt::Key_Return);
    QTest::keyClick(control, Qt::Key_Left);
    EXPECT_EQ(Log(), Lines({"KeyDown 32 0", "KeyPress 32", "KeyUp 32 0", "KeyDown 65 0", "KeyPress 97", "KeyUp 65 0",
                            "KeyDown 13 0", "KeyPress 13", "KeyUp 13 0", "KeyDown 37 0", "KeyUp 37 0"}));
}

TEST_F(HostedWindow, AHeldKeyRepeatsDownAndPressButGivesOneUpOnTheRealRelease)
{
    control->setFocus();
    Log();
    for (const auto report : {KeyRepeatReport::FlaggedPairs, KeyRepeatReport::PressesOnly}) {
        SCOPED_TRACE(report == KeyRepeatReport::FlaggedPairs ? "flagged pairs" : "presses only");
        HoldKey(control, Qt::Key_Space, QStringLiteral(" "), 2, report);
        EXPECT_EQ(Log(), Lines({"KeyDown 32 0", "KeyPress 32", "KeyDown 32 0", "KeyPress 32", "KeyDown 32 0",
                                "KeyPress 32", "KeyUp 32 0"}));
    }
}

TEST_F(HostedWindow, AltWithAnAccessKeyWorksFromAnywhereInTheWindow)
{
    control->SetAccessKeys(QStringLiteral("a"));
    QTest::keyClick(before, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(Log(), Lines({"AccessKeyPress 97"}));
    QTest::keyClick(before, Qt::Key_B, Qt::AltModifier);
    QTest::keyClick(before, Qt::Key_A);
    EXPECT_TRUE(Log().isEmpty());
    control->SetAccessKeys(QString());
    QTest::keyClick(before, Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(HostedWindow, ADisabledControlGetsNoInput)
{
    control->SetAccessKeys(QStringLiteral("a"));
    control->SetEnabled(false);
    Click(control, {10, 10});
    DoubleClick(control, {10, 10});
    PointAt(control, {12, 12});
    QTest::keyClick(control, Qt::Key_Space);
    QTest::keyClick(before, Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(HostedWindow, SendKeysMovesTheFocusAfterTheCurrentHandler)
{
    control->setFocus();
    UserControl::SendKeys(QStringLiteral("{Tab}"));
    EXPECT_TRUE(control->hasFocus());  // queued, not yet
    EXPECT_TRUE(WaitFor([&] { return after->hasFocus(); }));
    control->setFocus();
    UserControl::SendKeys(QStringLiteral("+{Tab}"));
    EXPECT_TRUE(WaitFor([&] { return before->hasFocus(); }));
}

TEST_F(HostedWindow, AmbientValuesComeFromTheHoldingWindow)
{
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(12);
    window->setFont(font);
    EXPECT_EQ(control->Ambient().DisplayName, QStringLiteral("cmdTest"));
    EXPECT_EQ(control->Ambient().Font.Size, 12);
    EXPECT_EQ(control->Ambient().ForeColor, SystemColorValue(SystemColor::ButtonText));
    SetAmbientForeColor(window.get(), Rgb(1, 2, 3));
    EXPECT_EQ(control->Ambient().ForeColor, Rgb(1, 2, 3));
}

TEST_F(HostedWindow, TheWindowShowsTheSurfaceImageAsDrawn)
{
    control->SetBackColor(Rgb(0, 128, 0));
    control->Cls();
    control->hDC().SetPixel({3, 4}, Rgb(255, 0, 0));
    control->Refresh();
    const QImage shown = control->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(3, 4)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shown.pixel(0, 0)), QColor(0, 128, 0));
    control->resize(70, 30);  // a resize keeps the image
    EXPECT_EQ(QColor(control->Image().pixel(3, 4)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(control->Image().pixel(65, 4)), QColor(0, 128, 0));
}

TEST(UserControlSurface, FollowsTheWindowsSizeBeforeItIsShown)
{
    UserControl control;
    control.resize(30, 10);
    control.SetBackColor(Rgb(0, 0, 255));
    control.Cls();
    EXPECT_EQ(control.Image().size(), QSize(30, 10));
    EXPECT_EQ(QColor(control.Image().pixel(29, 9)), QColor(0, 0, 255));
    EXPECT_EQ(control.ScaleWidth(), 30);
    EXPECT_EQ(control.ScaleHeight(), 10);
}

TEST(UserControlLifecycle, ReadPropertiesThenResizeThenShow)
{
    QWidget window;
    auto* control = new Recorder(&window);
    control->setGeometry(0, 0, 40, 20);
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Caption"), QStringLiteral("Go"));
    EXPECT_FALSE(control->ReadProperties(bag).has_value());
    window.show();
    EXPECT_EQ(control->log, Lines({"ReadProperties Go", "Resize 40x20", "Show"}));
}

TEST(UserControlLifecycle, AValueThatCannotBeConvertedFailsReadProperties)
{
    Recorder control;
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Enabled"), QStringLiteral("perhaps"));
    EXPECT_EQ(control.ReadProperties(bag), (corvane::Error{13, "Type mismatch"}));
    EXPECT_TRUE(control.log.isEmpty());
}

TEST(UserControlLifecycle, PropertyChangedMarksTheLayoutForSaving)
{
    Recorder control;
    QStringList names;
    QObject::connect(&control, &UserControl::LayoutPropertyChanged, [&](const QString& name) { names << name; });
    EXPECT_FALSE(control.LayoutChanged());
    control.PropertyChanged(QStringLiteral("Caption"));
    EXPECT_TRUE(control.LayoutChanged());
    EXPECT_EQ(names, QStringList{QStringLiteral("Caption")});
    control.WriteProperties();
    EXPECT_FALSE(control.LayoutChanged());
}

TEST(ChildTimer, TicksOnlyWhileEnabled)
{
    ChildTimer timer;
    timer.SetInterval(1);
    int ticks = 0;
    QObject::connect(&timer, &ChildTimer::Timer, [&] { ++ticks; });
    EXPECT_FALSE(timer.Enabled());
    timer.SetEnabled(true);
    EXPECT_TRUE(WaitFor([&] { return ticks >= 3; }));
    timer.SetEnabled(false);
    const int stopped = ticks;
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, stopped);
}

TEST(ChildTimer, RunsNoFasterThanTheFloorAndKeepsTheIntervalAsSet)
{
    struct Row {
        int set;
        int runs;
    };
    const Row rows[] = {{0, 10}, {1, 10}, {9, 10}, {10, 10}, {11, 11}, {250, 250}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "interval " << row.set);
        ChildTimer timer;
        timer.SetInterval(row.set);
        EXPECT_EQ(timer.Interval(), row.set);
        EXPECT_EQ(timer.EffectiveInterval(), row.runs);
    }
}

TEST(WindowShape, TheWindowBehindTakesThePointerOverACutPixel)
{
    QWidget window;
    window.setGeometry(100, 100, 120, 80);
    auto* control = new UserControl(&window);
    control->setGeometry(10, 10, 75, 23);
    ASSERT_TRUE(ShowWindow(&window));

    Region shape(Rect{0, 0, 75, 23});
    shape.Subtract(Rect{74, 22, 75, 23});
    SetWindowRgn(control, shape);

    struct Row {
        QPoint local;
        bool overControl;
    };
    const Row rows[] = {{{0, 0}, true}, {{74, 21}, true}, {{73, 22}, true}, {{74, 22}, false}, {{75, 10}, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(QStringLiteral("%1,%2").arg(row.local.x()).arg(row.local.y()).toStdString());
        const QWidget* expected = row.overControl ? static_cast<QWidget*>(control) : &window;
        EXPECT_EQ(WindowFromPoint(control->mapToGlobal(row.local)), expected);
    }
    control->setEnabled(false);  // a disabled window passes the point to its holder
    EXPECT_EQ(WindowFromPoint(control->mapToGlobal(QPoint(5, 5))), &window);
}

}  // namespace
}  // namespace corvane::platform
