// Copying, moving and deleting the selected files, and dragging them onto a
// folder of the tree or onto the volume combo. The work is done by the
// file-operation engine (src/fileops); these handlers pick the files, hold
// the command guard while the operation runs, and take the entries whose
// files have left their folder out of the list afterwards.
#include "app/TMainWindow.h"

#include <QFile>
#include <QKeyEvent>
#include <QPersistentModelIndex>
#include <QTimer>

#include <algorithm>

#include "fileops/DropSite.h"
#include "fileops/FileCommandRules.h"
#include "fileops/FileOperationTexts.h"
#include "fileops/SelectionDrag.h"
#include "listing/CommandGuard.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"
#include "platform/NativeName.h"

namespace pelandor {

namespace {

// The selected entries as an operation starts: their full paths in list
// order and, in the same order, their items. The items are followed by
// persistent index, so a sort while the operation runs does not mix them up.
struct SelectedFiles {
    QStringList paths;
    QList<QPersistentModelIndex> items;
};

SelectedFiles takeSelectedFiles(const TMainWindow &window)
{
    SelectedFiles files;
    window.MakeSelectedFileList(files.paths);
    if (files.paths.isEmpty())
        return files;
    const FileListModel *model = window.ListView1->model();
    for (int row : window.ListView1->selectedRows())
        files.items.append(QPersistentModelIndex(model->index(row, 0)));
    return files;
}

// After a move or delete, whatever its result: the entries whose files are
// no longer at their place leave the list, the others stay; the thumbnails
// close the gaps from the top.
void removeEntriesGone(TMainWindow &window, const SelectedFiles &files)
{
    QList<int> rows;
    for (int i : FileCommandRules::entriesGone(files.paths)) {
        if (i < files.items.size() && files.items[i].isValid())
            rows.append(files.items[i].row());
    }
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        window.ListView1->model()->removeRows(row, 1);
    window.ListView1->arrangeAlignTop();
}

} // namespace

void TMainWindow::setUpFileOperations()
{
    m_fileServices = FileCommandServices::standard();

    // Only the tree and the volume combo take a drop of the selection.
    DropSite::Handlers tree;
    tree.copyMode = [this] { return DragCopyMode; };
    tree.over = [this](const QPoint &pos) { FolderTree1DragOver(pos); };
    tree.left = [this] { FolderTree1->clearDropTarget(); };
    tree.dropped = [this](const QPoint &) { m_dropSite = DropRules::Site::FolderTree; };
    new DropSite(FolderTree1->viewport(), std::move(tree));

    DropSite::Handlers combo;
    combo.copyMode = [this] { return DragCopyMode; };
    combo.dropped = [this](const QPoint &) { m_dropSite = DropRules::Site::DriveCombo; };
    new DropSite(DriveComboEx1, std::move(combo));
}

void TMainWindow::setFileCommandServices(FileCommandServices services)
{
    m_fileServices = std::move(services);
}

qsizetype TMainWindow::MakeSelectedFileList(QStringList &list) const
{
    // Without a folder there is no path to give the captions.
    const QString folder = FolderTree1->GetFolderPath();
    if (folder.isEmpty())
        return 0;
    QStringList captions;
    for (int row : ListView1->selectedRows())
        captions.append(ListView1->model()->caption(row));
    return FileCommandRules::MakeSelectedFileList(folder, captions, list);
}

bool TMainWindow::ShellFileOperation(int operation, const QString &destination, quint16 flags,
                                     const QString &progressTitle, const QStringList &sources)
{
    FileOperationRequest request;
    request.operation = operation;
    request.sources = FileCommandRules::encodePaths(sources);
    request.destination = NativeName::encode(destination);
    request.flags = flags;
    request.progressTitle = progressTitle;
    return m_fileServices.run(this, Messages(), request);
}

void TMainWindow::popMnu_copyClick()
{
    // A copy leaves the list alone; the guard keeps the list from being
    // re-read or cleared while the copy's dialogs pump events.
    const CommandGuard::Token token = m_guard->hold();
    const QString folder = m_fileServices.chooseFolder(this, FO_COPY);
    if (folder.isEmpty())
        return;
    QStringList sources;
    MakeSelectedFileList(sources);
    ShellFileOperation(FO_COPY, folder, 0, FileOperationTexts::copyProgressTitle(), sources);
}

void TMainWindow::popMnu_moveClick()
{
    // A move takes entries out of the list: only when no other long command
    // works on it.
    const auto token = m_guard->holdIfIdle();
    if (!token)
        return;
    const QString folder = m_fileServices.chooseFolder(this, FO_MOVE);
    if (folder.isEmpty())
        return;
    const SelectedFiles files = takeSelectedFiles(*this);
    ShellFileOperation(FO_MOVE, folder, 0, FileOperationTexts::moveProgressTitle(), files.paths);
    removeEntriesGone(*this, files);
}

void TMainWindow::popMnu_deleteClick()
{
    // Shift held as the command starts deletes for good.
    DeleteSelection(m_fileServices.keys().testFlag(Qt::ShiftModifier));
}

void TMainWindow::DeleteSelection(bool forGood)
{
    const auto token = m_guard->holdIfIdle();
    if (!token)
        return;
    const SelectedFiles files = takeSelectedFiles(*this);
    ShellFileOperation(FO_DELETE, QString(), FileCommandRules::deleteFlags(forGood),
                       FileOperationTexts::deleteProgressTitle(), files.paths);
    removeEntriesGone(*this, files);
}

void TMainWindow::ListView1KeyUp(QKeyEvent *event)
{
    // A held key repeats its release: that must not start a delete each time.
    // Shift counts when it was held as Delete went down, even if it was let
    // go before Delete came up.
    if (event && FileCommandRules::isDeleteKey(event->key()) && !event->isAutoRepeat()) {
        const Qt::KeyboardModifiers keys = ListView1->modifiersAtPress(event->key()) | m_fileServices.keys();
        DeleteSelection(keys.testFlag(Qt::ShiftModifier));
    }
}

void TMainWindow::ListView1StartDrag()
{
    DragCopyMode = DropRules::copyMode(m_fileServices.keys());
    m_dropSite = DropRules::Site::Elsewhere;
    m_treeDropPath.clear();
    Timer1->start();

    const SelectedFiles files = takeSelectedFiles(*this);
    // A nested event loop until the drop or the cancel; the drop sites only
    // record where the drop went.
    const Qt::DropAction action = SelectionDrag::exec(ListView1, files.paths);
    ListView1EndDrag();
    FolderTree1->clearDropTarget();

    // The operation runs once the drag is over, with the pointer free.
    switch (m_dropSite) {
    case DropRules::Site::FolderTree:
        FolderTree1DragDrop();
        break;
    case DropRules::Site::DriveCombo:
        DriveComboEx1DragDrop();
        break;
    case DropRules::Site::Elsewhere:
        // Another program (a file manager) may have moved the files away.
        if (action == Qt::MoveAction && !m_guard->busy())
            removeEntriesGone(*this, files);
        break;
    }
}

void TMainWindow::ListView1EndDrag()
{
    Timer1->stop();
}

void TMainWindow::Timer1Timer()
{
    const Qt::KeyboardModifiers keys = m_fileServices.keys();
    if (!DropRules::modeChanges(DragCopyMode, keys))
        return;
    DragCopyMode = DropRules::copyMode(keys);
    // The next drag-move answers with the new action: the cursor changes
    // without the mouse being moved.
    SelectionDrag::nudgePointer();
}

void TMainWindow::FolderTree1DragOver(const QPoint &pos)
{
    // The node under the pointer becomes the target; over empty space the
    // last node of this drag stays it. A node from an earlier drag never is.
    const QModelIndex index = FolderTree1->indexAt(pos);
    if (index.isValid())
        m_treeDropPath = FolderTree1->nodePath(index);
    if (!m_treeDropPath.isEmpty())
        FolderTree1->setDropTarget(pos);
}

void TMainWindow::FolderTree1DragDrop()
{
    const DropRules::Action action = DropRules::drop(DropRules::Site::FolderTree, m_treeDropPath, DragCopyMode);
    if (action.kind != DropRules::Action::Transfer)
        return; // this drag passed over no node
    if (action.operation == FO_COPY) {
        const CommandGuard::Token token = m_guard->hold();
        QStringList sources;
        MakeSelectedFileList(sources);
        ShellFileOperation(FO_COPY, action.destination, 0, action.progressTitle, sources);
        return;
    }
    const auto token = m_guard->holdIfIdle();
    if (!token)
        return;
    const SelectedFiles files = takeSelectedFiles(*this);
    ShellFileOperation(FO_MOVE, action.destination, 0, action.progressTitle, files.paths);
    removeEntriesGone(*this, files);
}

void TMainWindow::DriveComboEx1DragDrop()
{
    const DropRules::Action action = DropRules::drop(DropRules::Site::DriveCombo, QString(), DragCopyMode);
    if (action.kind == DropRules::Action::RunCopyCommand)
        popMnu_copyClick();
    else
        popMnu_moveClick();
}

} // namespace pelandor
