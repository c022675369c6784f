// Starting the real companion, built beside the tests (CORVANE_CODEC_EXE), or another program,
// as a child process. POSIX only.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace corvane::testing {

// Starts `program` (looked up in PATH when it has no slash) with `args`, the given descriptors
// as its standard streams (-1: that stream closed), in `folder` (empty: this process's folder) and with
// `extraEnvironment` before this process's own. Returns its process id, or -1 when it could not
// be started.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args, int in, int out,
                          int err, const std::filesystem::path& folder = {},
                          const std::vector<std::string>& extraEnvironment = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const int streams[] = {in, out, err};
    for (int stream = 0; stream < 3; ++stream) {
        if (streams[stream] < 0)
            posix_spawn_file_actions_addclose(&actions, stream);
        else
            posix_spawn_file_actions_adddup2(&actions, streams[stream], stream);
    }

    std::vector<std::string> texts{program};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment(extraEnvironment);
    for (char** e = environ; *e; ++e) environment.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The companion, built beside the tests, started as StartProgram starts a program.
inline pid_t StartCompanion(const std::vector<std::string>& args, int in, int out, int err,
                            const std::filesystem::path& folder = {},
                            const std::vector<std::string>& extraEnvironment = {})
{
    return StartProgram(CORVANE_CODEC_EXE, args, in, out, err, folder, extraEnvironment);
}

// The exit status as a shell reports it: 128+signal for a process ended by a signal; -1 when
// there is no such child.
inline int WaitStatus(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits up to a minute for `done` to hold, as a started program works.
inline bool AwaitCondition(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace corvane::testing
