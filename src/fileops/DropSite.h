// Makes a widget a place where the list's selection can be dropped (the
// folder tree's viewport, the volume combo). It answers drag-enter and
// drag-move: a drag from the list is accepted with the action of the drag's
// current mode where a drop would do something, anything else is refused. It reports where the pointer is
// over the widget, when it leaves, and the drop; the drop itself only
// records, the window acts once the drag is over.
#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QWidget;

namespace pelandor {

class DropSite : public QObject {
    Q_OBJECT

public:
    struct Handlers {
        // The drag's mode now: true copies, false moves.
        std::function<bool()> copyMode;
        // Whether a drop at pos would do anything (empty: everywhere). Where
        // it would not, the pointer shows "no drop".
        std::function<bool(const QPoint &pos)> takesDropAt;
        // An accepted drag is over pos (widget coordinates).
        std::function<void(const QPoint &pos)> over;
        // The drag left the widget (or was dropped on it).
        std::function<void()> left;
        // An accepted drop at pos.
        std::function<void(const QPoint &pos)> dropped;
    };

    // Watches target; owned by it.
    DropSite(QWidget *target, Handlers handlers);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handlers m_handlers;
};

} // namespace pelandor
