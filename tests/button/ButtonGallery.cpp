// A window showing ZelXpButton's five looks side by side, each also three times enlarged, above a
// row of live buttons to try by hand. Run it on a screen (or under Xvfb) to look at the faces:
//   corvane_button_gallery [--hover]   (--hover puts the pointer over the middle live button)
// With QT_SCALE_FACTOR=2 it shows the faces as a high-density screen gets them.
#include "ui/button/ZelXpButton.h"

#include "platform/hosted/UserControl.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace corvane {
namespace {

using platform::Rgb;

constexpr QRgb kDialogGrey = qRgb(236, 233, 216);
constexpr int kW = 75;
constexpr int kH = 23;
constexpr int kZoom = 3;

struct Sample {
    const char* name;
    ButtonLook look;
    ButtonFaceState state;
};

ButtonFaceState State(bool enabled, bool hovering, bool hasFocus, PressedButton mouseButton)
{
    return ButtonFaceState{enabled, hovering, hasFocus, mouseButton, QStringLiteral("&About"),
                           platform::SystemColorValue(platform::SystemColor::WindowFrame), Rgb(0, 0, 0)};
}

// Paints one look as Redraw does, on a surface of its own, and gives it the button's shape.
platform::UserControl* Face(QWidget* window, const Sample& sample, QPoint at)
{
    auto* surface = new platform::UserControl(window);
    surface->setGeometry(at.x(), at.y(), kW, kH);
    surface->SetBackColor(platform::SystemColorValue(platform::SystemColor::Window));
    surface->SetFont(platform::StdFont{QStringLiteral("MS Sans Serif"), 8.25, 400, 0});
    const ButtonGeometry geometry = GeometryOf(platform::GetClientRect(surface));
    ButtonFace(*surface, geometry, sample.state).Draw(sample.look);
    QRegion shape(0, 0, kW, kH);
    for (const QPoint corner : {QPoint(0, 0), QPoint(0, kH - 1), QPoint(kW - 1, 0), QPoint(kW - 1, kH - 1)})
        shape -= QRegion(corner.x(), corner.y(), 1, 1);
    surface->setMask(shape);
    return surface;
}

QLabel* Enlarged(QWidget* window, const QImage& face, QPoint at)
{
    // The face's image holds the screen's device pixels; it is enlarged in those.
    QImage image = face.copy();
    {
        QPainter painter(&image);
        for (const QPoint corner : {QPoint(0, 0), QPoint(0, kH - 1), QPoint(kW - 1, 0), QPoint(kW - 1, kH - 1)})
            painter.fillRect(QRect(corner, QSize(1, 1)), QColor(kDialogGrey));
    }
    const qreal ratio = face.devicePixelRatio();
    QImage enlarged = image.scaled(qRound(kW * kZoom * ratio), qRound(kH * kZoom * ratio), Qt::IgnoreAspectRatio,
                                   Qt::FastTransformation);
    enlarged.setDevicePixelRatio(ratio);
    auto* label = new QLabel(window);
    label->setPixmap(QPixmap::fromImage(enlarged));
    label->setGeometry(at.x(), at.y(), kW * kZoom, kH * kZoom);
    return label;
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv)
{
    using namespace corvane;
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("ZelXpButton looks"));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(kDialogGrey));
    window.setPalette(palette);
    window.setAutoFillBackground(true);

    const Sample samples[] = {
        {"normal", ButtonLook::Normal, State(true, false, false, PressedButton::None)},
        {"hover", ButtonLook::Hot, State(true, true, false, PressedButton::None)},
        {"focused", ButtonLook::Focused, State(true, false, true, PressedButton::None)},
        {"pressed", ButtonLook::Pressed, State(true, false, true, PressedButton::Left)},
        {"disabled", ButtonLook::Disabled, State(false, false, false, PressedButton::None)},
    };
    const int column = kW * kZoom + 20;
    int x = 10;
    for (const auto& sample : samples) {
        auto* name = new QLabel(QString::fromUtf8(sample.name), &window);
        name->setGeometry(x, 8, 120, 16);
        const auto* face = Face(&window, sample, QPoint(x, 28));
        Enlarged(&window, face->Image(), QPoint(x, 62));
        x += column;
    }

    auto* live = new QLabel(QStringLiteral("live buttons:"), &window);
    live->setGeometry(10, 150, 120, 16);
    const char* captions[] = {"&Encode File!", "&Decode File!", "E&xit"};
    ZelXpButton* middle = nullptr;
    for (int i = 0; i < 3; ++i) {
        auto* button = new ZelXpButton(&window);
        button->setObjectName(QStringLiteral("cmd%1").arg(i));
        button->setGeometry(10 + i * 120, 172, 105, 33);  // 33 pixels high, as in the main window
        button->SetFont(platform::StdFont{QStringLiteral("MS Sans Serif"), 8.25, 400, 0});
        button->SetForeColor(platform::SystemColorValue(platform::SystemColor::WindowFrame));
        button->SetForeHover(Rgb(0, 0, 0));
        button->SetCaption(QString::fromUtf8(captions[i]));
        button->SetEnabled(true);
        if (i == 1) middle = button;
    }
    window.resize(x, 220);
    window.move(20, 20);
    window.show();

    if (app.arguments().contains(QStringLiteral("--hover"))) {
        QTimer::singleShot(300, middle, [middle] { QCursor::setPos(middle->mapToGlobal(QPoint(50, 16))); });
    }
    return app.exec();
}
