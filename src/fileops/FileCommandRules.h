// The rules of the copy, move and delete commands that need no window: the
// source list built from the selected entries, the Delete key and its Shift
// rule, and which entries leave the list after a move or delete.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace pelandor {

class FileSystemOps;

class FileCommandRules {
public:
    // A file's full path: the folder path, "/" unless it ends in one, the name.
    static QString fullPath(const QString &folderPath, const QString &fileName);

    // Appends the full path of every selected entry (their captions, in list
    // order) to list and returns the byte count of the source list: the sum
    // over the appended paths of their length in bytes (as the file system
    // sees them) plus one for the terminating NUL.
    static qsizetype MakeSelectedFileList(
        const QString &folderPath, const QStringList &selectedCaptions, QStringList &list);
    // The paths as the engine takes them (NativeName::encode).
    static QList<QByteArray> encodePaths(const QStringList &paths);

    // The key that starts the delete command when released in the list.
    static bool isDeleteKey(int key);
    // The undo flag for the delete command: with Shift down the deletion is
    // permanent (0), otherwise the files go to the trash (FOF_ALLOWUNDO).
    static quint16 deleteFlags(bool shiftDown);

    // After a move or delete, completed or not: the indexes into paths (the
    // selected entries' full paths) of the files that are no longer at their
    // place, ascending. Those entries leave the list; the others stay, even
    // after a cancelled or failed operation. A file that cannot be checked
    // (no permission to look) counts as still there.
    static QList<int> entriesGone(const QStringList &paths, FileSystemOps &ops);
    static QList<int> entriesGone(const QStringList &paths);
};

} // namespace pelandor
