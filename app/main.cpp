// Corvane's entry point: load and show the main window, then react to events.
#include <QApplication>
#include <QIcon>

#include <cstdio>

#include "codec/CodecKernel.h"
#include "ui/main/frmMain.h"

int main(int argc, char* argv[])
{
    if (const auto error = corvane::CodecKernelFromEnvironment()) {
        std::fprintf(stderr, "%s\n", corvane::ErrorLine(*error).c_str());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/corvane/icon-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    auto* window = new corvane::frmMain;
    window->Show();
    return QApplication::exec();
}
