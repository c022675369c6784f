#include "ui/shared/ProgressWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>

#include <array>

#include "platform/SimpleControls.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"

namespace corvane {

QString HumanBytes(std::uint64_t bytes)
{
    if (bytes < 1000) return QStringLiteral("%1 bytes").arg(bytes);
    static constexpr std::array<const char*, 6> kUnits = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes) / 1000.0;
    std::size_t unit = 0;
    // 999.95 would print as "1000.0": such a value moves up to the next unit.
    while (value >= 999.95 && unit + 1 < kUnits.size()) {
        value /= 1000.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(kUnits[unit]));
}

QString HumanDuration(std::uint64_t seconds)
{
    if (seconds == 0) return QStringLiteral("less than a second");
    if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600) return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QChar('0'));
}

platform::FormLayout ProgressWindow::Layout()
{
    using namespace platform::rows;
    return {
        .name = kName,
        .caption = QStringLiteral("Encoding"),
        .border = platform::BorderStyle::FixedDialog,
        .clientWidth = 5055,
        .clientHeight = 1815,
        .controls = {
            //          name         caption    left   top  width height  tab
            Label      ("lblfile",   "",       { 120,  120, 4815,  255}),
            Label      ("lblbytes",  "",       { 120,  420, 4815,  255}),
            Label      ("lblspeed",  "",       { 120,  720, 4815,  255}),
            Label      ("lblleft",   "",       { 120, 1020, 4815,  255}),
            XpButtonRow("cmdcancel", "Cancel", {3720, 1320, 1215,  375}, 0),
        },
    };
}

ProgressWindow::ProgressWindow() : Form(Layout())
{
    const auto label = [this](const char* name) { return Control<platform::Label>(QLatin1String(name)); };
    file_ = label("lblfile");
    bytes_ = label("lblbytes");
    speed_ = label("lblspeed");
    left_ = label("lblleft");
    connect(Control<ZelXpButton>(QStringLiteral("cmdcancel")), &ZelXpButton::Click, this,
            &ProgressWindow::CancelRequested);
    // A shortcut, because the focused button takes every key pressed on it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &ProgressWindow::CancelRequested);
    fileClock_.start();
}

void ProgressWindow::SetFile(Coding coding, const QString& name, int number, int count)
{
    const QString verb = coding == Coding::Encode ? QStringLiteral("Encoding") : QStringLiteral("Decoding");
    setWindowTitle(verb + QLatin1Char(' ') + name);
    file_->SetCaption(count > 1 ? QStringLiteral("File %1 of %2").arg(number).arg(count) : QString());
    SetProgress(0, 0);
    speed_->SetCaption(QString());
    left_->SetCaption(QString());
    fileClock_.restart();
}

void ProgressWindow::SetProgress(std::uint64_t done, std::uint64_t total)
{
    bytes_->SetCaption(HumanBytes(done) + QStringLiteral(" of ") + HumanBytes(total));
    const qint64 elapsedMs = fileClock_.elapsed();
    if (done == 0 || elapsedMs <= 0) return;
    const double perSecond = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsedMs);
    speed_->SetCaption(HumanBytes(static_cast<std::uint64_t>(perSecond)) + QStringLiteral("/s"));
    const auto secondsLeft = static_cast<std::uint64_t>(static_cast<double>(total > done ? total - done : 0) / perSecond);
    left_->SetCaption(HumanDuration(secondsLeft) + QStringLiteral(" left"));
}

void ProgressWindow::ShowOver(QWidget* owner)
{
    if (owner && owner->isVisible()) {
        const QRect frame = owner->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    Show();
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    // The work decides when this window goes; the close box only asks it to stop.
    event->ignore();
    emit CancelRequested();
}

}  // namespace corvane
