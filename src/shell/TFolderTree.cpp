#include "shell/TFolderTree.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileSystemWatcher>
#include <QStorageInfo>
#include <QStyle>

#include <utility>

#include "platform/VolumeList.h"
#include "shell/FolderSelectionModel.h"
#include "shell/FolderTreeModel.h"

namespace pelandor {

namespace {

constexpr int IconSize = 16;

// Closed folder normally; the open folder while the node is selected.
QIcon folderIcon(const QStyle *style)
{
    const QIcon closed = QIcon::fromTheme(QStringLiteral("folder"), style->standardIcon(QStyle::SP_DirClosedIcon));
    const QIcon open = QIcon::fromTheme(QStringLiteral("folder-open"), style->standardIcon(QStyle::SP_DirOpenIcon));
    QIcon icon;
    icon.addPixmap(closed.pixmap(IconSize, IconSize), QIcon::Normal);
    icon.addPixmap(open.pixmap(IconSize, IconSize), QIcon::Selected);
    icon.addPixmap(closed.pixmap(IconSize, IconSize, QIcon::Disabled), QIcon::Disabled);
    return icon;
}

QString rootText(const QString &root)
{
    const QStorageInfo info(root);
    const QString label = info.isValid() && VolumeList::normalizedPath(info.rootPath()) == root ? info.name() : QString();
    return VolumeList::displayName(label, root);
}

} // namespace

TFolderTree::TFolderTree(QWidget *parent)
    : QTreeView(parent)
{
    // Made here rather than in the initialiser list: adding a child sends
    // this widget an event, and event() reads m_selection.
    m_model = new FolderTreeModel(this);
    setModel(m_model);
    QItemSelectionModel *initial = selectionModel();
    m_selection = new FolderSelectionModel(m_model, this);
    setSelectionModel(m_selection);
    delete initial;

    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true); // keeps a level of thousands of folders fast
    setIconSize(QSize(IconSize, IconSize));
    setAllColumnsShowFocus(true);

    m_model->setIcons(QFileIconProvider().icon(QAbstractFileIconProvider::Drive), folderIcon(style()));

    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &TFolderTree::onSelectionChanged);
    // The view reads a node's children itself when it lays the node out; a
    // tree that is not laid out yet (hidden, or before its first paint) reads
    // them here, so that an expanded node always has its children.
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (m_model->canFetchMore(index))
            m_model->fetchMore(index);
    });

    // Changes come in bursts (a copy of a folder tree, an archive unpacked):
    // each changed folder is read again once, after the burst.
    m_watcher = new QFileSystemWatcher(this);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(100);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        m_changed.insert(path);
        m_refreshTimer.start();
    });
    connect(&m_refreshTimer, &QTimer::timeout, this, &TFolderTree::refreshChanged);
    // A node is watched as soon as its subfolders are read, so that nothing
    // made after the reading goes unseen; removed branches are let go later,
    // once per burst.
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(0);
    connect(&m_syncTimer, &QTimer::timeout, this, &TFolderTree::syncWatches);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TFolderTree::syncWatches);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TFolderTree::syncWatches);
    connect(m_model, &QAbstractItemModel::rowsRemoved, &m_syncTimer, qOverload<>(&QTimer::start));
}

TFolderTree::~TFolderTree() = default;

QString TFolderTree::Drive() const
{
    return m_drive;
}

void TFolderTree::SetDrive(const QString &root)
{
    const QString normalized = VolumeList::normalizedPath(root);
    if (normalized == m_drive)
        return;
    m_drive = normalized;
    InitFolderTree();
}

void TFolderTree::InitFolderTree()
{
    if (m_drive.isEmpty())
        m_drive = QStringLiteral("/");

    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    m_building = true;
    m_selection->programmatic([this] {
        m_dropTarget = QPersistentModelIndex();
        m_dropHighlighted = false;
        m_model->setRoot(m_drive, rootText(m_drive));
        m_selection->clear();
        expand(m_model->rootIndex());
    });
    m_lastSelected = QPersistentModelIndex();
    m_building = false;
    m_built = true;
    setUpdatesEnabled(updates);
}

QString TFolderTree::GetFolderPath() const
{
    return m_model->path(m_selection->selectedNode());
}

QString TFolderTree::nodePath(const QModelIndex &index) const
{
    return m_model->path(index);
}

bool TFolderTree::selectFolder(const QString &absolutePath)
{
    const QModelIndex target = m_model->indexForPath(absolutePath);
    if (!target.isValid())
        return false;
    for (QModelIndex ancestor = target.parent(); ancestor.isValid(); ancestor = ancestor.parent())
        expand(ancestor);
    m_selection->programmatic(
        [&] { m_selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect); });
    scrollTo(target);
    return true;
}

void TFolderTree::refreshFolder(const QString &absolutePath)
{
    const QModelIndex index = m_model->loadedIndexForPath(absolutePath);
    if (index.isValid())
        m_model->refreshNode(index);
}

void TFolderTree::refreshExpanded()
{
    // Paths rather than indexes: a refresh may remove nodes met later.
    QStringList expandedPaths;
    for (const QString &path : m_model->populatedPaths()) {
        const QModelIndex index = m_model->loadedIndexForPath(path);
        if (index == m_model->rootIndex() || isExpanded(index))
            expandedPaths.append(path);
    }
    for (const QString &path : std::as_const(expandedPaths))
        refreshFolder(path);
}

void TFolderTree::refreshChanged()
{
    const QSet<QString> changed = std::exchange(m_changed, {});
    for (const QString &path : changed)
        refreshFolder(path);
}

void TFolderTree::syncWatches()
{
    const QStringList wanted = m_model->populatedPaths();
    const QSet<QString> wantedSet(wanted.begin(), wanted.end());
    const QStringList watched = m_watcher->directories();
    const QSet<QString> watchedSet(watched.begin(), watched.end());
    QStringList gone;
    for (const QString &path : watched) {
        if (!wantedSet.contains(path))
            gone.append(path);
    }
    QStringList added;
    for (const QString &path : wanted) {
        if (!watchedSet.contains(path))
            added.append(path);
    }
    if (!gone.isEmpty())
        m_watcher->removePaths(gone);
    // A folder the system will not watch (too many watches, no access) is
    // still refreshed by the read command.
    if (!added.isEmpty())
        m_watcher->addPaths(added);
}

void TFolderTree::setChangingHandler(std::function<bool()> handler)
{
    m_selection->setChangingHandler(std::move(handler));
}

void TFolderTree::setDropTarget(const QPoint &viewportPos)
{
    const QModelIndex index = indexAt(viewportPos);
    if (index.isValid())
        m_dropTarget = index;
    if (!m_dropTarget.isValid())
        return;
    m_dropHighlighted = true;
    viewport()->update();
}

void TFolderTree::clearDropTarget()
{
    if (!m_dropHighlighted)
        return;
    m_dropHighlighted = false;
    viewport()->update();
}

QString TFolderTree::dropTargetPath() const
{
    return m_model->path(m_dropTarget);
}

QModelIndex TFolderTree::dropTargetIndex() const
{
    return m_dropTarget;
}

bool TFolderTree::event(QEvent *event)
{
    if (m_selection)
        m_selection->beginUserEvent();
    return QTreeView::event(event);
}

bool TFolderTree::viewportEvent(QEvent *event)
{
    if (m_selection)
        m_selection->beginUserEvent();
    return QTreeView::viewportEvent(event);
}

void TFolderTree::showEvent(QShowEvent *event)
{
    // A tree that nobody pointed at a volume shows the fallback one.
    if (!m_built)
        InitFolderTree();
    QTreeView::showEvent(event);
}

void TFolderTree::drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (m_dropHighlighted && index == m_dropTarget) {
        QStyleOptionViewItem highlighted = option;
        highlighted.state |= QStyle::State_Selected;
        QTreeView::drawRow(painter, highlighted, index);
        return;
    }
    QTreeView::drawRow(painter, option, index);
}

QItemSelectionModel::SelectionFlags TFolderTree::selectionCommand(const QModelIndex &index,
                                                                 const QEvent *event) const
{
    // A folder is chosen by pressing on it; moving the pointer with the button
    // held does not walk the selection (and a reading) across the folders.
    if (event && event->type() == QEvent::MouseMove)
        return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}

void TFolderTree::onSelectionChanged()
{
    if (m_building)
        return;
    const QModelIndex selected = m_selection->selectedNode();
    if (selected == m_lastSelected)
        return;
    m_lastSelected = selected;
    // The handler of a move by the program may run long and handle events
    // meanwhile (a reading): the user's moves in between are still asked.
    m_selection->askingTheHost([this] { emit changed(); });
}

} // namespace pelandor
