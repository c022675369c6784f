#include "platform/Desktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/Describe.h"
#include "platform/Files.h"
#include "platform/TextWrap.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;
#endif

namespace corvane::platform {

namespace {

QMessageBox::Icon ToQt(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

// A message box at least as wide as the window manager needs to show its whole caption in the
// title bar: the caption in a bold title font, and room for the icon and the buttons at the ends.
void FitCaption(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    const int width = MessageBoxCaptionWidth(box.windowTitle());
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

#ifdef Q_OS_WIN
// Starts `program` without waiting for it, its window shown as `style` asks. Returns 0, or
// Windows' own error: ERROR_FILE_NOT_FOUND for a program not found on the path, else what
// CreateProcess left, which Qt keeps in place.
int StartDetached(const ProgramRequest& request, ProgramEnded)
{
    const QString program = QStandardPaths::findExecutable(request.program);
    if (program.isEmpty()) return ERROR_FILE_NOT_FOUND;
    QProcess process;
    process.setProgram(program);
    process.setArguments(request.arguments);
    process.setCreateProcessArgumentsModifier([style = request.style](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = static_cast<WORD>(style);
    });
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (process.startDetached()) return 0;
    const DWORD code = ::GetLastError();
    return code != 0 ? static_cast<int>(code) : ERROR_ACCESS_DENIED;
}
#else
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

// Starts `request.program` (looked up on PATH unless it names a path) without waiting for it:
// its arguments as the very bytes of each, its standard streams on /dev/null, in a session of its
// own, with no signal blocked and the usual handling of those this program catches or ignores.
// Returns 0, or the errno of the failed start: posix_spawnp reports exec's own failure, so a
// program that is missing and one that may not be run each give their own reason.
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
#endif

void (*&BeforeEnding())()
{
    static void (*step)() = nullptr;
    return step;
}

class RealDesktop final : public Desktop {
public:
    MsgAnswer ShowMessage(const MessageBoxRequest& request) override
    {
        // Over the active window, unless that one is disabled while work runs: the box would
        // be disabled with it.
        QWidget* over = QApplication::activeWindow();
        if (over && !over->isEnabled()) over = nullptr;
        QMessageBox box(ToQt(request.icon), request.caption, WithWrapPoints(request.text), QMessageBox::NoButton, over);
        box.setWindowModality(Qt::ApplicationModal);
        FitCaption(box);
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        box.setDefaultButton(ok);
        if (request.buttons == MsgButtons::OkCancel) {
            // Escape and the close box choose the escape button.
            box.setEscapeButton(box.addButton(QMessageBox::Cancel));
        } else {
            box.setEscapeButton(ok);
        }
        // Plain buttons, as every other button of the program: some desktops' themes give OK and
        // Cancel a tick and a cross.
        for (QAbstractButton* button : box.buttons()) button->setIcon(QIcon());
        box.exec();
        return box.clickedButton() == ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }

    std::optional<Error> StartProgram(const ProgramRequest& request, ProgramEnded ended) override
    {
        const int code = StartDetached(request, std::move(ended));
        if (code == 0) return std::nullopt;
        return SystemError(code, "Cannot start", NameInMessage(request.program));
    }

    void OpenAddress(const QString& address) override { QDesktopServices::openUrl(QUrl(address)); }

    void EndProgram() override
    {
        if (void (*step)() = BeforeEnding()) step();
        std::fflush(nullptr);
        std::_Exit(0);
    }
};

RealDesktop& Real()
{
    static RealDesktop desktop;
    return desktop;
}

Desktop* g_current = nullptr;

QString& Title()
{
    static QString title;
    return title;
}

}  // namespace

int MessageBoxCaptionWidth(const QString& caption)
{
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    // The window icon and the title bar's buttons, each about a line and a half square, and the
    // frame's margins.
    const int frame = 6 * metrics.height();
    return metrics.horizontalAdvance(caption) + frame;
}

Desktop& CurrentDesktop() { return g_current ? *g_current : Real(); }

DesktopOverride::DesktopOverride(Desktop& desktop) : previous_(g_current) { g_current = &desktop; }
DesktopOverride::~DesktopOverride() { g_current = previous_; }

void SetApplicationTitle(const QString& title) { Title() = title; }

QString ApplicationTitle() { return Title(); }

MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& caption)
{
    return CurrentDesktop().ShowMessage({text, buttons, icon, caption.isEmpty() ? Title() : caption});
}

std::optional<Error> StartProgram(const ProgramRequest& request, ProgramEnded ended)
{
    return CurrentDesktop().StartProgram(request, std::move(ended));
}

ProgramRequest FileManagerRequest(const QString& folder)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("explorer.exe"), {QDir::toNativeSeparators(folder)}, WindowStyle::Normal};
#elif defined(Q_OS_MACOS)
    return {QStringLiteral("open"), {folder}, WindowStyle::Normal};
#else
    // xdg-open hands a folder to the desktop's default file manager.
    return {QStringLiteral("xdg-open"), {folder}, WindowStyle::Normal};
#endif
}

Error FileManagerFailure(const QString& folder, int status)
{
    // xdg-open's documented exit statuses.
    const char* reason = status == 2 ? "the folder is not there"
                         : status == 3 ? "no program to open folders was found"
                         : status == 4 ? "the file manager failed"
                                       : "xdg-open failed";
    return Error{status, "Cannot open '" + NameInMessage(folder) + "' in a file manager: " + reason +
                             " (xdg-open ended with status " + std::to_string(status) + ")"};
}

std::optional<Error> OpenFolderInFileManager(const QString& folder, std::function<void(const Error&)> failedLater)
{
    if (!PathExists(folder)) CORVANE_TRY(MakeFolder(folder));
    ProgramEnded ended;
    if (failedLater) {
        ended = [folder, failedLater = std::move(failedLater)](int status) {
            if (status != 0) failedLater(FileManagerFailure(folder, status));
        };
    }
    return StartProgram(FileManagerRequest(folder), std::move(ended));
}

void OpenAddress(const QString& address) { CurrentDesktop().OpenAddress(address); }

void EndProgram() { CurrentDesktop().EndProgram(); }

void SetBeforeEndingProgram(void (*step)()) { BeforeEnding() = step; }

}  // namespace corvane::platform
