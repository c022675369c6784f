// The desktop as every system has it: message boxes, the seam tests replace, the file manager
// and the program's end. How a program is started is each system's own (DesktopSystem.h).
#include "platform/Desktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/Describe.h"
#include "platform/DesktopSystem.h"
#include "platform/Files.h"
#include "platform/TextWrap.h"

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
        const int code = detail::StartDetached(request, std::move(ended));
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
