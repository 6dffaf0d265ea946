#include "fileops/DropSite.h"

#include <QDropEvent>
#include <QWidget>

#include "fileops/SelectionDrag.h"

namespace pelandor {

DropSite::DropSite(QWidget *target, Handlers handlers)
    : QObject(target)
    , m_handlers(std::move(handlers))
{
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool DropSite::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        SelectionDrag::answerDragOver(drop, m_handlers.copyMode && m_handlers.copyMode());
        const QPoint pos = drop->position().toPoint();
        // The enter is always taken, so that the moves that follow it are
        // seen; each move and the drop itself are judged by position.
        if (drop->isAccepted() && event->type() != QEvent::DragEnter && m_handlers.takesDropAt
            && !m_handlers.takesDropAt(pos)) {
            if (m_handlers.over)
                m_handlers.over(pos);
            drop->ignore();
            return true;
        }
        if (drop->isAccepted()) {
            if (event->type() == QEvent::Drop) {
                if (m_handlers.left)
                    m_handlers.left();
                if (m_handlers.dropped)
                    m_handlers.dropped(pos);
            } else if (m_handlers.over) {
                m_handlers.over(pos);
            }
        }
        return true;
    }
    case QEvent::DragLeave:
        if (m_handlers.left)
            m_handlers.left();
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace pelandor
