#include "app/FileCommands.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <sys/stat.h>

#include "fileops/DropSite.h"
#include "fileops/FileCommandRules.h"
#include "fileops/FileOperationJob.h"
#include "fileops/FileOperationProgressDialog.h"
#include "fileops/FileOperationTexts.h"
#include "fileops/SelectionDrag.h"
#include "fileops/ShellOperationCodes.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "platform/MessageSink.h"
#include "platform/NativeName.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

namespace pelandor {

namespace {

// How long the entries of files gone during an operation gather before they
// leave the list together.
constexpr int LeftEntriesDelayMs = 100;

// The selected entries as an operation starts: their full paths in list
// order and, in the same order, their items, followed by persistent index.
struct SelectedFiles {
    QStringList paths;
    QList<QPersistentModelIndex> items;
};

SelectedFiles selectedFiles(const FileListView &list, const QString &folder)
{
    SelectedFiles files;
    if (folder.isEmpty())
        return files;
    const FileListModel *model = list.model();
    for (int row : list.selectedRows()) {
        // A row still being read is no file yet.
        const QString caption = model->caption(row);
        if (caption == FileListModel::placeholderCaption())
            continue;
        files.paths.append(FileCommandRules::fullPath(folder, caption));
        files.items.append(QPersistentModelIndex(model->index(row, 0)));
    }
    return files;
}

bool sameFolder(const QString &a, const QString &b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(NativeName::encode(a).constData(), &first) == 0
        && ::stat(NativeName::encode(b).constData(), &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

QString busyText() { return QCoreApplication::translate("FileCommands", "ﾌｧｲﾙ操作の実行中です。終わるまでお待ち下さい"); }

} // namespace

FileCommands::FileCommands(Controls controls, QObject *parent)
    : QObject(parent)
    , m_controls(std::move(controls))
    , m_services(FileCommandServices::standard())
    , m_leftTimer(new QTimer(this))
{
    m_leftTimer->setSingleShot(true);
    m_leftTimer->setInterval(LeftEntriesDelayMs);
    connect(m_leftTimer, &QTimer::timeout, this, &FileCommands::removeLeftEntries);
    // Only the tree and the volume combo take a drop of the selection.
    DropSite::Handlers tree;
    tree.copyMode = [this] { return m_dragCopyMode; };
    tree.takesDropAt = [this](const QPoint &pos) { return treeTakesDropAt(pos); };
    tree.over = [this](const QPoint &pos) { treeDragOver(pos); };
    tree.left = [this] { m_controls.tree->clearDropTarget(); };
    tree.dropped = [this](const QPoint &) { m_dropSite = DropRules::Site::FolderTree; };
    new DropSite(m_controls.tree->viewport(), std::move(tree));

    DropSite::Handlers combo;
    combo.copyMode = [this] { return m_dragCopyMode; };
    combo.dropped = [this](const QPoint &) { m_dropSite = DropRules::Site::DriveCombo; };
    new DropSite(m_controls.combo, std::move(combo));
}

FileCommands::~FileCommands()
{
    // The job's destructor cancels it and waits for its worker; no question
    // is asked any more.
    delete m_job;
}

void FileCommands::setServices(FileCommandServices services) { m_services = std::move(services); }

void FileCommands::cancel()
{
    if (m_job)
        m_job->cancel();
}

void FileCommands::refuse(const QString &why)
{
    QApplication::beep();
    if (m_controls.showStatus)
        m_controls.showStatus(why);
}

qsizetype FileCommands::MakeSelectedFileList(QStringList &list) const
{
    const SelectedFiles files = selectedFiles(*m_controls.list, m_controls.tree->GetFolderPath());
    qsizetype total = 0;
    for (const QString &path : files.paths) {
        list.append(path);
        total += NativeName::encode(path).size() + 1;
    }
    return total;
}

bool FileCommands::refusedAsSameFolder(Operation operation, const QString &destination)
{
    const QString folder = m_controls.tree->GetFolderPath();
    if (folder.isEmpty() || !sameFolder(folder, destination))
        return false;
    m_controls.messages->showMessage(FileOperationTexts::sameFolder(operation, NativeName::encode(destination)));
    return true;
}

bool FileCommands::ShellFileOperation(
    int operation, const QString &destination, quint16 flags, const QString &progressTitle)
{
    if (m_job) {
        refuse(busyText());
        return true;
    }
    // The codes end here: the engine gets its own request.
    std::optional<FileOperationRequest> request = ShellOperationCodes::request(
        operation, {}, NativeName::encode(destination), flags, progressTitle);
    if (!request)
        return true;
    if (request->operation != Operation::Delete && refusedAsSameFolder(request->operation, destination))
        return true;
    const SelectedFiles files = selectedFiles(*m_controls.list, m_controls.tree->GetFolderPath());
    if (files.paths.isEmpty())
        return true;
    request->sources = FileCommandRules::encodePaths(files.paths);

    m_items = files.items;
    m_questions = m_services.questions(m_controls.window);
    m_token.emplace(m_controls.guard->hold());
    m_job = new FileOperationJob(std::move(*request), *m_questions, *m_controls.messages, this);
    connect(m_job, &FileOperationJob::sourceLeft, this, &FileCommands::onSourceLeft);
    connect(m_job, &FileOperationJob::finished, this, &FileCommands::onFinished);
    if (m_services.showProgress)
        FileOperationProgressDialog::follow(m_controls.window, *m_job);
    m_job->start();
    return false;
}

void FileCommands::onSourceLeft(int index)
{
    if (index < 0 || index >= m_items.size() || !m_items[index].isValid())
        return;
    m_left.push_back(index);
    if (!m_leftTimer->isActive())
        m_leftTimer->start();
}

void FileCommands::removeLeftEntries()
{
    m_leftTimer->stop();
    std::vector<int> rows;
    rows.reserve(m_left.size());
    for (int index : m_left) {
        if (m_items[index].isValid())
            rows.push_back(m_items[index].row());
    }
    m_left.clear();
    if (rows.empty())
        return;
    // The status bar keeps what it showed: it never shows a file that has
    // just left the list.
    const QSignalBlocker quiet(m_controls.list);
    m_controls.list->model()->removeRowSet(std::move(rows));
}

void FileCommands::onFinished(bool aborted)
{
    removeLeftEntries();
    const bool removed = std::any_of(m_items.cbegin(), m_items.cend(), [](const auto &i) { return !i.isValid(); });
    if (removed)
        m_controls.list->arrangeAlignTop();
    m_items.clear();
    if (m_job)
        m_job->deleteLater();
    m_job = nullptr;
    m_questions.reset();
    // The guard goes last: its release may close the window.
    m_token.reset();
    emit operationFinished(aborted);
}

QString FileCommands::chooseFolder(Operation operation)
{
    const QString folder = m_services.chooseFolder(m_controls.window, operation, m_lastFolder);
    if (!folder.isEmpty())
        m_lastFolder = folder;
    return folder;
}

void FileCommands::copyCommand()
{
    if (m_job) {
        refuse(busyText());
        return;
    }
    // The list must not be re-read or cleared while the chooser is open.
    const CommandGuard::Token token = m_controls.guard->hold();
    const QString folder = chooseFolder(Operation::Copy);
    if (!folder.isEmpty())
        ShellFileOperation(FO_COPY, folder, 0, FileOperationTexts::copyProgressTitle());
}

void FileCommands::moveCommand()
{
    if (m_job) {
        refuse(busyText());
        return;
    }
    // The list must not be re-read or cleared while the chooser is open.
    const CommandGuard::Token token = m_controls.guard->hold();
    const QString folder = chooseFolder(Operation::Move);
    if (!folder.isEmpty())
        ShellFileOperation(FO_MOVE, folder, 0, FileOperationTexts::moveProgressTitle());
}

void FileCommands::deleteCommand() { deleteSelection(m_services.keys().testFlag(Qt::ShiftModifier)); }

void FileCommands::deleteSelection(bool forGood)
{
    ShellFileOperation(FO_DELETE, QString(), FileCommandRules::deleteFlags(forGood),
        FileOperationTexts::deleteProgressTitle());
}

void FileCommands::keyUp(QKeyEvent *event)
{
    // A held key repeats its release: that must not start a delete each time.
    // Shift counts when it was held as Delete went down, even if it was let
    // go before Delete came up.
    if (event && FileCommandRules::isDeleteKey(event->key()) && !event->isAutoRepeat()) {
        const Qt::KeyboardModifiers keys = m_controls.list->modifiersAtPress(event->key()) | m_services.keys();
        deleteSelection(keys.testFlag(Qt::ShiftModifier));
    }
}

void FileCommands::startDrag()
{
    m_dragCopyMode = DropRules::copyMode(m_services.keys());
    m_dropSite = DropRules::Site::Elsewhere;
    m_treeDropPath.clear();
    m_controls.dragTimer->start();

    const SelectedFiles files = selectedFiles(*m_controls.list, m_controls.tree->GetFolderPath());
    // A nested event loop until the drop or the cancel; the drop sites only
    // record where the drop went.
    const Qt::DropAction action = SelectionDrag::exec(m_controls.list, files.paths);
    endDrag();
    m_controls.tree->clearDropTarget();

    // The operation starts once the drag is over, with the pointer free.
    switch (m_dropSite) {
    case DropRules::Site::FolderTree:
        treeDrop();
        break;
    case DropRules::Site::DriveCombo:
        comboDrop();
        break;
    case DropRules::Site::Elsewhere:
        if (action == Qt::MoveAction && !m_job)
            removeEntriesGone(files.paths, files.items);
        break;
    }
}

void FileCommands::removeEntriesGone(const QStringList &paths, const QList<QPersistentModelIndex> &items)
{
    std::vector<int> rows;
    for (int i : FileCommandRules::entriesGone(paths)) {
        if (i < items.size() && items[i].isValid())
            rows.push_back(items[i].row());
    }
    if (rows.empty())
        return;
    const QSignalBlocker quiet(m_controls.list);
    m_controls.list->model()->removeRowSet(std::move(rows));
    m_controls.list->arrangeAlignTop();
}

void FileCommands::endDrag() { m_controls.dragTimer->stop(); }

void FileCommands::timerTick()
{
    const Qt::KeyboardModifiers keys = m_services.keys();
    if (!DropRules::modeChanges(m_dragCopyMode, keys))
        return;
    m_dragCopyMode = DropRules::copyMode(keys);
    // The next drag-move answers with the new action: the cursor changes
    // without the mouse being moved.
    SelectionDrag::nudgePointer();
}

void FileCommands::treeDragOver(const QPoint &pos)
{
    // The node under the pointer becomes the target; over empty space the
    // last node of this drag stays it. A node from an earlier drag never is.
    const QModelIndex index = m_controls.tree->indexAt(pos);
    if (index.isValid())
        m_treeDropPath = m_controls.tree->nodePath(index);
    if (!m_treeDropPath.isEmpty())
        m_controls.tree->setDropTarget(pos);
}

bool FileCommands::treeTakesDropAt(const QPoint &pos) const
{
    const QModelIndex index = m_controls.tree->indexAt(pos);
    const QString target = index.isValid() ? m_controls.tree->nodePath(index) : m_treeDropPath;
    // No node: nothing happens; the list's own folder: the files are there.
    return !target.isEmpty() && !sameFolder(target, m_controls.tree->GetFolderPath());
}

void FileCommands::treeDrop()
{
    const DropRules::Action action = DropRules::drop(DropRules::Site::FolderTree, m_treeDropPath, m_dragCopyMode);
    if (action.kind != DropRules::Action::Transfer)
        return; // this drag passed over no node
    ShellFileOperation(action.operation, action.destination, 0, action.progressTitle);
}

void FileCommands::comboDrop()
{
    const DropRules::Action action = DropRules::drop(DropRules::Site::DriveCombo, QString(), m_dragCopyMode);
    if (action.kind == DropRules::Action::RunCopyCommand)
        copyCommand();
    else
        moveCommand();
}

} // namespace pelandor
