#include "listing/FileReportView.h"

#include <QMouseEvent>

#include "listing/ItemPressGesture.h"

namespace pelandor {

FileReportView::FileReportView(QWidget *parent)
    : QTreeView(parent)
    , m_gesture(new ItemPressGesture(this))
{
}

void FileReportView::mousePressEvent(QMouseEvent *event)
{
    m_gesture->pressed(event);
    QTreeView::mousePressEvent(event);
}

void FileReportView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_gesture->moved(event))
        QTreeView::mouseMoveEvent(event);
}

void FileReportView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    m_gesture->released();
}

void FileReportView::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_gesture->doubleClicked();
    QTreeView::mouseDoubleClickEvent(event);
}

void FileReportView::keyPressEvent(QKeyEvent *event)
{
    m_gesture->flush();
    QTreeView::keyPressEvent(event);
}

QItemSelectionModel::SelectionFlags FileReportView::selectionCommand(const QModelIndex &index,
                                                                     const QEvent *event) const
{
    if (m_gesture->defersCollapse(index, event))
        return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}

} // namespace pelandor
