// The file list: the files of one folder (no subfolders), sorted by name, hidden and system
// files included. Built on model/view, so a folder of a hundred thousand files lists at once.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStringList>

#include <functional>
#include <optional>

#include "codec/Error.h"
#include "platform/Files.h"

namespace corvane::platform {

class FileNameModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void SetNames(QStringList names);
    const QStringList& Names() const { return names_; }

private:
    QStringList names_;
};

// Screen readers hear it as "Files" unless the window names it after what it holds.
class FileList : public QListView {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    // The folder whose files are listed; "" before the first SetPath.
    QString Path() const { return path_; }
    // Lists the files of `folder` with nothing selected. A folder that cannot be read is an
    // error and leaves the list as it was.
    [[nodiscard]] std::optional<Error> SetPath(const QString& folder);
    // Reads the folder again; the selected file stays selected while it is still there.
    [[nodiscard]] std::optional<Error> Refresh();

    // The selected entry, or -1 when nothing is selected.
    int ListIndex() const;
    void SetListIndex(int index);
    int ListCount() const;
    // The name at `index`; "" when there is none (as for -1).
    QString List(int index) const;
    // The selected file's name without its folder; "" when nothing is selected.
    QString FileName() const { return List(ListIndex()); }

    // Lists only the names `keep` accepts, from the next read of the folder on.
    void SetNameFilter(std::function<bool(const QString&)> keep) { keep_ = std::move(keep); }

    // The names of the files in `folder`, sorted by name.
    static ErrorOr<QStringList> ReadFileNames(const QString& folder);

signals:
    // The selection changed, by mouse, keyboard or SetListIndex.
    void Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    [[nodiscard]] std::optional<Error> Load(const QString& folder, const QString& keepSelected);

    FileNameModel model_;
    QString path_;
    std::function<bool(const QString&)> keep_;
    bool loading_ = false;
};

}  // namespace corvane::platform
