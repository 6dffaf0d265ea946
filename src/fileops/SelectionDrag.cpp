#include "fileops/SelectionDrag.h"

#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QTimer>
#include <QWidget>

#include "fileops/DragCursors.h"
#include "fileops/DropRules.h"

namespace pelandor {

namespace {

constexpr int StepBackMs = 30;

} // namespace

Qt::DropAction SelectionDrag::exec(QWidget *source, const QStringList &paths)
{
    auto *drag = new QDrag(source);
    drag->setMimeData(DropRules::mimeData(paths));
    drag->setDragCursor(DragCursors::dragPixmap(true), Qt::CopyAction);
    drag->setDragCursor(DragCursors::dragPixmap(false), Qt::MoveAction);
    return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

void SelectionDrag::answerDragOver(QDropEvent *event, bool dragCopyMode)
{
    if (!DropRules::isOwnDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(dragCopyMode ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void SelectionDrag::nudgePointer()
{
    // Setting the pointer to where it is produces no motion on X11: step
    // aside by one pixel and back. The way back waits a moment: two warps in
    // a row reach the drag as one motion to where the pointer already was,
    // and that asks the target nothing.
    const QPoint at = QCursor::pos();
    const QPoint aside = at + QPoint(1, 0);
    QCursor::setPos(aside);
    QTimer::singleShot(StepBackMs, [at, aside] {
        if (QCursor::pos() == aside) // the user has not moved the mouse meanwhile
            QCursor::setPos(at);
    });
}

} // namespace pelandor
