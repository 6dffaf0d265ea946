// The files a folder offers for listing, in the order the system gives them:
// regular files and links to regular files. Hidden (dot) names, folders,
// devices, FIFOs, sockets and dangling links are left out. Names are read as
// bytes and kept through NativeName, so a name that is not valid UTF-8 is
// listed too and can be opened again.
#pragma once

#include <QList>
#include <QString>

namespace pelandor {

class FolderFiles {
public:
    struct Entry {
        QString name;
        qint64 size = 0;
    };
    // False, with the system's reason, when the folder cannot be read.
    static bool list(const QString &folderPath, QList<Entry> *entries, QString *reason);
    // Whether path is still a file list() would offer (it may have been
    // moved or deleted since the listing).
    static bool stillThere(const QString &path);
    // The same, giving the file's modification time in whole seconds since
    // the epoch when it is.
    static bool stillThere(const QString &path, qint64 *modifiedSeconds);
};

} // namespace pelandor
