// The small window that follows long work: where the file goes (and which of a batch it is), a
// progress bar, how far it is, how fast it goes and how long is left, with a Cancel button.
// Cancel, Escape and the close box all ask for the same thing, a cancel; the window itself never
// stops anything.
//
// The bar follows every report; the lines of text change at most once a second, so that they
// stay readable and screen readers are not flooded. The speed and time left are given to it
// (units/RateEstimate.h): a figure not known yet is left out, never guessed. Once every byte is
// coded, the file is being written to disk, which can take seconds on slow media: the window says
// so instead of a time left, and the speed stays at its last value.
#pragma once

#include <QElapsedTimer>

#include <cstdint>

#include "codec/FileTransform.h"
#include "platform/Form.h"
#include "units/RateEstimate.h"

class QProgressBar;

namespace corvane {

namespace platform {
class Label;
}

class ProgressWindow : public platform::Form {
    Q_OBJECT
public:
    static inline const platform::FormHandle<ProgressWindow> kWindow{QStringLiteral("frmProgress")};

    ProgressWindow();
    static platform::FormLayout Layout();

    // Names the file now coded: file `number` of `count` (counted from 1), coded into the output
    // folder `folderName`; one file alone shows no count.
    void SetFile(Coding coding, const QString& name, const QString& folderName, int number, int count);
    // The counts start again, for files coded together or one file coded alone: the bar at its
    // start, the lines of figures empty.
    void StartCounting();
    // Shows `done` of `total` bytes counted since StartCounting with the `estimate` of its speed
    // and time left, or that the files are being written to disk once `done` reaches `total`.
    void SetProgress(std::uint64_t done, std::uint64_t total, const RateEstimate& estimate);
    // Whether the window says that the file is being written to disk.
    bool Writing() const { return writing_; }
    // Centres the window over `owner` (when there is one) and shows it.
    void ShowOver(QWidget* owner);

signals:
    void CancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowText(std::uint64_t done, std::uint64_t total, const RateEstimate& estimate);

    platform::Label* file_;  // lblfile
    QProgressBar* bar_;      // barprogress
    platform::Label* bytes_;  // lblbytes
    platform::Label* speed_;  // lblspeed
    platform::Label* left_;   // lblleft
    QElapsedTimer textClock_;  // since the lines of text last changed
    bool writing_ = false;
    bool textDue_ = true;  // the next report changes the lines of text whatever the time
};

}  // namespace corvane
