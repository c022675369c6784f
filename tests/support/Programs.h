// Starting a program as a child process, as a user's shell starts it, and reading what it
// answered. POSIX only.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace corvane::testing {

// A standard stream that StartProgram leaves closed, as a shell's `<&-` or `>&-` does.
constexpr int kClosed = -1;

// Starts `program` (looked up in PATH when it has no slash) with `args`, the given descriptors
// (or kClosed) as its standard streams, in `folder` (empty: this process's folder), with
// `extraEnvironment` ("NAME=value") before this process's own environment and without the
// variables that `unsetNames` names. Returns its process id, or -1 when it could not be started.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args, int in, int out,
                          int err, const std::filesystem::path& folder = {},
                          const std::vector<std::string>& extraEnvironment = {},
                          const std::vector<std::string>& unsetNames = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const int streams[] = {in, out, err};
    for (int stream = 0; stream < 3; ++stream) {
        if (streams[stream] == kClosed) {
            posix_spawn_file_actions_addclose(&actions, stream);
        } else {
            posix_spawn_file_actions_adddup2(&actions, streams[stream], stream);
        }
    }

    std::vector<std::string> texts{program};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment(extraEnvironment);
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (std::find(unsetNames.begin(), unsetNames.end(), name) == unsetNames.end()) environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status as a shell reports it: 128+signal for a process ended by a signal; -1 when
// there is no such child.
inline int WaitStatus(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits up to a minute for `done` to hold, as a started program works. (The tests of the codec
// and the companion run without Qt, so QTest::qWaitFor is not theirs to use.)
inline bool AwaitCondition(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// What a program that ran to its end answered.
struct ProgramAnswer {
    int status = -1;  // as WaitStatus gives it
    std::string out;
    std::string err;
};

// Runs `program` to its end as StartProgram starts it, standard input empty (/dev/null), and
// returns its exit status and everything it wrote to standard output and standard error.
inline ProgramAnswer RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& folder = {},
                                const std::vector<std::string>& extraEnvironment = {},
                                const std::vector<std::string>& unsetNames = {})
{
    std::FILE* in = std::fopen("/dev/null", "rb");
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ProgramAnswer answer;
    if (in && out && err) {
        answer.status = WaitStatus(StartProgram(program, args, ::fileno(in), ::fileno(out), ::fileno(err), folder,
                                                extraEnvironment, unsetNames));
        for (auto [file, text] : {std::pair{out, &answer.out}, std::pair{err, &answer.err}}) {
            std::rewind(file);
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text->append(buffer, n);
        }
    }
    for (std::FILE* file : {in, out, err}) {
        if (file) std::fclose(file);
    }
    return answer;
}

// The environment of a German-speaking user ("LOCPATH=...", "LC_ALL=de_DE.UTF-8", ...), its
// locale made with localedef into `folder`; nothing where the system cannot make it or has no
// German words for its errors (Debian's locales and libc-l10n).
inline std::optional<std::vector<std::string>> GermanEnvironment(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    const std::string make = "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8").string() + "' 2>/dev/null";
    if (std::system(make.c_str()) != 0 || !std::filesystem::exists("/usr/share/locale/de/LC_MESSAGES/libc.mo")) {
        return std::nullopt;
    }
    return std::vector<std::string>{"LOCPATH=" + folder.string(), "LC_ALL=de_DE.UTF-8", "LANGUAGE="};
}

}  // namespace corvane::testing
