#include "listing/ItemPressGesture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QTimerEvent>

#include <utility>

namespace pelandor {

namespace {

bool plain(Qt::KeyboardModifiers modifiers)
{
    return !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier));
}

} // namespace

bool ItemPressGesture::keepsSelection(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool onSelectedItem)
{
    return button == Qt::LeftButton && plain(modifiers) && onSelectedItem;
}

bool ItemPressGesture::mayStartDrag(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool onItem)
{
    return button == Qt::LeftButton && plain(modifiers) && onItem;
}

ItemPressGesture::ItemPressGesture(QAbstractItemView *view)
    : QObject(view)
    , m_view(view)
{
}

void ItemPressGesture::pressed(const QMouseEvent *event)
{
    // The second press of a double-click must not collapse what the first
    // click kept; any other press first finishes the click before it.
    if (event->type() != QEvent::MouseButtonDblClick && !(event->flags() & Qt::MouseEventCreatedDoubleClick))
        flush();
    const QModelIndex index = m_view->indexAt(event->position().toPoint());
    const bool selected = index.isValid() && m_view->selectionModel() && m_view->selectionModel()->isSelected(index);
    m_pressedIndex = index;
    m_pressPos = event->position().toPoint();
    m_keeps = keepsSelection(event->button(), event->modifiers(), selected);
    m_dragArmed = mayStartDrag(event->button(), event->modifiers(), index.isValid());
    m_dragged = false;
}

bool ItemPressGesture::moved(const QMouseEvent *event)
{
    if (!m_dragArmed)
        return false;
    if (!(event->buttons() & Qt::LeftButton)) {
        m_dragArmed = false;
        return false;
    }
    if ((event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return true; // no rubber band while a drag may still start
    m_dragArmed = false;
    m_keeps = false;
    m_dragged = true;
    emit dragStarted();
    return true;
}

bool ItemPressGesture::defersCollapse(const QModelIndex &index, const QEvent *event)
{
    if (!event || event->type() != QEvent::MouseButtonRelease)
        return false;
    if (m_dragged)
        return true; // the drag took the press: the selection stays as it was
    if (!m_keeps)
        return false;
    const auto *release = static_cast<const QMouseEvent *>(event);
    if (release->button() != Qt::LeftButton || !plain(release->modifiers()) || !index.isValid()
        || index != QModelIndex(m_pressedIndex))
        return false;
    m_keeps = false;
    m_collapseTo = index;
    m_collapse.start(QApplication::doubleClickInterval(), this);
    return true;
}

void ItemPressGesture::released()
{
    m_dragArmed = false;
    m_keeps = false;
    m_dragged = false;
}

void ItemPressGesture::doubleClicked()
{
    m_collapse.stop();
    m_collapseTo = QPersistentModelIndex();
}

void ItemPressGesture::flush()
{
    if (m_collapse.isActive())
        collapse();
}

void ItemPressGesture::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_collapse.timerId()) {
        collapse();
        return;
    }
    QObject::timerEvent(event);
}

void ItemPressGesture::collapse()
{
    m_collapse.stop();
    const QModelIndex target = std::exchange(m_collapseTo, QPersistentModelIndex());
    if (target.isValid() && m_view->selectionModel())
        m_view->selectionModel()->select(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace pelandor
