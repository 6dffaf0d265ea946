// Moving files into a freedesktop.org trash. A file on the volume of the
// user's data folder goes to the home trash, $XDG_DATA_HOME/Trash (default
// ~/.local/share/Trash, created when missing, so a missing data folder never
// sends files elsewhere). A file on another volume goes to that volume's
// trash: $topdir/.Trash/$uid when $topdir/.Trash is a real folder with the
// sticky bit, otherwise $topdir/.Trash-$uid. Each trashed file gets its
// info/NAME.trashinfo entry (the original path, percent-encoded, and the
// deletion date), written before the file is moved into files/.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <sys/types.h>

namespace pelandor {

class FileSystemOps;

class FreedesktopTrash {
public:
    enum class Outcome {
        Trashed,
        NoTrash, // no trash can take this file: the caller may delete it for good
        Failed,  // the file is where it was; error tells why
    };
    struct Result {
        Outcome outcome = Outcome::Failed;
        int error = 0;
        QByteArray trashedAs; // the file's path inside files/
    };

    explicit FreedesktopTrash(FileSystemOps &ops);

    Result moveToTrash(const QByteArray &path);

    // $XDG_DATA_HOME/Trash (an absolute XDG_DATA_HOME only), else ~/.local/share/Trash.
    static QByteArray homeTrashPath();
    // The text of a .trashinfo entry.
    static QByteArray trashInfo(const QByteArray &path, const QDateTime &deletionDate);

private:
    // The trash folder of the volume whose top folder is topdir; empty when
    // none can be used.
    QByteArray volumeTrash(const QByteArray &topdir);
    QByteArray mountPointOf(const QByteArray &absolutePath, dev_t device);
    bool makePath(const QByteArray &path, mode_t mode);
    bool ensureTrashFolders(const QByteArray &trash);

    FileSystemOps &m_ops;
};

} // namespace pelandor
