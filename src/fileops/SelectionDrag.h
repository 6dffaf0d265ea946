// The drag of the list's selected files. It carries the files as URLs (so a
// file manager or an image editor can take them) and our own mark (so the
// folder tree and the volume combo take only drags from the list). The
// pointer shows "DRAGCOPY" or "DRAGMOVE" over a place that accepts the drop,
// the no-drop shape elsewhere.
#pragma once

#include <QStringList>
#include <Qt>

class QDropEvent;
class QWidget;

namespace pelandor {

class SelectionDrag {
public:
    // Runs the drag until it ends by a drop or a cancel; returns what the
    // target did (Qt::IgnoreAction when nothing was dropped).
    static Qt::DropAction exec(QWidget *source, const QStringList &paths);
    // For the drag-enter and drag-move events of the tree and the combo:
    // accepts a drag from the list with the action of the mode, refuses others.
    static void answerDragOver(QDropEvent *event, bool dragCopyMode);
    // Produces a pointer motion without moving the pointer visibly, so that
    // the cursor of a changed mode shows at once.
    static void nudgePointer();
};

} // namespace pelandor
