#include "platform/Desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
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
constexpr int kNotFound = ERROR_FILE_NOT_FOUND;
#else
constexpr int kNotFound = ENOENT;
#endif

class RealDesktop final : public Desktop {
public:
    MsgAnswer ShowMessage(const MessageBoxRequest& request) override
    {
        // Over the active window, unless that one is disabled while work runs: the box would
        // be disabled with it.
        QWidget* over = QApplication::activeWindow();
        if (over && !over->isEnabled()) over = nullptr;
        QMessageBox box(ToQt(request.icon), request.caption, request.text, QMessageBox::NoButton, over);
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
        box.exec();
        return box.clickedButton() == ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }

    std::optional<Error> StartProgram(const ProgramRequest& request) override
    {
        const QString program = QStandardPaths::findExecutable(request.program);
        if (program.isEmpty()) return StartError(kNotFound, request.program);
        QProcess process;
        process.setProgram(program);
        process.setArguments(request.arguments);
#ifdef Q_OS_WIN
        process.setCreateProcessArgumentsModifier([style = request.style](QProcess::CreateProcessArguments* args) {
            args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
            args->startupInfo->wShowWindow = static_cast<WORD>(style);
        });
#endif
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        if (!process.startDetached()) return StartError(LastStartFailure(), request.program);
        return std::nullopt;
    }

    void OpenAddress(const QString& address) override { QDesktopServices::openUrl(QUrl(address)); }

    void EndProgram() override
    {
        std::fflush(nullptr);
        std::_Exit(0);
    }

private:
    // Why the system would not start a program that was found: Windows' own error from
    // CreateProcess, which Qt leaves in place; elsewhere Qt keeps no number, and a program found
    // on the path that will not start is one this user may not run.
    static int LastStartFailure()
    {
#ifdef Q_OS_WIN
        const DWORD code = ::GetLastError();
        return code != 0 ? static_cast<int>(code) : ERROR_ACCESS_DENIED;
#else
        return EACCES;
#endif
    }

    static Error StartError(int code, const QString& program)
    {
#ifdef Q_OS_WIN
        QString text = QString::fromStdString(std::system_category().message(code)).trimmed();
        while (text.endsWith(QLatin1Char('.'))) text.chop(1);
#else
        const QString text = QString::fromStdString(std::generic_category().message(code));
#endif
        return {code, QStringLiteral("Cannot start '%1': %2").arg(program, text).toStdString()};
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

std::optional<Error> StartProgram(const ProgramRequest& request)
{
    return CurrentDesktop().StartProgram(request);
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

std::optional<Error> OpenFolderInFileManager(const QString& folder)
{
    return StartProgram(FileManagerRequest(folder));
}

void OpenAddress(const QString& address) { CurrentDesktop().OpenAddress(address); }

void EndProgram() { CurrentDesktop().EndProgram(); }

}  // namespace corvane::platform
