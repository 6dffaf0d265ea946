// What the left mouse button does to the file list's selection, shared by
// the icon view and the report view. A press without Shift or Ctrl on an
// item that is already selected keeps the whole selection, so that a drag
// carries every selected file and a double-click opens every selected one.
// Only a plain click (no drag, no double-click after it) collapses the
// selection to the clicked item, once the double-click time has passed.
// A left press on an item without Shift or Ctrl that is then moved beyond
// the drag distance reports dragStarted() instead of selecting with a
// rubber band.
#pragma once

#include <QBasicTimer>
#include <QItemSelectionModel>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>

class QAbstractItemView;
class QEvent;
class QMouseEvent;

namespace pelandor {

class ItemPressGesture : public QObject {
    Q_OBJECT

public:
    // The rules, without a view.
    // A press that leaves the selection as it is (it may collapse later).
    static bool keepsSelection(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool onSelectedItem);
    // A press that may turn into a drag of the selection.
    static bool mayStartDrag(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool onItem);

    // Serves view (which must call the hooks below).
    explicit ItemPressGesture(QAbstractItemView *view);

    // Hooks for the view's event handlers.
    // Before the view handles a press (also the press a double-click makes).
    void pressed(const QMouseEvent *event);
    // Before the view handles a move: true when the view must not handle
    // it (a drag may start or has just been reported).
    bool moved(const QMouseEvent *event);
    // From the view's selectionCommand(): true when the view must answer
    // NoUpdate to this event. That is the release of a press that started a
    // drag, and the release of a plain click on a selected item, whose
    // collapse is put off until no double-click can follow.
    bool defersCollapse(const QModelIndex &index, const QEvent *event);
    // After the view handled a release.
    void released();
    // Before the view handles a double-click: the click before it does not
    // collapse the selection.
    void doubleClicked();
    // A key press: a collapse still waiting happens now, so the key acts on
    // what the user sees as selected after the click.
    void flush();

    bool collapsePending() const { return m_collapse.isActive(); }

signals:
    void dragStarted();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void collapse();

    QAbstractItemView *m_view;
    QPersistentModelIndex m_pressedIndex;
    QPoint m_pressPos;
    bool m_keeps = false;
    bool m_dragArmed = false;
    bool m_dragged = false;
    QPersistentModelIndex m_collapseTo;
    QBasicTimer m_collapse;
};

} // namespace pelandor
