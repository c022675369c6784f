// The terminal a windowed program was started from.
#pragma once

#include <QStringList>

namespace corvane::platform {

// On Windows, a windowed program has no console of its own: when it was started from one and its
// standard output or error is not already redirected to a file or a pipe, they are joined to
// that console, so that --help, --version and start-up errors reach the terminal that asked.
// Does nothing elsewhere, where the terminal's streams are inherited anyway.
void AttachParentConsole();

// The program's arguments after its name, for QCommandLineParser. On Windows they are read from
// the UTF-16 command line, so that every file name survives whatever the system's code page;
// elsewhere they are argv's bytes, held as FromPath (platform/Files.h) holds a name, so that
// ToPath gives back the very bytes.
QStringList CommandLineArguments(int argc, char** argv);

}  // namespace corvane::platform
