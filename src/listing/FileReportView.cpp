#include "listing/FileReportView.h"

#include <QMouseEvent>
#include <QTimer>

#include "listing/ItemPressGesture.h"

namespace pelandor {

namespace {
// How long rows added out of sight wait before all rows are laid out.
constexpr int LayoutDelayMs = 100;
} // namespace

FileReportView::FileReportView(QWidget *parent)
    : QTreeView(parent)
    , m_gesture(new ItemPressGesture(this))
    , m_layoutTimer(new QTimer(this))
{
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(LayoutDelayMs);
    connect(m_layoutTimer, &QTimer::timeout, this, [this] { scheduleDelayedItemsLayout(); });
}

std::pair<int, int> FileReportView::shownRows() const
{
    if (!model() || model()->rowCount(rootIndex()) == 0)
        return {0, -1};
    const QModelIndex top = indexAt(QPoint(0, 0));
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    // No row at the bottom: the rows end above it (or are not laid out yet).
    return {top.isValid() ? top.row() : 0, bottom.isValid() ? bottom.row() : model()->rowCount(rootIndex()) - 1};
}

void FileReportView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    // The tree view repaints its whole viewport for a change of more than
    // one cell; a change out of sight needs no painting at all.
    if (isVisible() && topLeft.isValid() && bottomRight.isValid() && topLeft.parent() == rootIndex()) {
        const auto [first, last] = shownRows();
        if (bottomRight.row() < first || topLeft.row() > last)
            return;
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

void FileReportView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    // Rows added below the ones shown are laid out a little later, with all
    // others added meanwhile; the tree view would lay out every row again
    // for each of them.
    if (isVisible() && parent == rootIndex() && start > shownRows().second) {
        QAbstractItemView::rowsInserted(parent, start, end);
        if (!m_layoutTimer->isActive())
            m_layoutTimer->start();
        return;
    }
    QTreeView::rowsInserted(parent, start, end);
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
