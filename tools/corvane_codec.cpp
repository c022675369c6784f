// corvane-codec: the command-line companion of Corvane, for scripts and batch work.
#include <csignal>
#include <cstdio>
#include <string_view>

#include "codec/CodecKernel.h"
#include "codec/FileTransform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr std::string_view kUsage =
    "Usage: corvane-codec encode SOURCE DESTINATION\n"
    "       corvane-codec decode SOURCE DESTINATION\n"
    "       corvane-codec --help | --version\n"
    "\n"
    "encode replaces every byte of SOURCE by the running sum of all bytes up to it,\n"
    "modulo 256, and writes the result, of the same length, to DESTINATION; decode\n"
    "turns such a file back into the plain bytes.\n"
    "\n"
    "SOURCE may be '-' for standard input and DESTINATION '-' for standard output.\n"
    "DESTINATION may be SOURCE itself. A destination file is replaced only once its\n"
    "new content is complete and on disk; on failure it keeps its earlier content.\n"
    "\n"
    "Exit status: 0 on success, 1 on failure (with 'Error: <number>: <description>'\n"
    "on standard error), 2 on a usage mistake.\n";

int Usage(std::FILE* to, int status)
{
    std::fwrite(kUsage.data(), 1, kUsage.size(), to);
    return status;
}

corvane::Endpoint EndpointFor(std::string_view argument)
{
    if (argument == "-") return corvane::Endpoint::StandardStream();
    return corvane::Endpoint::File(std::filesystem::path(argument));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--help") return Usage(stdout, 0);
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::puts("corvane-codec " CORVANE_VERSION);
        return 0;
    }
    if (argc != 4) return Usage(stderr, 2);

    const std::string_view command = argv[1];
    corvane::Coding coding;
    if (command == "encode") {
        coding = corvane::Coding::Encode;
    } else if (command == "decode") {
        coding = corvane::Coding::Decode;
    } else {
        return Usage(stderr, 2);
    }

#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#else
    // A closed reader of standard output is an error to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
#endif

    if (auto error = corvane::CodecKernelFromEnvironment()) {
        std::fprintf(stderr, "%s\n", corvane::ErrorLine(*error).c_str());
        return 1;
    }
    if (auto error = corvane::TransformFile(coding, EndpointFor(argv[2]), EndpointFor(argv[3]))) {
        std::fprintf(stderr, "Error: %ld: %s\n", static_cast<long>(error->number),
                     error->description.c_str());
        return 1;
    }
    return 0;
}
