// Corvane's entry point: answer --help and --version on the terminal, else load and show the
// main window, on the file named on the command line if there is one, and react to events.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "codec/CodecKernel.h"
#include "codec/Error.h"
#include "codec/FileTransform.h"
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
    "  --             end of options: a FILE that starts with '-' follows\n";

struct Arguments {
    std::optional<std::string> file;
    std::optional<int> exitStatus;  // set when the program answers on the terminal and stops
};

int UsageMistake(const std::string& what)
{
    std::fprintf(stderr, "corvane: %s\nTry 'corvane --help' for more information.\n", what.c_str());
    return 2;
}

// Reads the command line without Qt, so that --help and --version need no display.
Arguments ParseArguments(const std::vector<std::string>& words)
{
    Arguments arguments;
    bool options = true;
    for (const std::string& word : words) {
        const std::string_view argument = word;
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "-h" || argument == "--help")) {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            arguments.exitStatus = 0;
            return arguments;
        } else if (options && (argument == "-V" || argument == "--version")) {
            std::puts("corvane " CORVANE_VERSION);
            arguments.exitStatus = 0;
            return arguments;
        } else if (options && argument.size() > 1 && argument.front() == '-') {
            arguments.exitStatus = UsageMistake("unknown option '" + std::string(argument) + "'");
            return arguments;
        } else if (arguments.file) {
            arguments.exitStatus = UsageMistake("one FILE at most");
            return arguments;
        } else {
            arguments.file = std::string(argument);
        }
    }
    return arguments;
}

// A file named on the command line that cannot be selected stops the program before its
// window opens: the name was typed in a terminal (a file manager passes only files that exist),
// so the terminal is where the user looks for the reason.
std::optional<corvane::Error> CheckStartFile(const std::string& file)
{
    std::error_code code;
    const auto status = std::filesystem::status(corvane::platform::ArgumentPath(file), code);
    if (code) return corvane::Error{code.value(), "Cannot open '" + file + "': " + code.message()};
    if (std::filesystem::is_directory(status)) {
        const auto isFolder = std::make_error_code(std::errc::is_a_directory);
        return corvane::Error{isFolder.value(), "Cannot open '" + file + "': " + isFolder.message()};
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[])
{
#ifndef _WIN32
    // A reader of a FIFO result that leaves is a write error to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    corvane::platform::AttachParentConsole();
    const Arguments arguments = ParseArguments(corvane::platform::CommandLineArguments(argc, argv));
    if (arguments.exitStatus) return *arguments.exitStatus;
    if (arguments.file) {
        if (const auto error = CheckStartFile(*arguments.file)) {
            std::fprintf(stderr, "%s\n", corvane::ErrorLine(*error).c_str());
            return 1;
        }
    }

    if (const auto error = corvane::CodecKernelFromEnvironment()) {
        std::fprintf(stderr, "%s\n", corvane::ErrorLine(*error).c_str());
        return 1;
    }

    // A signal that ends the program (SIGTERM, SIGINT, SIGHUP from a closing session, SIGQUIT)
    // first removes a named temporary file being written. It is taken on this thread: Qt's threads
    // start with those signals held back, and the coding worker holds them back itself.
    corvane::InstallTemporaryFileCleanup();
    std::optional<corvane::CleanupSignalsHeld> otherThreadsStartHeld(std::in_place);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
    corvane::platform::SetApplicationTitle(QStringLiteral("RaveVivazidezEraduzura"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/corvane/icon-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    const QString startFile =
        arguments.file ? QDir::cleanPath(QDir::current().absoluteFilePath(corvane::platform::FromPath(corvane::platform::ArgumentPath(*arguments.file))))
                       : QString();
    auto* window = new corvane::frmMain;
    window->Show();
    otherThreadsStartHeld.reset();
    if (!startFile.isEmpty()) {
        if (const auto error = window->ShowFile(startFile)) corvane::ReportError(*error);
    }
    return QApplication::exec();
}
