// The icon view of the file list: 96 by 96 thumbnails on a fixed grid with
// the file names under them, packed row by row from the top left. Every
// item's place follows from its row by arithmetic, so appending an item costs
// the same with 10 or 10,000 items, and painting touches only visible cells
// (and asks for the cells of the pages above and below to be read ahead).
#pragma once

#include <QAbstractItemView>
#include <QBasicTimer>

namespace pelandor {

class ItemPressGesture;

class ThumbnailGridView : public QAbstractItemView {
    Q_OBJECT

public:
    explicit ThumbnailGridView(QWidget *parent = nullptr);

    // One grid cell: the thumbnail, a line of text and a margin.
    QSize gridSize() const { return m_grid; }
    int columnCount() const;
    // The cell of a row in content coordinates (not scrolled).
    QRect cellRect(int row) const;

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void setModel(QAbstractItemModel *model) override;

    ItemPressGesture *pressGesture() const { return m_gesture; }

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;

private:
    void updateGrid();
    int rowCount() const;
    // Rows whose cells meet the rectangle given in content coordinates.
    void rowsIn(const QRect &contentRect, int *first, int *last) const;
    // The row whose cell holds the point (content coordinates), the nearest
    // one for a point beyond the last cell of a line or of the list.
    int rowNear(const QPoint &contentPoint) const;
    void updateRow(int row);
    void updateScrollRange();

    static constexpr int ScrollRangeDelayMs = 100;

    QSize m_grid;
    QBasicTimer m_rangeTimer;
    ItemPressGesture *m_gesture;
    // The event that is being handled holds Shift: a selection it makes is
    // a run in list order, not a rectangle of the grid.
    bool m_extending = false;
};

} // namespace pelandor
