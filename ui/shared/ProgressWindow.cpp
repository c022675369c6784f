#include "ui/shared/ProgressWindow.h"

#include <QCloseEvent>
#include <QKeySequence>
#include <QProgressBar>
#include <QShortcut>

#include <algorithm>

#include "platform/SimpleControls.h"
#include "platform/Units.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"

namespace corvane {

namespace {

constexpr qint64 kTextEveryMs = 1000;
constexpr int kBarSteps = 100;  // percent: what screen readers announce anyway

}  // namespace

platform::FormLayout ProgressWindow::Layout()
{
    using namespace platform::rows;
    const auto bar = [](QWidget* parent) {
        auto* progress = new QProgressBar(parent);
        progress->setRange(0, kBarSteps);
        progress->setAccessibleName(QStringLiteral("Progress"));
        return progress;
    };
    return {
        .name = kWindow.Name(),
        .caption = QStringLiteral("Encoding"),
        .border = platform::BorderStyle::FixedDialog,
        .clientWidth = 5055,
        .clientHeight = 2115,
        .controls = {
            //          name           caption    left   top  width height  tab
            Label      ("lblfile",     "",       { 120,  120, 4815,  255}),
            Hosted     ("barprogress",           { 120,  420, 4815,  255}, platform::kNoTab, bar),
            Label      ("lblbytes",    "",       { 120,  780, 4815,  255}),
            Label      ("lblspeed",    "",       { 120, 1020, 4815,  255}),
            Label      ("lblleft",     "",       { 120, 1260, 4815,  255}),
            XpButtonRow("cmdcancel",   "Cancel", {3720, 1620, 1215,  375}, 0),
        },
    };
}

ProgressWindow::ProgressWindow() : Form(Layout())
{
    const auto label = [this](const char* name) { return Control<platform::Label>(QLatin1String(name)); };
    file_ = label("lblfile");
    bar_ = Control<QProgressBar>(QStringLiteral("barprogress"));
    bytes_ = label("lblbytes");
    speed_ = label("lblspeed");
    left_ = label("lblleft");
    connect(Control<ZelXpButton>(QStringLiteral("cmdcancel")), &ZelXpButton::Click, this,
            &ProgressWindow::CancelRequested);
    // A shortcut, because the focused button takes every key pressed on it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &ProgressWindow::CancelRequested);
    textClock_.start();
}

void ProgressWindow::SetFile(Coding coding, const QString& name, const QString& folderName, int number, int count)
{
    const QString verb = coding == Coding::Encode ? QStringLiteral("Encoding") : QStringLiteral("Decoding");
    setWindowTitle(verb + QLatin1Char(' ') + name);
    const QString into = QStringLiteral("into ") + folderName;
    file_->SetCaption(count > 1 ? QStringLiteral("File %1 of %2, %3").arg(number).arg(count).arg(into)
                                : into.at(0).toUpper() + into.mid(1));
}

void ProgressWindow::StartCounting()
{
    writing_ = false;
    bar_->setValue(0);
    speed_->SetCaption(QString());
    left_->SetCaption(QString());
    bytes_->SetCaption(QString());
    textDue_ = true;  // the first report shows at once
}

void ProgressWindow::SetProgress(std::uint64_t done, std::uint64_t total, const RateEstimate& estimate)
{
    const int step = total == 0 ? 0 : static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * kBarSteps);
    bar_->setValue(std::min(step, kBarSteps));
    if (total == 0) return;  // not yet known: the lines wait for it
    const bool writing = done >= total;
    // A change of state shows at once; the figures within a state at a calm pace.
    if (textDue_ || writing != writing_ || textClock_.elapsed() >= kTextEveryMs) {
        writing_ = writing;
        ShowText(done, total, estimate);
    }
}

void ProgressWindow::ShowText(std::uint64_t done, std::uint64_t total, const RateEstimate& estimate)
{
    textClock_.restart();
    textDue_ = false;
    bytes_->SetCaption(platform::SizeText(done) + QStringLiteral(" of ") + platform::SizeText(total));
    if (writing_) {
        left_->SetCaption(QStringLiteral("Writing to disk"));
        return;
    }
    const auto bytes = [](double amount) { return platform::SizeText(static_cast<std::uint64_t>(amount)); };
    speed_->SetCaption(estimate.bytesPerSecond ? bytes(*estimate.bytesPerSecond) + QStringLiteral("/s") : QString());
    left_->SetCaption(estimate.secondsLeft
                          ? platform::DurationText(static_cast<std::uint64_t>(std::min(*estimate.secondsLeft, 3.6e8))) +
                                QStringLiteral(" left")
                          : QString());
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
