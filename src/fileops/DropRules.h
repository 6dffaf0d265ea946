// What a drag of the selected files does, without a window: whether a press
// may start one, copy or move from the Ctrl key (at the start and at every
// tick of the 100 ms timer), which places accept a drop, and what a drop
// there does. QDrag cannot run offscreen, so the window's handlers ask these
// functions and tests call them directly.
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

class QMimeData;

namespace pelandor {

class DropRules {
public:
    enum class Site { FolderTree, DriveCombo, Elsewhere };

    struct Action {
        enum Kind {
            Ignore,         // nothing happens
            Transfer,       // ShellFileOperation(operation, destination, 0, title)
            RunCopyCommand, // popMnu_copyClick, with its folder chooser
            RunMoveCommand, // popMnu_moveClick, with its folder chooser
        };
        Kind kind = Ignore;
        int operation = 0; // FO_COPY or FO_MOVE for Transfer
        QString destination;
        QString progressTitle;
    };

    // A left press on an item with neither Shift nor Ctrl may turn into a drag.
    static bool dragMayStart(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool onItem);
    // DragCopyMode for the keys held now.
    static bool copyMode(Qt::KeyboardModifiers modifiers);
    // Whether a timer tick must switch the mode (and the cursor).
    static bool modeChanges(bool dragCopyMode, Qt::KeyboardModifiers modifiers);
    // Only the folder tree and the volume combo take drops.
    static bool accepts(Site site);
    // targetFolder: the path of the tree's drop-target node, empty when no
    // node has been the target during this drag.
    static Action drop(Site site, const QString &targetFolder, bool dragCopyMode);

    // What a drag of the list carries: the files as URLs, for other
    // programs, and a mark of its own. The caller owns the result.
    static QMimeData *mimeData(const QStringList &paths);
    // The tree and the combo act on the list's selection, so they take only
    // drags that came from the list; a drag from another program is refused.
    static bool isOwnDrag(const QMimeData *data);
};

} // namespace pelandor
