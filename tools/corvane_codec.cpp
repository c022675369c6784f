// corvane-codec: the command-line companion of Corvane, for scripts and batch work.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Console.h"
#include "Progress.h"
#include "codec/CodecKernel.h"
#include "codec/Describe.h"
#include "codec/Error.h"
#include "codec/FileTransform.h"
#include "codec/StandardStreams.h"

#include <getopt.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <clocale>
#endif

namespace {

using corvane::tools::Write;

constexpr std::string_view kUsage =
    "Usage: corvane-codec [--progress] encode SOURCE DESTINATION\n"
    "       corvane-codec [--progress] encode SOURCE... FOLDER\n"
    "       corvane-codec [--progress] decode SOURCE DESTINATION\n"
    "       corvane-codec [--progress] decode SOURCE... FOLDER\n"
    "       corvane-codec -h | --help | -V | --version\n"
    "\n"
    "encode replaces every byte of SOURCE by the running sum of all bytes up to it,\n"
    "modulo 256, and writes the result, of the same length, to DESTINATION; decode\n"
    "turns such a file back into the plain bytes.\n"
    "\n"
    "With two or more sources, or when the last argument is an existing folder, each\n"
    "SOURCE is coded into FOLDER under its own name. When one fails the others are\n"
    "still coded; a name written once in a run is not written over by a later source.\n"
    "\n"
    "SOURCE may be '-' for standard input and DESTINATION '-' for standard output\n"
    "(not into a folder: standard input has no name). DESTINATION may be SOURCE\n"
    "itself. A destination file is replaced only once its new content is complete\n"
    "and on disk; on failure, or when Ctrl+C stops the program, it keeps its earlier\n"
    "content.\n"
    "\n"
    "  --progress     show on standard error how far each file has got: the bytes\n"
    "                 done and the total, the speed and the time left; redrawn in\n"
    "                 place on a terminal, elsewhere a whole line every 10 seconds\n"
    "                 and one as each file is done\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             end of options, for a file name that starts with '-'\n"
    "\n"
    "Exit status: 0 on success, 1 on failure (with 'corvane-codec: Error: <number>:\n"
    "<description>' on standard error for each file that failed), 2 on a usage\n"
    "mistake. A file that took its destination's place although its folder could not\n"
    "then be flushed to disk counts as done, with a 'corvane-codec: Warning:\n"
    "<number>: <description>' line. When the reader of standard output goes away, it\n"
    "ends quietly by SIGPIPE, as cat does (where SIGPIPE is ignored, it says so and\n"
    "exits with status 1; on Windows it ends quietly with status 1).\n";

// An argument as the system hands it over: UTF-16 on Windows, bytes elsewhere. File names are
// kept in this form, so that any name the system allows reaches the file calls unchanged.
using Argument = std::filesystem::path::string_type;
using Path = std::filesystem::path;

bool Is(const Argument& argument, std::string_view ascii)
{
    return std::equal(argument.begin(), argument.end(), ascii.begin(), ascii.end());
}

std::string Utf8(const Path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string Shown(const Path& path) { return corvane::DisplayName(path); }

// Every message begins with the program's name, so that a line in a pipeline's shared standard
// error says whose it is.
constexpr std::string_view kName = "corvane-codec: ";

int UsageMistake(const std::string& mistake)
{
    Write(stderr, corvane::UsageMistakeText("corvane-codec", mistake));
    return 2;
}

void Report(const corvane::Error& error) { Write(stderr, std::string(kName) + corvane::ErrorLine(error) + "\n"); }

// Whether SIGPIPE came ignored from the parent (`trap '' PIPE`): such a parent asked for a
// broken pipe to be reported, not to end the program.
[[maybe_unused]] bool pipeSignalIgnored = false;

// The reader of standard output has gone: the program ends at once and quietly, by SIGPIPE, as
// cat does, so that `corvane-codec decode big - | head` says nothing and a shell sees 141.
// Where SIGPIPE came ignored (`trap '' PIPE`), the failure is reported as any other ("Broken
// pipe", exit status 1), as cat and gzip do. Windows has no such signal; its own tools end as
// quietly there (a closed pipe is ERROR_NO_DATA, ERROR_BROKEN_PIPE or, under Wine,
// ERROR_PIPE_NOT_CONNECTED), and the status is 1, as for any work left undone.
void EndIfReaderLeft(int code)
{
#ifdef _WIN32
    if (code != ERROR_NO_DATA && code != ERROR_BROKEN_PIPE && code != ERROR_PIPE_NOT_CONNECTED) return;
    std::_Exit(1);
#else
    if (code != EPIPE || pipeSignalIgnored) return;
    std::signal(SIGPIPE, SIG_DFL);
    sigset_t pipe;
    ::sigemptyset(&pipe);
    ::sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);  // even when it came blocked from the parent
    std::raise(SIGPIPE);
#endif
}

// Writes an answer (--help, --version) to standard output; one that cannot be written is a
// failure, as for cat.
int Answer(std::string_view text)
{
    const int code = Write(stdout, text);
    if (code == 0) return 0;
    EndIfReaderLeft(code);
    Report(corvane::SystemError(code, "Cannot write", "standard output"));
    return 1;
}

// Nothing when `path` is a folder or a link to one; otherwise why not.
std::optional<corvane::Error> NotAFolder(const Path& path)
{
    const auto failure = [&path](int code) { return corvane::SystemError(code, "Cannot write into", Shown(path)); };
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return failure(static_cast<int>(::GetLastError()));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return failure(ERROR_DIRECTORY);
#else
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return failure(errno);
    if (!S_ISDIR(status.st_mode)) return failure(ENOTDIR);
#endif
    return std::nullopt;
}

corvane::Endpoint EndpointFor(const Argument& argument)
{
    if (Is(argument, "-")) return corvane::Endpoint::StandardStream();
    return corvane::Endpoint::File(Path(argument));
}

struct Job {
    Argument source;
    Argument destination;
};

// The sources and where each goes: one DESTINATION, or each source into FOLDER under its own
// name. Returns the exit status of a mistake that stops the run before it starts.
std::optional<int> PlanJobs(const std::vector<Argument>& paths, std::vector<Job>& jobs)
{
    const Argument& last = paths.back();
    const std::vector<Argument> sources(paths.begin(), paths.end() - 1);
    const bool intoFolder = sources.size() > 1 || (!Is(last, "-") && !NotAFolder(last));
    if (!intoFolder) {
        jobs.push_back({sources[0], last});
        return std::nullopt;
    }
    if (Is(last, "-")) return UsageMistake("several sources go into a folder, not to standard output");
    if (std::any_of(sources.begin(), sources.end(), [](const Argument& s) { return Is(s, "-"); })) {
        return UsageMistake("standard input ('-') has no name to take into a folder");
    }
    if (auto error = NotAFolder(last)) {
        Report(*error);
        return 1;
    }
    for (const Argument& source : sources) jobs.push_back({source, (Path(last) / Path(source).filename()).native()});
    return std::nullopt;
}

struct Options {
    bool showProgress = false;
    std::vector<Argument> operands;
};

// Reads the options with getopt_long, in the order given (options may follow operands); every
// word after "--" is an operand. Returns the exit status when the program stops here: an answer
// (--help, --version) or a usage mistake.
std::optional<int> ReadOptions(const std::vector<Argument>& arguments, Options& options)
{
    // getopt_long reads char*: on Windows each UTF-16 argument goes in as UTF-8, and an operand
    // comes back out as the argument it was, by its place.
    std::vector<std::string> words{"corvane-codec"};
    for (const Argument& argument : arguments) words.push_back(Utf8(argument));
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    enum : int { kOperand = 1, kProgress = 'p', kHelp = 'h', kVersion = 'V' };
    static const option kLongOptions[] = {
        {"progress", no_argument, nullptr, kProgress},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;  // the mistake is worded below, in the companion's form
    optind = 1;
    // "-": each operand is returned in its place (as option 1), nothing is reordered, so the
    // word getopt_long is at when a call starts is the word it answers about.
    for (int word = optind, c; (c = getopt_long(argc, argv.data(), "-hV", kLongOptions, nullptr)) != -1; word = optind) {
        switch (c) {
        case kOperand:
            options.operands.push_back(arguments[optind - 2]);
            break;
        case kProgress:
            options.showProgress = true;
            break;
        case kHelp:
            return Answer(kUsage);
        case kVersion:
            return Answer(corvane::VersionText("corvane-codec"));
        default: {
            const std::string given = words[word];
            const bool longWithValue = given.rfind("--", 0) == 0 && optopt != 0;
            return UsageMistake(longWithValue ? "option '" + given.substr(0, given.find('=')) + "' takes no value"
                                              : "unknown option '" + given + "'");
        }
        }
    }
    for (int i = optind; i < argc; ++i) options.operands.push_back(arguments[i - 1]);
    return std::nullopt;
}

int Run(const std::vector<Argument>& arguments)
{
    Options options;
    if (const auto status = ReadOptions(arguments, options)) return *status;
    const std::vector<Argument>& operands = options.operands;
    const bool showProgress = options.showProgress;

    if (operands.empty()) return UsageMistake("missing command (encode or decode)");
    corvane::Coding coding;
    if (Is(operands[0], "encode")) {
        coding = corvane::Coding::Encode;
    } else if (Is(operands[0], "decode")) {
        coding = corvane::Coding::Decode;
    } else {
        return UsageMistake("unknown command '" + Utf8(operands[0]) + "'");
    }
    if (operands.size() < 2) return UsageMistake("missing SOURCE");
    if (operands.size() < 3) return UsageMistake("missing DESTINATION");

    if (auto error = corvane::CodecKernelFromEnvironment()) {
        Report(*error);
        return 1;
    }
    std::vector<Job> jobs;
    if (auto status = PlanJobs({operands.begin() + 1, operands.end()}, jobs)) return *status;

    corvane::InstallTemporaryFileCleanup(showProgress ? corvane::tools::EndProgressLine : nullptr);
    std::unique_ptr<corvane::tools::Progress> progress;
    if (showProgress) progress = std::make_unique<corvane::tools::Progress>(jobs.size());
    // The files written in this run: a later source whose destination is one of them would
    // replace an earlier one's result (or code it a second time), so it is refused, as cp does.
    // Told apart by file identity, as the file system itself tells names apart.
    std::set<corvane::FileIdentity> written;
    bool failed = false;
    const auto reportOutcome = [&](const Job& job, const std::optional<corvane::Error>& error,
                                   const std::optional<corvane::Error>& warning) {
        if (error) {
            Report(*error);
            failed = true;
        } else {
            if (warning) Write(stderr, std::string(kName) + corvane::WarningLine(*warning) + "\n");
            if (auto identity = corvane::IdentityOf(job.destination)) written.insert(*identity);
        }
    };
    const auto refuseWritten = [&](const Job& job) -> std::optional<corvane::Error> {
        if (jobs.size() < 2) return std::nullopt;
        const auto identity = corvane::IdentityOf(job.destination);
        if (!identity || !written.count(*identity)) return std::nullopt;
        return corvane::ProblemError(
#ifdef _WIN32
            ERROR_ALREADY_EXISTS,
#else
            EEXIST,
#endif
            "Will not write '" + Shown(job.source) + "' over", Shown(job.destination),
            "another source of this run was just written there");
    };
    // Files into a folder, without a progress line to keep final, go through the batch: their
    // flushes to disk are shared. The batch asks before each file whether it may go.
    if (jobs.size() > 1 && !progress) {
        std::vector<corvane::BatchFile> batch;
        for (const Job& job : jobs) batch.push_back({coding, Path(job.source), Path(job.destination)});
        corvane::TransformFiles(
            batch, nullptr,
            [&](std::size_t i, const corvane::BatchOutcome& outcome) {
                reportOutcome(jobs[i], outcome.error, outcome.warning);
            },
            corvane::AfterFailure::GoOn, [&](std::size_t i) { return refuseWritten(jobs[i]); });
        return failed ? 1 : 0;
    }
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& job = jobs[i];
        if (auto refused = refuseWritten(job)) {
            reportOutcome(job, refused, std::nullopt);
            continue;
        }
        corvane::TransformControl control;
        if (progress) progress->Begin(i + 1, Utf8(job.source), control, !Is(job.source, "-"));
        const std::optional<corvane::Error> error =
            corvane::TransformFile(coding, EndpointFor(job.source), EndpointFor(job.destination), &control);
        if (progress) progress->End(!error);
        if (error && Is(job.destination, "-")) EndIfReaderLeft(error->number);
        reportOutcome(job, error, control.warning);
    }
    return failed ? 1 : 0;
}

}  // namespace

#ifdef _WIN32
// Built with -municode: the arguments arrive as UTF-16, whatever the console's code page.
int wmain(int argc, wchar_t** argv)
{
    // Standard streams carry bytes: no CR/LF translation, no end at a Ctrl+Z, and messages
    // end their lines as on every other system.
    for (std::FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
    return Run({argv + 1, argv + argc});
}
#else
int main(int argc, char** argv)
{
    corvane::ReserveStandardStreams();
    // The system's own words for its errors, in the user's language where it has them.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    struct sigaction inherited {};
    pipeSignalIgnored = ::sigaction(SIGPIPE, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN;
    // A closed pipe is noticed as a failed write, so that the coding ends cleanly (no temporary
    // file left behind when standard error's reader goes); a closed standard output then ends
    // the program by SIGPIPE after all (EndIfReaderLeft).
    std::signal(SIGPIPE, SIG_IGN);
    return Run({argv + 1, argv + argc});
}
#endif
