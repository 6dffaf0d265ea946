// The file-name rules every subsystem shares: the extension of a name or a
// type pattern, the image extension (".JPEG" and ".JPE" read as ".JPG"), and
// the join of a folder path with a name.
#pragma once

#include <QString>

namespace pelandor {

class FileNames {
public:
    // The extension of a file name or pattern: from its last "." on, upper
    // case; empty without a ".". A "." in a folder part does not count.
    static QString extensionOf(const QString &name);
    // extensionOf, with ".JPEG" and ".JPE" counted as ".JPG".
    static QString imageExtensionOf(const QString &fileName);
    // folderPath joined with a name by exactly one "/".
    static QString joinPath(const QString &folderPath, const QString &name);
};

} // namespace pelandor
