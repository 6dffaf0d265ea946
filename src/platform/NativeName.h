// File names and paths as the system holds them: bytes, usually UTF-8, but
// not always (names copied from old disks may hold Shift-JIS or Latin-1).
// Qt decodes such bytes to U+FFFD and cannot find the file again, so every
// path that goes to or comes from the system passes through here instead.
//
// decode() keeps each byte of an invalid UTF-8 sequence as one unpaired low
// surrogate, U+DC80..U+DCFF; valid UTF-8 can never produce such a code unit,
// so encode() gives back exactly the bytes decode() was given. The rest of
// the program handles the QString as any other name (joins, extensions,
// sorting) and shows it through display().
#pragma once

#include <QByteArray>
#include <QString>

namespace pelandor {

class NativeName {
public:
    static QString decode(const QByteArray &bytes);
    static QString decode(const char *bytes);
    static QByteArray encode(const QString &name);
    // The byte a code unit stands for, when it is one decode() kept; else -1.
    static int escapedByte(const QString &name, qsizetype index);
    // For the eye: every kept byte shown as U+FFFD.
    static QString display(const QString &name);
};

} // namespace pelandor
