#include "platform/Application.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "codec/Error.h"

namespace corvane::platform {

namespace {

struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};

// While the application is made: the program's name and the messages held back.
std::string gProgram;
std::vector<HeldMessage> gHeld;

// Qt's first complaint is the clearest: "could not connect to display :5", or the plugin it
// could not find. Its fatal message after them only suggests reinstalling the program.
QString Reason(const QString& fatal)
{
    QString reason = gHeld.empty() ? fatal : gHeld.front().text;
    reason = reason.section(QLatin1Char('\n'), 0, 0).trimmed();
#ifndef _WIN32
    if (reason.contains(QLatin1String("display")) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        reason += QStringLiteral(" (DISPLAY and WAYLAND_DISPLAY are not set)");
    }
#endif
    return reason;
}

void HoldMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        gHeld.push_back({type, context.category ? context.category : "", text});
        return;
    }
    // Qt aborts once this returns: the program ends here instead, with nothing of the
    // application to tidy up.
    const Error error{static_cast<int>(std::errc::no_such_device_or_address),
                      "Cannot open a window: " + Reason(text).toStdString()};
    std::fprintf(stderr, "%s: %s\n", gProgram.c_str(), ErrorLine(error).c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv, const std::string& program)
{
    gProgram = program;
#ifdef Q_OS_WIN
    // Qt's GDI font engine leaves out thin strokes and whole narrow letters ("-", "!", the "I"
    // of "NO FILE SELECTED") under Wine, badly at 150 %; its FreeType engine draws the same faces
    // whole at every scale. A platform named on the command line (-platform) still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#endif
    const QtMessageHandler earlier = qInstallMessageHandler(HoldMessages);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(earlier);
    for (const HeldMessage& message : gHeld) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
        earlier(message.type, context, message.text);
    }
    gHeld.clear();
    return application;
}

}  // namespace corvane::platform
