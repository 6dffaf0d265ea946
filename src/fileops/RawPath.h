// File paths as the raw bytes the system uses. A file name that is not valid
// UTF-8 cannot be carried through a QString and back, so the file-operation
// code splits and joins paths on their bytes; NativeName converts at the
// edges without losing a byte.
#pragma once

#include <QByteArray>
#include <QString>

namespace pelandor {

class RawPath {
public:
    // "dir/name", with one "/" between (none added when dir ends in "/").
    static QByteArray join(const QByteArray &dir, const QByteArray &name);
    // The last component; trailing "/" are ignored.
    static QByteArray baseName(const QByteArray &path);
    // Everything before the last component: "/" for "/name", "." for "name".
    static QByteArray parent(const QByteArray &path);
    // Absolute (relative paths are taken from the current directory), without
    // "." components, repeated or trailing "/". ".." is kept as it is: it may
    // cross a symbolic link.
    static QByteArray absolute(const QByteArray &path);
    // For messages.
    static QString display(const QByteArray &path);
};

} // namespace pelandor
