// Copying, moving and deleting the selected files, and dragging them onto a
// folder of the tree or onto the volume combo: the window's handlers forward
// to its FileCommands, which runs the operations on a worker thread.
#include "app/TMainWindow.h"

#include <QStatusBar>

#include "app/FileCommands.h"

namespace pelandor {

namespace {

constexpr int StatusTextMs = 5000;

} // namespace

void TMainWindow::setUpFileOperations()
{
    FileCommands::Controls controls;
    controls.window = this;
    controls.list = ListView1;
    controls.tree = FolderTree1;
    controls.combo = DriveComboEx1;
    controls.dragTimer = Timer1;
    controls.guard = m_guard;
    controls.messages = m_messages;
    controls.showStatus = [this](const QString &text) { showStatusText(text); };
    m_fileCommands = new FileCommands(std::move(controls), this);
}

void TMainWindow::showStatusText(const QString &text)
{
    StatusBar1->showMessage(text, StatusTextMs);
}

void TMainWindow::setFileCommandServices(FileCommandServices services)
{
    m_fileCommands->setServices(std::move(services));
}

bool TMainWindow::DragCopyMode() const { return m_fileCommands->dragCopyMode(); }

qsizetype TMainWindow::MakeSelectedFileList(QStringList &list) const
{
    return m_fileCommands->MakeSelectedFileList(list);
}

bool TMainWindow::ShellFileOperation(int operation, const QString &destination, quint16 flags,
                                     const QString &progressTitle)
{
    return m_fileCommands->ShellFileOperation(operation, destination, flags, progressTitle);
}

void TMainWindow::popMnu_copyClick() { m_fileCommands->copyCommand(); }
void TMainWindow::popMnu_moveClick() { m_fileCommands->moveCommand(); }
void TMainWindow::popMnu_deleteClick() { m_fileCommands->deleteCommand(); }
void TMainWindow::DeleteSelection(bool forGood) { m_fileCommands->deleteSelection(forGood); }
void TMainWindow::ListView1KeyUp(QKeyEvent *event) { m_fileCommands->keyUp(event); }
void TMainWindow::ListView1StartDrag() { m_fileCommands->startDrag(); }
void TMainWindow::ListView1EndDrag() { m_fileCommands->endDrag(); }
void TMainWindow::Timer1Timer() { m_fileCommands->timerTick(); }
void TMainWindow::FolderTree1DragOver(const QPoint &pos) { m_fileCommands->treeDragOver(pos); }
void TMainWindow::FolderTree1DragDrop() { m_fileCommands->treeDrop(); }
void TMainWindow::DriveComboEx1DragDrop() { m_fileCommands->comboDrop(); }

} // namespace pelandor
