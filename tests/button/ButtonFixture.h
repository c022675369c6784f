// A window holding three buttons in tab order, the middle one under test, set up as the program's
// windows set up theirs, with every event of the middle one written to a log.
#pragma once

#include "ui/button/ZelXpButton.h"

#include "hosted/HostedInput.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>

namespace corvane::testing {

inline const char* LookName(ButtonLook look)
{
    switch (look) {
    case ButtonLook::Disabled: return "disabled";
    case ButtonLook::Pressed: return "pressed";
    case ButtonLook::Hot: return "hot";
    case ButtonLook::Focused: return "focused";
    case ButtonLook::Normal: return "normal";
    }
    return "?";
}

inline const char* TrackingName(PointerTracking tracking)
{
    switch (tracking) {
    case PointerTracking::Away: return "Away";
    case PointerTracking::Hover: return "Hover";
    case PointerTracking::HoverLatched: return "HoverLatched";
    case PointerTracking::HeldInside: return "HeldInside";
    }
    return "?";
}

// The settings of every button of the program's windows, and `caption`.
inline void Configure(ZelXpButton* button, const QString& caption)
{
    button->SetFont(platform::StdFont{QStringLiteral("MS Sans Serif"), 8.25, 400, 0});
    button->SetForeColor(platform::SystemColorValue(platform::SystemColor::WindowFrame));
    button->SetForeHover(platform::Rgb(0, 0, 0));
    button->SetCaption(caption);
    button->SetEnabled(true);
}

// Each event as a line with its arguments and the look the button shows at that moment.
inline void RecordEvents(ZelXpButton* button, QStringList& log)
{
    const auto look = [button] { return QStringLiteral(" [%1]").arg(QLatin1String(LookName(button->Look()))); };
    const auto mouse = [&log, look](const char* name) {
        return [&log, look, name](short& b, short& s, float& x, float& y) {
            log << QStringLiteral("%1 %2 %3 %4,%5").arg(QLatin1String(name)).arg(b).arg(s).arg(x).arg(y) + look();
        };
    };
    const auto key = [&log, look](const char* name) {
        return [&log, look, name](short& k, short& s) {
            log << QStringLiteral("%1 %2 %3").arg(QLatin1String(name)).arg(k).arg(s) + look();
        };
    };
    QObject::connect(button, &ZelXpButton::Click, [&log, look] { log << QStringLiteral("Click") + look(); });
    QObject::connect(button, &ZelXpButton::MouseDown, mouse("MouseDown"));
    QObject::connect(button, &ZelXpButton::MouseMove, mouse("MouseMove"));
    QObject::connect(button, &ZelXpButton::MouseUp, mouse("MouseUp"));
    QObject::connect(button, &ZelXpButton::KeyPress,
                     [&log, look](short& a) { log << QStringLiteral("KeyPress %1").arg(a) + look(); });
    QObject::connect(button, &ZelXpButton::KeyDown, key("KeyDown"));
    QObject::connect(button, &ZelXpButton::KeyUp, key("KeyUp"));
    QObject::connect(button, &ZelXpButton::MouseOver, [&log, look] { log << QStringLiteral("MouseOver") + look(); });
    QObject::connect(button, &ZelXpButton::MouseOut, [&log, look] { log << QStringLiteral("MouseOut") + look(); });
}

class ButtonWindow : public ::testing::Test {
public:  // the rows of table-driven tests reach into the fixture
    void SetUp() override
    {
        PointAtScreen({0, 0});  // start with the pointer away from every button
        window = std::make_unique<QWidget>();
        window->setGeometry(100, 100, 300, 200);
        first = Place("cmdFirst", "&First", 20);
        button = Place("cmdAbout", "&About", 60);
        last = Place("cmdLast", "&Last", 100);
        RecordEvents(button, log);
        ASSERT_TRUE(ShowWindow(window.get()));
        PointAt(window.get(), Parking());  // the pointer starts in the window, over no button
        first->setFocus();
        log.clear();
    }
    void TearDown() override { PointAtScreen({0, 0}); }

    ZelXpButton* Place(const char* name, const char* caption, int top)
    {
        auto* placed = new ZelXpButton(window.get());
        placed->setObjectName(QString::fromUtf8(name));
        placed->setGeometry(20, top, 75, 23);
        Configure(placed, QString::fromUtf8(caption));
        return placed;
    }
    QStringList Log() { return std::exchange(log, {}); }
    // Waits until the hover timer has seen the pointer leave.
    bool Left() { return WaitFor([this] { return button->Tracking() == PointerTracking::Away; }); }

    QPoint Centre() const { return {37, 11}; }
    QPoint Outside() const { return {200, 11}; }  // in the window, beside the button
    static QPoint Parking() { return {250, 180}; }

    std::unique_ptr<QWidget> window;
    ZelXpButton* first = nullptr;
    ZelXpButton* button = nullptr;
    ZelXpButton* last = nullptr;
    QStringList log;
};

inline QStringList Lines(std::initializer_list<const char*> lines)
{
    QStringList out;
    for (const char* line : lines) out << QString::fromUtf8(line);
    return out;
}

}  // namespace corvane::testing
