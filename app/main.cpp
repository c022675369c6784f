// Corvane's entry point: answer --help and --version on the terminal, else load and show the
// main window, on the file named on the command line if there is one, and react to events.
#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "codec/CodecKernel.h"
#include "codec/Describe.h"
#include "codec/Error.h"
#include "codec/FileTransform.h"
#include "codec/StandardStreams.h"
#include "platform/Application.h"
#include "platform/Console.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "ui/main/frmMain.h"
#include "ui/shared/ReportError.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: corvane [FILE]\n"
    "       corvane -h | --help | -V | --version\n"
    "\n"
    "Opens Corvane's window, with FILE selected when one is given, to encode or\n"
    "decode files. Results go to the folders 'Encoded File(s)' and 'Decoded File(s)':\n"
    "beside the program when it runs from a folder its user can write, otherwise (and\n"
    "always once installed) in the user's documents folder, under Corvane.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             end of options: a FILE that starts with '-' follows\n"
    "\n"
    "Qt's own options (-platform offscreen, -style NAME, ...) are accepted too.\n";

void ReportOnTerminal(const corvane::Error& error)
{
    std::fprintf(stderr, "corvane: %s\n", corvane::ErrorLine(error).c_str());
}

// Writes an answer (--help, --version) to standard output. One that cannot be written whole (a
// full disk, a closed stream) is a failure, as for cat: reported, with exit status 1.
int Answer(std::string_view text)
{
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return 0;
    ReportOnTerminal(corvane::SystemError(errno != 0 ? errno : EIO, "Cannot write", "standard output"));
    return 1;
}

struct Arguments {
    QString file;
    std::optional<int> exitStatus;  // set when the program answers on the terminal and stops
};

int UsageMistake(const QString& what)
{
    std::fputs(corvane::UsageMistakeText("corvane", what.toStdString()).c_str(), stderr);
    return 2;
}

// Qt's own options (qt6options(7)), which QApplication takes off the command line itself: read
// here only so that they and their values are not taken for mistakes or for FILE.
constexpr struct {
    const char* name;
    bool takesValue;
} kQtOptions[] = {
    {"platform", true},   {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true}, {"qwindowtitle", true}, {"session", true},
    {"display", true},    {"geometry", true},           {"style", true},         {"stylesheet", true},
    {"qmljsdebugger", true}, {"dialogs", true},         {"fontengine", true},    {"reverse", false},
    {"widgetcount", false},
};

// The word an unknown option came as ("-x", "--colour"), for the message.
QString GivenAs(const QStringList& words, const QString& name)
{
    for (const QString& word : words) {
        if (word == QLatin1String("--")) break;
        QString bare = word.section(QLatin1Char('='), 0, 0);
        if (bare.size() > 1 && bare.startsWith(QLatin1Char('-')) && QStringView(bare).mid(bare.startsWith(QLatin1String("--")) ? 2 : 1) == name) {
            return bare;
        }
    }
    return QLatin1Char('-') + name;
}

// Reads the command line with QCommandLineParser before Qt starts, so that --help, --version
// and mistakes need no display. Single-dash words are options of their own ("-platform", as Qt
// writes its options), so "-h" and "-V" are options named "h" and "V".
Arguments ReadArguments(const QStringList& words)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    parser.addOptions({help, version});
    for (const auto& qt : kQtOptions) {
        QCommandLineOption option(QLatin1String(qt.name), QString(), qt.takesValue ? QStringLiteral("value") : QString());
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    Arguments arguments;
    if (!parser.parse(QStringList{QStringLiteral("corvane")} + words)) {
        const QStringList unknown = parser.unknownOptionNames();
        arguments.exitStatus = UsageMistake(unknown.isEmpty() ? parser.errorText()
                                                              : "unknown option '" + GivenAs(words, unknown.front()) + "'");
    } else if (parser.isSet(help)) {
        arguments.exitStatus = Answer(kUsage);
    } else if (parser.isSet(version)) {
        arguments.exitStatus = Answer(corvane::VersionText("corvane"));
    } else if (parser.positionalArguments().size() > 1) {
        arguments.exitStatus = UsageMistake(QStringLiteral("one FILE at most"));
    } else if (!parser.positionalArguments().isEmpty()) {
        arguments.file = parser.positionalArguments().front();
    }
    return arguments;
}

// A file named on the command line that cannot be selected stops the program before its
// window opens: the name was typed in a terminal (a file manager passes only files that exist),
// so the terminal is where the user looks for the reason.
std::optional<corvane::Error> CheckStartFile(const QString& file) { return corvane::platform::CheckFileToOpen(file); }

}  // namespace

int main(int argc, char* argv[])
{
    corvane::ReserveStandardStreams();
    // The system's own words for its errors, in the user's language where it has them, from the
    // first message on (Qt sets the rest of the locale when it starts).
    std::setlocale(LC_CTYPE, "");
#ifdef LC_MESSAGES
    std::setlocale(LC_MESSAGES, "");
#endif
#ifndef _WIN32
    // A reader of a FIFO result that leaves is a write error to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    corvane::platform::AttachParentConsole();
    const Arguments arguments = ReadArguments(corvane::platform::CommandLineArguments(argc, argv));
    if (arguments.exitStatus) return *arguments.exitStatus;
    if (!arguments.file.isEmpty()) {
        if (const auto error = CheckStartFile(arguments.file)) {
            ReportOnTerminal(*error);
            return 1;
        }
    }

    if (const auto error = corvane::CodecKernelFromEnvironment()) {
        ReportOnTerminal(*error);
        return 1;
    }

    // A signal that ends the program (SIGTERM, SIGINT, SIGHUP from a closing session, SIGQUIT)
    // first removes a named temporary file being written. It is taken on this thread: Qt's threads
    // start with those signals held back, and the coding worker holds them back itself.
    corvane::InstallTemporaryFileCleanup();
    // Work abandoned by a cancel may still be writing when the program ends: its file goes too.
    corvane::platform::SetBeforeEndingProgram(corvane::RemoveTemporaryFilesInFlight);
    std::optional<corvane::CleanupSignalsHeld> otherThreadsStartHeld(std::in_place);
    const auto app = corvane::platform::OpenApplication(argc, argv, "corvane");
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
    corvane::platform::SetApplicationTitle(QStringLiteral("RaveVivazidezEraduzura"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/corvane/icon-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    const QString startFile =
        arguments.file.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(arguments.file));
    auto* window = new corvane::frmMain;
    window->Show();
    otherThreadsStartHeld.reset();
    if (!startFile.isEmpty()) {
        if (const auto error = window->ShowFile(startFile)) corvane::ReportError(*error);
    }
    return QApplication::exec();
}
