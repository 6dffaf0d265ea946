#include "listing/FileListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "listing/FileListModel.h"
#include "listing/FileReportView.h"
#include "listing/ItemPressGesture.h"
#include "listing/ReportItemDelegate.h"
#include "listing/ThumbnailGridView.h"

namespace pelandor {

namespace {
// A change of more rows than this at once (select all, then click) reports
// only its last row: the status bar would show that one in the end anyway.
constexpr int MaxReportedRows = 64;
} // namespace

FileListView::FileListView(QWidget *parent)
    : QStackedWidget(parent)
    , m_model(new FileListModel(this))
    , m_icons(new ThumbnailGridView(this))
    , m_report(new FileReportView(this))
{
    m_report->setRootIsDecorated(false);
    m_report->setItemsExpandable(false);
    m_report->setUniformRowHeights(true);
    m_report->setAllColumnsShowFocus(true);
    m_report->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_report->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_report->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_report->setItemDelegate(new ReportItemDelegate(m_report));
    m_report->setSortingEnabled(false);
    m_report->setTextElideMode(Qt::ElideRight);

    m_report->setModel(m_model);
    m_icons->setModel(m_model);
    // One selection model for both views. The icon view's own one stays its
    // child and goes with it.
    m_icons->setSelectionModel(m_report->selectionModel());

    QHeaderView *header = m_report->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    for (int c = 0; c < FileListModel::ColumnCount; ++c)
        header->resizeSection(c, FileListModel::columnWidth(c));

    addWidget(m_icons);
    addWidget(m_report);
    setCurrentWidget(m_icons);

    QItemSelectionModel *selection = m_report->selectionModel();
    connect(selection, &QItemSelectionModel::selectionChanged, this, &FileListView::onSelectionChanged);
    connect(selection, &QItemSelectionModel::currentChanged, this, &FileListView::onCurrentChanged);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &FileListView::onDataChanged);
    connect(m_icons, &QAbstractItemView::doubleClicked, this, [this] { emit doubleClicked(); });
    connect(m_report, &QAbstractItemView::doubleClicked, this, [this] { emit doubleClicked(); });
    connect(m_icons->pressGesture(), &ItemPressGesture::dragStarted, this, &FileListView::dragStarted);
    connect(m_report->pressGesture(), &ItemPressGesture::dragStarted, this, &FileListView::dragStarted);

    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(m_icons), static_cast<QAbstractItemView *>(m_report)}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }
}

QItemSelectionModel *FileListView::selectionModel() const
{
    return m_report->selectionModel();
}

QAbstractItemView *FileListView::currentView() const
{
    if (currentWidget() == m_report)
        return m_report;
    return m_icons;
}

QList<int> FileListView::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = selectionModel()->selectedRows(0);
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool FileListView::hasSelectedRows() const
{
    return selectionModel()->hasSelection();
}

void FileListView::setViewStyle(bool report)
{
    QAbstractItemView *target = report ? static_cast<QAbstractItemView *>(m_report) : m_icons;
    if (currentWidget() == target)
        return;
    const bool hadFocus = currentView()->hasFocus();
    setCurrentWidget(target);
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid())
        target->scrollTo(current);
    if (hadFocus)
        target->setFocus();
}

bool FileListView::isReport() const
{
    return currentWidget() == m_report;
}

void FileListView::arrangeAlignTop()
{
    if (!isReport() && m_icons->isVisible())
        m_icons->viewport()->update();
}

void FileListView::repaintNow()
{
    if (!isVisible())
        return;
    if (isReport()) {
        // The tree lays out appended rows later; do it now only while the
        // new row would be on screen.
        const int row = m_model->count() - 1;
        const int rowHeight = std::max(1, m_report->sizeHintForRow(0));
        const QModelIndex top = m_report->indexAt(QPoint(0, 0));
        const int lastVisible = (top.isValid() ? top.row() : 0) + m_report->viewport()->height() / rowHeight + 1;
        if (row >= 0 && row <= lastVisible) {
            m_report->doItemsLayout();
            m_report->viewport()->repaint();
        }
    } else {
        // Only a new cell that is on screen needs painting now.
        const int row = m_model->count() - 1;
        const QRect cell = m_icons->visualRect(m_model->index(row, 0));
        if (row >= 0 && cell.intersects(m_icons->viewport()->rect()))
            m_icons->viewport()->repaint(cell);
    }
}

void FileListView::setHint(const QString &text)
{
    m_hint = text;
    setToolTip(text);
    m_icons->setToolTip(text);
    m_report->setToolTip(text);
}

bool FileListView::eventFilter(QObject *watched, QEvent *event)
{
    const bool isView = watched == m_icons || watched == m_report;
    const bool isViewport = watched == m_icons->viewport() || watched == m_report->viewport();
    if (isViewport && event->type() == QEvent::MouseButtonRelease)
        emit mouseReleased(static_cast<QMouseEvent *>(event));
    else if (isView && event->type() == QEvent::KeyRelease)
        emit keyReleased(static_cast<QKeyEvent *>(event));
    if (isView && event->type() == QEvent::KeyPress && !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
        m_pressedKey = static_cast<QKeyEvent *>(event)->key();
        m_pressModifiers = static_cast<QKeyEvent *>(event)->modifiers();
    }
    if (isView && event->type() == QEvent::KeyPress) {
        // Enter opens the selection as a double-click does (a held key opens
        // it once); the views would only report the current item.
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!key->isAutoRepeat())
                emit doubleClicked();
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

void FileListView::onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    auto rowCount = [](const QItemSelection &selection) {
        qsizetype n = 0;
        for (const QItemSelectionRange &range : selection)
            n += range.height();
        return n;
    };
    if (rowCount(selected) + rowCount(deselected) > MaxReportedRows) {
        const QItemSelection &last = selected.isEmpty() ? deselected : selected;
        emit itemChanged(last.last().bottom());
        return;
    }
    for (const QItemSelection *selection : {&deselected, &selected}) {
        for (const QItemSelectionRange &range : *selection) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                emit itemChanged(row);
        }
    }
}

void FileListView::onCurrentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (previous.isValid() && previous.row() != current.row())
        emit itemChanged(previous.row());
    if (current.isValid())
        emit itemChanged(current.row());
}

void FileListView::onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (!topLeft.isValid() || !bottomRight.isValid())
        return;
    if (bottomRight.row() - topLeft.row() >= MaxReportedRows) {
        emit itemChanged(bottomRight.row());
        return;
    }
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
        emit itemChanged(row);
}

} // namespace pelandor
