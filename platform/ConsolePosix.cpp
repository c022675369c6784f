// The terminal on POSIX systems, whose streams a program inherits and whose arguments are bytes.
#include <filesystem>

#include "platform/Console.h"
#include "platform/Files.h"

namespace corvane::platform {

void AttachParentConsole() {}

QStringList CommandLineArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments.append(FromPath(std::filesystem::path(argv[i])));
    return arguments;
}

}  // namespace corvane::platform
