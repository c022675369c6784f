// The folder viewers: one window kind, shown as "Encoded File(s)" and "Decoded File(s)". Each
// lists its output folder, shows the selected name, opens the folder in the file manager, and
// codes the selected file into the other output folder. Files dropped onto a viewer from a file
// manager are coded into its own folder: encoded onto Encoded File(s), decoded onto Decoded
// File(s).
#pragma once

#include "platform/Form.h"

class QTimer;

namespace corvane {

namespace platform {
class FileList;
class FolderWatch;
class Label;
}  // namespace platform

class FolderViewer : public platform::Form {
    Q_OBJECT
public:
    enum class Kind { Encoded, Decoded };

    explicit FolderViewer(Kind kind);
    static platform::FormLayout Layout(Kind kind);

    // Shows frmViewEncoded or frmViewDecoded, creating it on first use; a window created here
    // is placed beside `beside` when one is given (Encoded at its top, Decoded below that).
    static FolderViewer* ShowEncoded(const QWidget* beside = nullptr);
    static FolderViewer* ShowDecoded(const QWidget* beside = nullptr);
    // The viewer of this kind, for finding or unloading it.
    static platform::FormHandle<FolderViewer> Window(Kind kind);

protected:
    void Form_Load() override;

private:
    struct Settings;
    static const Settings& SettingsFor(Kind kind);

    void File1_Click();
    void cmdopen_Click();
    void Action_Click();  // cmddecode1_Click or cmdencode1_Click
    // Reads the own folder again; one that does not exist yet shows an empty list.
    void ReRead();
    // ReRead within a fifth of a second: the files of a batch land a group at a time, and the
    // folder is read at most five times a second while they do, not for each file.
    void ReReadSoon();
    void CodeDropped(const QStringList& paths);

    const Settings& settings_;
    platform::FileList* list_;   // File1
    platform::Label* selected_;  // lblselected
    QTimer* reReadSoon_ = nullptr;  // single shot
    platform::FolderWatch* watch_ = nullptr;  // of the own folder, once loaded
};

}  // namespace corvane
