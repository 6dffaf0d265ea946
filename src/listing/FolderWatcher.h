// Watches the folder the file list shows and says, after a burst of changes
// has settled, which names of it changed. It reads inotify itself rather than
// through QFileSystemWatcher: a watch on a folder through that class reports
// only "something changed", and not at all when a file already there is
// rewritten in place, while one inotify watch on the folder names every
// created, deleted, renamed and rewritten entry. A file that is still being
// written (created or modified, not yet closed) is held back until it is
// closed, or until it has been quiet for a while (a link or a file written
// through mmap never reports its close), so the list never decodes half a
// copy. When the kernel's queue overflowed, the watcher cannot name the
// changes and reports that everything may have changed.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace pelandor {

class FolderWatcher : public QObject {
    Q_OBJECT

public:
    // The settled changes of the watched folder.
    struct Changes {
        // Names (as NativeName keeps them) of entries that were added,
        // removed, renamed or rewritten; whether each still exists is for the
        // caller to look up.
        QSet<QString> names;
        // The kernel dropped events, or the folder itself went away: any
        // entry may have changed.
        bool everything = false;
        // A subfolder appeared or went away.
        bool folders = false;
        bool isEmpty() const { return names.isEmpty() && !everything && !folders; }
    };

    explicit FolderWatcher(QObject *parent = nullptr);
    ~FolderWatcher() override;

    // Watches folderPath instead of the folder watched so far, dropping its
    // unreported changes. False (and nothing watched) when the system refuses
    // the watch; the empty path just stops watching.
    bool watch(const QString &folderPath);
    QString folder() const { return m_folder; }

    // How long the folder must be quiet before its changes are reported, and
    // the longest a burst is held back before a report all the same.
    void setDelays(int quietMs, int longestMs);

    // True when settled changes wait to be taken.
    bool hasChanges() const { return !m_settled.isEmpty(); }
    // The settled changes, which are forgotten here. Names still being
    // written stay behind for a later report.
    Changes takeChanges();

signals:
    // Settled changes wait in takeChanges(); sent once per burst.
    void changesReady();

private:
    void readEvents();
    void settle();
    void close();

    QString m_folder;
    int m_fd = -1;
    int m_watch = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_quiet;
    QElapsedTimer m_burst;
    int m_quietMs = 150;
    int m_longestMs = 1000;
    // Names whose last event was a change that has settled.
    Changes m_settled;
    // Names heard of since the last settle, and for each whether it is still
    // open for writing and since when it has been quiet.
    struct Pending {
        bool writing = false;
        QElapsedTimer lastEvent;
    };
    QHash<QString, Pending> m_pending;
    bool m_pendingEverything = false;
    bool m_pendingFolders = false;
};

} // namespace pelandor
