// What the program asks of the desktop beyond its own windows: modal message boxes, starting
// programs, opening folders and web addresses, and ending the process at once.
//
// All of it goes through one replaceable `Desktop` object, so that tests can answer message
// boxes and observe what would have been started or ended without it really happening.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "codec/Error.h"

namespace corvane::platform {

enum class MsgButtons { Ok, OkCancel };
enum class MsgIcon { None, Information, Exclamation };
enum class MsgAnswer { Ok, Cancel };

// The program's title, which a message box given no caption of its own shows. The program
// hands it over at start-up; until then it is empty.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

struct MessageBoxRequest {
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString caption;  // always filled in: ApplicationTitle() when none was given
};

// How a started program's window first appears.
enum class WindowStyle { Hidden = 0, Normal = 1, Minimized = 2, Maximized = 3 };

struct ProgramRequest {
    QString program;
    QStringList arguments;  // passed as arguments, never through a shell
    WindowStyle style = WindowStyle::Normal;
};

// Hears a started program's exit status on the user-interface thread once it has ended (128 +
// the signal's number for one ended by a signal). Not on Windows, where a program's status says
// nothing of the outcome (Explorer ends with 1 when it opened a folder).
using ProgramEnded = std::function<void(int status)>;

class Desktop {
public:
    virtual ~Desktop() = default;
    // Shows a modal message box and returns the button chosen; Escape and the close box count
    // as Cancel when there is a Cancel button.
    virtual MsgAnswer ShowMessage(const MessageBoxRequest& request) = 0;
    // Starts a program without waiting for it; `ended`, when given, hears how it ended.
    [[nodiscard]] virtual std::optional<Error> StartProgram(const ProgramRequest& request, ProgramEnded ended) = 0;
    // Asks the system to open a web address in the default browser; the outcome is not known.
    virtual void OpenAddress(const QString& address) = 0;
    // Ends the process at once: no window's close handling runs.
    virtual void EndProgram() = 0;
};

// The desktop in use: the real one unless a test has installed its own.
Desktop& CurrentDesktop();

// Installs `desktop` for the lifetime of this object (tests).
class DesktopOverride {
public:
    explicit DesktopOverride(Desktop& desktop);
    ~DesktopOverride();
    DesktopOverride(const DesktopOverride&) = delete;
    DesktopOverride& operator=(const DesktopOverride&) = delete;

private:
    Desktop* previous_;
};

// The calls the windows make.
MsgAnswer MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None, const QString& caption = {});
[[nodiscard]] std::optional<Error> StartProgram(const ProgramRequest& request, ProgramEnded ended = {});
// Opens `folder` in the system's file manager (Explorer on Windows, the desktop's default
// file manager elsewhere, through xdg-open), passing the folder as an argument; the folder is
// made first when it is missing. A failure to make it or to start the program is returned; one
// that the program reports by its exit status comes later, to `failedLater`.
[[nodiscard]] std::optional<Error> OpenFolderInFileManager(const QString& folder,
                                                           std::function<void(const Error&)> failedLater = {});
// The failure that xdg-open's exit `status` (not 0) tells of, for `folder`.
Error FileManagerFailure(const QString& folder, int status);
void OpenAddress(const QString& address);
void EndProgram();
// A step the real desktop takes just before it ends the process (the program's last clean-up).
void SetBeforeEndingProgram(void (*step)());

// The smallest width of a message box whose title bar shows all of `caption`.
int MessageBoxCaptionWidth(const QString& caption);

// The program that OpenFolderInFileManager starts for `folder`.
ProgramRequest FileManagerRequest(const QString& folder);

}  // namespace corvane::platform
