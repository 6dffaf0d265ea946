// What the save dialog suggests for a viewer: the folder and the file name
// (without extension) of the image file shown, taken from the window caption.
#pragma once

#include <QString>
#include <QStringList>

namespace pelandor {

struct SaveSuggestion {
    // Everything up to and including the last "/" ("" when there is none).
    QString folder;
    // The last path component less its extension (from the last dot, dot
    // included): "/pics/photo.old.jpg" suggests "photo.old".
    QString name;

    static SaveSuggestion fromCaption(const QString &caption);

    // The chosen file name with `defaultExtension` appended unless it already
    // ends in one of `ownExtensions` (compared ignoring case). The suggested
    // "photo.old" is thereby saved as "photo.old.bmp", not as a bitmap file
    // without a bitmap extension, which the browser itself would not list.
    static QString withExtension(const QString &path, const QString &defaultExtension,
                                 const QStringList &ownExtensions);
};

} // namespace pelandor
