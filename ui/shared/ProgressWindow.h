// The small window that follows long work: what is being coded, how far it is, how fast it
// goes and how long is left, with a Cancel button. Cancel, Escape and the close box all ask
// for the same thing, a cancel; the window itself never stops anything.
#pragma once

#include <QElapsedTimer>

#include <cstdint>

#include "codec/FileTransform.h"
#include "platform/Form.h"

namespace corvane {

namespace platform {
class Label;
}

// "0 bytes", "512 bytes", "1.2 kB", "3.0 GB": decimal units, as file managers show sizes.
QString HumanBytes(std::uint64_t bytes);
// "less than a second", "12 s", "3 min 05 s", "2 h 07 min".
QString HumanDuration(std::uint64_t seconds);

class ProgressWindow : public platform::Form {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("frmProgress");

    ProgressWindow();
    static platform::FormLayout Layout();

    // Starts following file `number` of `count` (counted from 1); one file alone shows no
    // count. The speed and time left start again with each file.
    void SetFile(Coding coding, const QString& name, int number, int count);
    // Shows `done` of `total` bytes of the current file, the speed so far and the time left.
    void SetProgress(std::uint64_t done, std::uint64_t total);
    // Centres the window over `owner` (when there is one) and shows it.
    void ShowOver(QWidget* owner);

signals:
    void CancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    platform::Label* file_;   // lblfile
    platform::Label* bytes_;  // lblbytes
    platform::Label* speed_;  // lblspeed
    platform::Label* left_;   // lblleft
    QElapsedTimer fileClock_;
};

}  // namespace corvane
