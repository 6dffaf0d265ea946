// The main window's file commands and the drag of its selected files: copy,
// move and delete of the selected entries, the Delete key, the drag with its
// copy/move mode (followed by the window's 100 ms timer) and the drops on
// the folder tree and the volume combo. The window owns one and forwards its
// handlers here.
//
// An operation runs as a FileOperationJob on a worker thread; the window
// stays usable meanwhile (painting, sorting, a folder being read goes on).
// While the job runs it holds the window's command guard, so nothing
// re-reads or clears the list under it; only one job runs at a time, and a
// command refused for that says so (a beep and a status text). The entries
// of the files that have left their folder leave the list as the job
// reports them (gathered for a moment, so that thousands of them leave
// together), found by persistent index, so a sort or a reading meanwhile
// does not mix them up.
#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "fileops/DropRules.h"
#include "fileops/FileCommandServices.h"
#include "fileops/FileOperationJob.h"
#include "listing/CommandGuard.h"

class QKeyEvent;
class QPoint;
class QTimer;
class QWidget;

namespace pelandor {

class FileListView;
class MessageSink;
class TDriveComboEx;
class TFolderTree;

class FileCommands : public QObject {
    Q_OBJECT

public:
    // The controls the commands work with; all outlive this object (the
    // window owns them and it).
    struct Controls {
        QWidget *window = nullptr;
        FileListView *list = nullptr;
        TFolderTree *tree = nullptr;
        TDriveComboEx *combo = nullptr;
        QTimer *dragTimer = nullptr;
        CommandGuard *guard = nullptr;
        MessageSink *messages = nullptr;
        // Shows a short status text (why a command was refused).
        std::function<void(const QString &)> showStatus;
    };

    FileCommands(Controls controls, QObject *parent);
    ~FileCommands() override;

    void setServices(FileCommandServices services);

    // True: the drag under way copies; false: it moves. Set when a drag
    // starts and followed by the timer; it keeps its value after the drag.
    bool dragCopyMode() const { return m_dragCopyMode; }
    // The operation running now; null when none.
    FileOperationJob *job() const { return m_job; }
    // Asks the running operation to stop (it ends within one block).
    void cancel();

    // Appends the full path of every selected entry, in list order, and
    // returns the byte count of the source list (each path's bytes plus one).
    qsizetype MakeSelectedFileList(QStringList &list) const;
    // Starts one file operation (FO_MOVE, FO_COPY, FO_DELETE) on the
    // selected entries. Returns true when it was refused (another operation
    // runs, nothing to do), false when it started; its end is reported by
    // operationFinished. After a move or delete, each entry whose file left
    // its folder leaves the list as the job reports it.
    bool ShellFileOperation(int operation, const QString &destination, quint16 flags, const QString &progressTitle);

    void copyCommand();
    void moveCommand();
    // Shift held as the command starts deletes for good.
    void deleteCommand();
    void deleteSelection(bool forGood);
    void keyUp(QKeyEvent *event);
    void startDrag();
    void endDrag();
    void timerTick();
    // The drag is over pos of the tree's viewport.
    void treeDragOver(const QPoint &pos);
    // Whether a drop on the tree at pos would do anything.
    bool treeTakesDropAt(const QPoint &pos) const;
    void treeDrop();
    void comboDrop();

signals:
    // The operation started by ShellFileOperation has ended.
    void operationFinished(bool aborted);

private:
    // Asks for the destination folder, starting at the last one chosen.
    QString chooseFolder(Operation operation);
    // Refuses a command: a beep and why, in the status bar.
    void refuse(const QString &why);
    // An error box for a copy or move onto the folder the files are in;
    // true when that is the case.
    bool refusedAsSameFolder(Operation operation, const QString &destination);
    void onSourceLeft(int index);
    // Takes the entries of the files reported gone since the last time out
    // of the list, together.
    void removeLeftEntries();
    void onFinished(bool aborted);
    // After a drop elsewhere: another program may have moved the files away.
    void removeEntriesGone(const QStringList &paths, const QList<QPersistentModelIndex> &items);

    Controls m_controls;
    FileCommandServices m_services;
    bool m_dragCopyMode = false;
    DropRules::Site m_dropSite = DropRules::Site::Elsewhere;
    QString m_treeDropPath;
    QString m_lastFolder;

    // The running operation, its questions, its entries (by source index)
    // and its hold of the guard.
    QPointer<FileOperationJob> m_job;
    std::unique_ptr<FileOperationQuestions> m_questions;
    QList<QPersistentModelIndex> m_items;
    // Sources reported gone whose entries are still listed: they leave the
    // list a few times a second, not one by one (a deleted folder of
    // 100,000 files would remove 100,000 rows, each walking all the others).
    std::vector<int> m_left;
    QTimer *m_leftTimer = nullptr;
    std::optional<CommandGuard::Token> m_token;
};

} // namespace pelandor
