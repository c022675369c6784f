// Corvane's entry point: load and show the main window, then react to events.
#include <QApplication>

#include "ui/main/frmMain.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));

    corvane::frmMain window;
    window.show();
    return QApplication::exec();
}
