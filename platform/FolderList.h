// The folder list in the classic style: the chain of folders from the root down to the
// current folder, then the current folder's subfolders. Opening an entry (double click or
// Enter) makes it the current folder. Screen readers see it as a tree named "Folders" whose
// entries tell their level and can be opened.
#pragma once

#include <QListWidget>

#include <optional>

#include "codec/Error.h"
#include "platform/Files.h"

namespace corvane::platform {

class FolderList : public QListWidget {
    Q_OBJECT
public:
    // Starts on the process's current folder.
    explicit FolderList(QWidget* parent = nullptr);

    // The current folder: a complete path with native separators, ending in a separator only
    // at a root.
    QString Path() const { return path_; }
    // Moves to `path`. A folder that cannot be read is an error and leaves the list as it was.
    // Raises Change when the current folder moves.
    [[nodiscard]] std::optional<Error> SetPath(const QString& path);

    // The level of the entry in `row` below the root (the root's is 0), and whether it is on the
    // chain from the root to the current folder, so shown open; -1 and false for no entry.
    int EntryDepth(int row) const;
    bool EntryIsOnPath(int row) const;
    // Opens the entry in `row` as a double click does.
    void OpenEntry(int row);

    // The subfolder names of `folder`, sorted by name, hidden ones included.
    static ErrorOr<QStringList> ReadSubfolders(const QString& folder);

signals:
    void Change();
    // Opening an entry failed; the list stays as it was.
    void OpenFailed(const corvane::Error& error);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Open(QListWidgetItem* item);

    QString path_;
};

// `path` made absolute and clean, with native separators; a root keeps its separator.
QString CleanFolderPath(const QString& path);

}  // namespace corvane::platform
