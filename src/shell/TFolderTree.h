// The folder tree of the left pane: the folders of one volume, read lazily,
// with the volume's root as its one top-level node. The host sets the volume
// (Drive / SetDrive), asks for the selected folder (GetFolderPath), may refuse
// a selection move (setChangingHandler) and hears of every move (changed).
// The tree itself never shows a message. The folders whose subfolders it
// shows are watched, so folders that other programs (or this one) make,
// remove or rename there come and go in the tree by themselves.
#pragma once

#include <QPersistentModelIndex>
#include <QSet>
#include <QTimer>
#include <QTreeView>

#include <functional>

class QFileSystemWatcher;

namespace pelandor {

class FolderSelectionModel;
class FolderTreeModel;

class TFolderTree : public QTreeView {
    Q_OBJECT

public:
    explicit TFolderTree(QWidget *parent = nullptr);
    ~TFolderTree() override;

    // Root path of the volume shown; empty before the first build.
    QString Drive() const;
    // Shows another volume. The same root (after cleaning the path) does
    // nothing; any other value rebuilds the tree. The empty text stands for
    // no volume: the build then falls back to "/" and Drive holds "/".
    void SetDrive(const QString &root);
    // Rebuilds the whole tree for Drive: root node expanded with its first
    // level, nothing selected. Repainting is suspended meanwhile.
    void InitFolderTree();

    // Path of the selected folder: absolute, no trailing "/" except for "/"
    // itself; empty with no selection.
    QString GetFolderPath() const;
    // Path of any node (empty for an invalid index).
    QString nodePath(const QModelIndex &index) const;
    // Expands the tree down to the folder and selects it. Not asked of the
    // changing handler, but reported through changed() when the selection
    // moves. False when the folder is not on this volume or does not exist.
    bool selectFolder(const QString &absolutePath);

    // Reads the subfolders of a folder's node again (nothing when the
    // folder has no node yet), and of every expanded node.
    void refreshFolder(const QString &absolutePath);
    void refreshExpanded();

    // Asked before a selection move by the user; returning false refuses it.
    void setChangingHandler(std::function<bool()> handler);

    // Drop-target highlighting for dragging onto folders. setDropTarget
    // highlights the node under the point (viewport coordinates); over empty
    // space the last target stays. clearDropTarget removes the highlight but
    // the node stays the drop target until the next setDropTarget or build.
    void setDropTarget(const QPoint &viewportPos);
    void clearDropTarget();
    QString dropTargetPath() const;
    QModelIndex dropTargetIndex() const;
    bool isDropTargetHighlighted() const { return m_dropHighlighted; }

    FolderTreeModel *folderModel() const { return m_model; }

signals:
    // The selected node has changed (by the user, or by selectFolder).
    void changed();

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;

private:
    void onSelectionChanged();
    // Watches the folders the model shows the subfolders of, and no others.
    void syncWatches();
    void refreshChanged();

    FolderTreeModel *m_model = nullptr;
    FolderSelectionModel *m_selection = nullptr;
    QString m_drive;
    bool m_built = false;
    bool m_building = false;
    QPersistentModelIndex m_lastSelected;
    QPersistentModelIndex m_dropTarget;
    bool m_dropHighlighted = false;
    QFileSystemWatcher *m_watcher = nullptr;
    // Folders reported changed, read again together once the burst is over.
    QSet<QString> m_changed;
    QTimer m_refreshTimer;
    QTimer m_syncTimer;
};

} // namespace pelandor
