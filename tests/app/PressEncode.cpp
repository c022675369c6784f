// Loaded into the real desktop program by the tests (LD_PRELOAD), this presses the main window's
// "Encode File!" once the window shows, as a user's click would, so that a test can start long
// work in the program without a display to type on.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

void PressEncodeOnceShown()
{
    auto* look = new QTimer(qApp);
    QObject::connect(look, &QTimer::timeout, look, [look] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() != QLatin1String("frmMain") || !window->isVisible()) continue;
            auto* encode = window->findChild<QWidget*>(QStringLiteral("cmdencode"));
            if (!encode || !encode->isVisible()) continue;
            look->stop();
            look->deleteLater();
            QTest::mouseClick(encode, Qt::LeftButton, {}, encode->rect().center());
            return;
        }
    });
    look->start(10);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(PressEncodeOnceShown)
