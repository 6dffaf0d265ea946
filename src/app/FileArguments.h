// The files given on the command line, as a file manager's "Open with" gives
// them: which folder to read, which type entry to choose, which files to
// select and view, and which paths do not exist. Needs no window.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "decode/ImageTypeEntry.h"

namespace pelandor {

class FileListModel;

class FileArguments {
public:
    // The first existing path decides: a folder is opened as it is; a file
    // opens its own folder.
    QString folder;
    bool folderGiven = false;
    // Index of the type entry that reads the first file; -1 when none does
    // (the selector is then left as it is).
    int typeIndex = -1;
    // The existing files, absolute and in command-line order.
    QStringList files;
    // The paths that do not exist, as given.
    QStringList missing;

    static FileArguments resolve(const QStringList &paths, const ImageTypeList &entries);

    // Rows of `model` (a reading of `folder`) that hold one of `files`, in
    // list order, and the row of the first given file that is listed (-1
    // when none is).
    struct Selection {
        QList<int> rows;
        int firstRow = -1;
    };
    static Selection rowsOf(const FileListModel &model, const QString &folder, const QStringList &files);
};

} // namespace pelandor
