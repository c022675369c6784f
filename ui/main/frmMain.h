// The main window: pick a drive, folder and file, see the file's details, encode or decode it
// into the output folders beside the program, and open the other windows.
#pragma once

#include "codec/FileTransform.h"
#include "platform/Form.h"

namespace corvane {

namespace platform {
class DriveList;
class FileList;
class FolderList;
class Label;
}  // namespace platform
class ZelXpButton;

class frmMain : public platform::Form {
    Q_OBJECT
public:
    frmMain();
    static platform::FormLayout Layout();

    // Moves the drive, folder and file lists to the file at `path` and selects it, as if the
    // user had browsed to it; the details panel then describes it. A folder that cannot be
    // listed, or a file that is not in it, is an error and leaves the lists where they were.
    [[nodiscard]] std::optional<Error> ShowFile(const QString& path);

protected:
    void Form_Unload() override;

private:
    void cmdviewencode_Click();
    void cmdviewdecoded_Click();
    void cmdabout_Click();
    void cmdexit_Click();
    void cmdencode_Click();
    void cmddecode_Click();
    void Drivelistbox_Change();
    void Dirlistbox_Change();
    void FileListBox_Click();

    void ShowDetails(const QString& name, const QString& path, const QString& size, const QString& date,
                     const QString& attributes);
    void CodeSelectedFile(Coding coding, const QString& folderName);
    // One file dropped from a file manager is shown as ShowFile shows it.
    void ShowDropped(const QStringList& paths);
    void ExitSequence();

    // The controls the handlers use; their names in the layout are in the comments.
    struct Browser {
        platform::DriveList* drives;    // Drivelistbox
        platform::FolderList* folders;  // Dirlistbox
        platform::FileList* files;      // FileListBox
    };
    struct DetailsPanel {
        platform::Label* name;        // filename
        platform::Label* path;        // Label6
        platform::Label* size;        // size
        platform::Label* date;        // date
        platform::Label* attributes;  // attr
    };
    Browser browser_;
    DetailsPanel details_;
    ZelXpButton* encode_;  // cmdencode
    bool exiting_ = false;
};

}  // namespace corvane
