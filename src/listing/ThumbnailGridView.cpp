#include "listing/ThumbnailGridView.h"

#include <algorithm>

#include <QEvent>
#include <QMouseEvent>
#include <QTimerEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include "listing/FileListModel.h"
#include "listing/ItemPressGesture.h"
#include "listing/ThumbnailList.h"

namespace pelandor {

ThumbnailGridView::ThumbnailGridView(QWidget *parent)
    : QAbstractItemView(parent)
    , m_gesture(new ItemPressGesture(this))
{
    setIconSize(QSize(ThumbnailList::CellWidth, ThumbnailList::CellHeight));
    setTextElideMode(Qt::ElideRight);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    updateGrid();
}

void ThumbnailGridView::updateGrid()
{
    m_grid = QSize(ThumbnailList::CellWidth + 16, ThumbnailList::CellHeight + fontMetrics().height() + 14);
}

int ThumbnailGridView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int ThumbnailGridView::columnCount() const
{
    return std::max(1, viewport()->width() / m_grid.width());
}

QRect ThumbnailGridView::cellRect(int row) const
{
    const int columns = columnCount();
    return QRect(QPoint((row % columns) * m_grid.width(), (row / columns) * m_grid.height()), m_grid);
}

QRect ThumbnailGridView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex())
        return QRect();
    return cellRect(index.row()).translated(-horizontalOffset(), -verticalOffset());
}

void ThumbnailGridView::rowsIn(const QRect &contentRect, int *first, int *last) const
{
    const int columns = columnCount();
    const int count = rowCount();
    const int top = std::max(0, contentRect.top() / m_grid.height());
    const int bottom = std::max(0, contentRect.bottom() / m_grid.height());
    *first = std::min(count, top * columns);
    *last = std::min(count - 1, (bottom + 1) * columns - 1);
}

void ThumbnailGridView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const QRect cell = cellRect(index.row());
    const int height = viewport()->height();
    const int offset = verticalOffset();
    int value = offset;
    switch (hint) {
    case PositionAtTop:
        value = cell.top();
        break;
    case PositionAtBottom:
        value = cell.bottom() + 1 - height;
        break;
    case PositionAtCenter:
        value = cell.center().y() - height / 2;
        break;
    case EnsureVisible:
        if (cell.top() < offset)
            value = cell.top();
        else if (cell.bottom() + 1 > offset + height)
            value = std::min(cell.top(), cell.bottom() + 1 - height);
        break;
    }
    verticalScrollBar()->setValue(value);
}

QModelIndex ThumbnailGridView::indexAt(const QPoint &point) const
{
    if (!model())
        return QModelIndex();
    const QPoint p = point + QPoint(horizontalOffset(), verticalOffset());
    if (p.x() < 0 || p.y() < 0)
        return QModelIndex();
    const int column = p.x() / m_grid.width();
    if (column >= columnCount())
        return QModelIndex();
    const qint64 row = qint64(p.y() / m_grid.height()) * columnCount() + column;
    if (row >= rowCount())
        return QModelIndex();
    return model()->index(int(row), 0, rootIndex());
}

void ThumbnailGridView::setModel(QAbstractItemModel *model)
{
    QAbstractItemView::setModel(model);
    if (!model)
        return;
    // Removed or moved rows shift every later cell.
    auto relayout = [this] { scheduleDelayedItemsLayout(); };
    connect(model, &QAbstractItemModel::rowsRemoved, this, relayout);
    connect(model, &QAbstractItemModel::rowsMoved, this, relayout);
}

QModelIndex ThumbnailGridView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int count = rowCount();
    if (count == 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    const int columns = columnCount();
    const int page = std::max(1, viewport()->height() / m_grid.height()) * columns;
    int row = current.row();
    switch (cursorAction) {
    case MoveLeft:
    case MovePrevious:
        row -= 1;
        break;
    case MoveRight:
    case MoveNext:
        row += 1;
        break;
    case MoveUp:
        row -= columns;
        break;
    case MoveDown:
        // The last line may be short: stay in place rather than jump back.
        row = row + columns < count ? row + columns : row;
        break;
    case MovePageUp:
        row = std::max(row % columns, row - page);
        break;
    case MovePageDown:
        row = std::min(count - 1, row + page);
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    }
    if (row < 0 || row >= count)
        return current;
    return model()->index(row, 0, rootIndex());
}

int ThumbnailGridView::horizontalOffset() const
{
    return 0;
}

int ThumbnailGridView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

bool ThumbnailGridView::isIndexHidden(const QModelIndex &) const
{
    return false;
}

int ThumbnailGridView::rowNear(const QPoint &contentPoint) const
{
    const int count = rowCount();
    if (count == 0)
        return -1;
    const int columns = columnCount();
    const int line = std::max(0, contentPoint.y() / m_grid.height());
    const int column = std::clamp(contentPoint.x() / m_grid.width(), 0, columns - 1);
    const qint64 row = qint64(line) * columns + column;
    return int(std::min<qint64>(row, count - 1));
}

void ThumbnailGridView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (!model() || !selectionModel())
        return;
    const int lastColumnIndex = model()->columnCount(rootIndex()) - 1;
    if (m_extending) {
        // Shift extends the selection over the run of files between the
        // anchor and the target in list order, as the report view does; the
        // item view gives the anchor as the rectangle's first corner and the
        // target as its second.
        const QPoint offset(horizontalOffset(), verticalOffset());
        const int anchor = rowNear(rect.topLeft() + offset);
        const int target = rowNear(rect.bottomRight() + offset);
        if (anchor < 0 || target < 0)
            return;
        selectionModel()->select(QItemSelection(model()->index(std::min(anchor, target), 0, rootIndex()),
                                                model()->index(std::max(anchor, target), lastColumnIndex, rootIndex())),
                                 command);
        return;
    }
    const QRect content = rect.normalized().translated(horizontalOffset(), verticalOffset());
    const int columns = columnCount();
    const int firstColumn = std::max(0, content.left() / m_grid.width());
    const int lastColumn = std::min(columns - 1, content.right() / m_grid.width());
    int first = 0;
    int last = -1;
    rowsIn(content, &first, &last);
    QItemSelection selection;
    for (int lineStart = first - first % columns; lineStart <= last; lineStart += columns) {
        const int from = lineStart + firstColumn;
        const int to = std::min(last, lineStart + lastColumn);
        if (from > to)
            continue;
        // Whole rows: the report view shows the same selection.
        selection.append(QItemSelectionRange(model()->index(from, 0, rootIndex()),
                                             model()->index(to, lastColumnIndex, rootIndex())));
    }
    selectionModel()->select(selection, command);
}

QRegion ThumbnailGridView::visualRegionForSelection(const QItemSelection &selection) const
{
    // Only the visible part matters for repainting.
    int firstVisible = 0;
    int lastVisible = -1;
    rowsIn(QRect(QPoint(0, verticalOffset()), viewport()->size()), &firstVisible, &lastVisible);
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        const int from = std::max(range.top(), firstVisible);
        const int to = std::min(range.bottom(), lastVisible);
        for (int row = from; row <= to; ++row)
            region += cellRect(row).translated(-horizontalOffset(), -verticalOffset());
    }
    return region;
}

void ThumbnailGridView::updateScrollRange()
{
    const int columns = columnCount();
    const int lines = (rowCount() + columns - 1) / columns;
    const int maximum = std::max(0, lines * m_grid.height() - viewport()->height());
    QScrollBar *bar = verticalScrollBar();
    if (bar->maximum() != maximum || bar->pageStep() != viewport()->height()) {
        bar->setSingleStep(std::max(1, m_grid.height() / 4));
        bar->setPageStep(viewport()->height());
        bar->setRange(0, maximum);
    }
}

void ThumbnailGridView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_rangeTimer.timerId()) {
        m_rangeTimer.stop();
        updateScrollRange();
        return;
    }
    QAbstractItemView::timerEvent(event);
}

void ThumbnailGridView::updateGeometries()
{
    m_rangeTimer.stop();
    updateScrollRange();
    QAbstractItemView::updateGeometries();
}

void ThumbnailGridView::updateRow(int row)
{
    const QRect rect = cellRect(row).translated(-horizontalOffset(), -verticalOffset());
    if (rect.intersects(viewport()->rect()))
        viewport()->update(rect);
}

void ThumbnailGridView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    // Only the scroll range can change: the cells before keep their places.
    // While rows stream in, the scroll bar follows a few times a second
    // instead of repainting for every line of cells.
    if (!m_rangeTimer.isActive())
        m_rangeTimer.start(ScrollRangeDelayMs, this);
    if (end < rowCount() - 1) {
        // Inserted in the middle: everything after it moves.
        viewport()->update();
        return;
    }
    for (int row = start; row <= end; ++row)
        updateRow(row);
}

void ThumbnailGridView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                    const QList<int> &roles)
{
    if (topLeft.isValid() && bottomRight.isValid() && topLeft.row() == bottomRight.row()
        && topLeft.parent() == rootIndex()) {
        // One row: repaint its cell only (if it is on screen).
        updateRow(topLeft.row());
        return;
    }
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

void ThumbnailGridView::paintEvent(QPaintEvent *event)
{
    if (!model())
        return;
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    int first = 0;
    int last = -1;
    rowsIn(dirty.translated(horizontalOffset(), verticalOffset()), &first, &last);

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.decorationPosition = QStyleOptionViewItem::Top;
    option.decorationAlignment = Qt::AlignCenter;
    option.displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
    option.decorationSize = iconSize();
    option.textElideMode = textElideMode();
    option.showDecorationSelected = false;
    const QModelIndex current = currentIndex();
    const bool focus = hasFocus();
    QItemSelectionModel *selection = selectionModel();
    const QStyle::State base = option.state;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        QStyleOptionViewItem itemOption = option;
        itemOption.rect = cellRect(row).translated(-horizontalOffset(), -verticalOffset()).adjusted(4, 4, -4, -4);
        if (!itemOption.rect.intersects(dirty))
            continue;
        itemOption.state = base;
        if (selection && selection->isSelected(index))
            itemOption.state |= QStyle::State_Selected;
        if (focus && index == current)
            itemOption.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, itemOption, index);
    }
    // The cells of the pages above and below are read ahead from disk in
    // the background, so that paging on does not wait for the disk a cell
    // at a time.
    if (const auto *files = qobject_cast<const FileListModel *>(model()); files && last >= first) {
        const int span = last - first + 1;
        const int count = files->count();
        for (int row = std::max(0, first - span); row < std::min(count, last + 1 + span); ++row) {
            if (row < first || row > last)
                files->thumbnails()->prefetch(files->imageIndex(row));
        }
    }
}

void ThumbnailGridView::resizeEvent(QResizeEvent *event)
{
    const int before = columnCount();
    QAbstractItemView::resizeEvent(event);
    updateGeometries();
    if (columnCount() != before)
        viewport()->update();
}

void ThumbnailGridView::changeEvent(QEvent *event)
{
    QAbstractItemView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateGrid();
        updateGeometries();
        viewport()->update();
    }
}

void ThumbnailGridView::mousePressEvent(QMouseEvent *event)
{
    m_extending = event->modifiers().testFlag(Qt::ShiftModifier);
    m_gesture->pressed(event);
    QAbstractItemView::mousePressEvent(event);
    m_extending = false;
}

void ThumbnailGridView::mouseMoveEvent(QMouseEvent *event)
{
    m_extending = event->modifiers().testFlag(Qt::ShiftModifier);
    if (!m_gesture->moved(event))
        QAbstractItemView::mouseMoveEvent(event);
    m_extending = false;
}

void ThumbnailGridView::mouseReleaseEvent(QMouseEvent *event)
{
    QAbstractItemView::mouseReleaseEvent(event);
    m_gesture->released();
}

void ThumbnailGridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_gesture->doubleClicked();
    QAbstractItemView::mouseDoubleClickEvent(event);
}

void ThumbnailGridView::keyPressEvent(QKeyEvent *event)
{
    m_gesture->flush();
    m_extending = event->modifiers().testFlag(Qt::ShiftModifier);
    QAbstractItemView::keyPressEvent(event);
    m_extending = false;
}

QItemSelectionModel::SelectionFlags ThumbnailGridView::selectionCommand(const QModelIndex &index,
                                                                        const QEvent *event) const
{
    if (m_gesture->defersCollapse(index, event))
        return QItemSelectionModel::NoUpdate;
    return QAbstractItemView::selectionCommand(index, event);
}

} // namespace pelandor
