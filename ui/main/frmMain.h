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

// The output folders beside the program.
inline const QString kEncodedFolder = QStringLiteral("Encoded File(s)");
inline const QString kDecodedFolder = QStringLiteral("Decoded File(s)");

// The program folder joined with an output folder's name.
QString OutputFolder(const QString& name);
// `folder` + separator + `name`; the separator is always added, also after a root.
QString JoinPath(const QString& folder, const QString& name);

class frmMain : public platform::Form {
    Q_OBJECT
public:
    frmMain();
    static platform::FormLayout Layout();

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

    void CodeSelectedFile(Coding coding, const QString& folderName);
    void ExitSequence();

    platform::DriveList* Drivelistbox;
    platform::FolderList* Dirlistbox;
    platform::FileList* FileListBox;
    platform::Label* filename;
    platform::Label* Label6;
    platform::Label* size;
    platform::Label* date;
    platform::Label* attr;
    ZelXpButton* cmdencode;
    bool exiting_ = false;
};

}  // namespace corvane
