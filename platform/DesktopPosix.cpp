// Starting programs on POSIX systems: posix_spawn, and a thread that waits for each program to
// end so that none is left a zombie.
#include <QCoreApplication>
#include <QMetaObject>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "platform/DesktopSystem.h"
#include "platform/Files.h"

extern char** environ;

namespace corvane::platform {

namespace detail {

namespace {

// Waits for a started program to end, on a thread of its own with every signal blocked (the
// program's signal handling stays on its main thread), so that it leaves no zombie behind; then
// hands its exit status to `ended`, when given, on the user-interface thread.
void ReapWhenItEnds(pid_t pid, ProgramEnded ended)
{
    sigset_t all;
    sigset_t earlier;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &earlier);
    std::thread([pid, ended = std::move(ended)] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) return;
        }
        if (!ended) return;
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [ended, code] { ended(code); }, Qt::QueuedConnection);
    }).detach();
    ::pthread_sigmask(SIG_SETMASK, &earlier, nullptr);
}

}  // namespace

// The program is looked up on PATH unless it names a path, and gets its arguments as the very
// bytes of each, its standard streams on /dev/null, a session of its own, no signal blocked and
// the usual handling of those this program catches or ignores. posix_spawnp reports exec's own
// failure, so a program that is missing and one that may not be run each give their own reason.
int StartDetached(const ProgramRequest& request, ProgramEnded ended)
{
    std::vector<std::string> words{ToPath(request.program).native()};
    for (const QString& argument : request.arguments) words.push_back(ToPath(argument).native());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t streams;
    ::posix_spawn_file_actions_init(&streams);
    ::posix_spawn_file_actions_addopen(&streams, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&streams, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&streams, 1, 2);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t set;
    ::sigemptyset(&set);
    ::posix_spawnattr_setsigmask(&attributes, &set);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD}) ::sigaddset(&set, number);
    ::posix_spawnattr_setsigdefault(&attributes, &set);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;
#endif
    ::posix_spawnattr_setflags(&attributes, flags);

    pid_t pid = -1;
    const int code = ::posix_spawnp(&pid, argv[0], &streams, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&streams);
    if (code != 0) return code;
    ReapWhenItEnds(pid, std::move(ended));
    return 0;
}

}  // namespace detail

ProgramRequest FileManagerRequest(const QString& folder)
{
#ifdef Q_OS_MACOS
    return {QStringLiteral("open"), {folder}, WindowStyle::Normal};
#else
    // xdg-open hands a folder to the desktop's default file manager.
    return {QStringLiteral("xdg-open"), {folder}, WindowStyle::Normal};
#endif
}

}  // namespace corvane::platform
