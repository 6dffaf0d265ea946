// Reads the subfolders of one folder straight from the directory: hidden ones
// included, files left out, links to folders counted as folders. For each
// subfolder it also finds out cheaply whether that one has subfolders itself
// (reading stops at the first), which the tree uses to show an expand button
// before the children are read. That answer is remembered for a folder that
// has not changed since, so a folder of many files is not read again each
// time its parent is listed.
#pragma once

#include <QList>
#include <QString>

namespace pelandor {

class FolderEnumerator {
public:
    struct Subfolder {
        QString name;
        bool hasSubfolders = false;
    };

    // The subfolders in the order the directory returns them. False when the
    // folder cannot be read (permission denied, vanished, not a folder, I/O
    // error); out is then empty.
    static bool subfolders(const QString &folderPath, QList<Subfolder> &out);

    // Whether the folder has at least one subfolder. A folder that exists but
    // cannot be read counts as having some: its content is unknown, and the
    // expand button is how the user finds out.
    static bool hasSubfolders(const QString &folderPath);
};

} // namespace pelandor
