// The file list of the main window: one FileListModel shown either as
// thumbnails (icon view) or as a six-column report. Both views stay alive in
// a stack and share the model and one selection model, so switching keeps
// the order, the selection and the current item.
#pragma once

#include <QList>
#include <QStackedWidget>

class QAbstractItemView;
class QItemSelection;
class QItemSelectionModel;
class QKeyEvent;
class QMouseEvent;

namespace pelandor {

class FileListModel;
class FileReportView;
class ThumbnailGridView;

class FileListView : public QStackedWidget {
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);

    FileListModel *model() const { return m_model; }
    QItemSelectionModel *selectionModel() const;
    ThumbnailGridView *iconView() const { return m_icons; }
    FileReportView *reportView() const { return m_report; }
    // The view on top.
    QAbstractItemView *currentView() const;

    // Rows of the selected items, in list order.
    QList<int> selectedRows() const;
    // Whether any row is selected, without listing them (Ctrl+A selects
    // every row of a folder of 100,000 files).
    bool hasSelectedRows() const;

    // false: thumbnails; true: report.
    void setViewStyle(bool report);
    bool isReport() const;

    // Re-packs the thumbnails from the top left.
    void arrangeAlignTop();
    // Lays out rows appended since the last event processing and repaints the
    // visible part now.
    void repaintNow();

    // The list's tooltip text (both views).
    void setHint(const QString &text);
    QString hint() const { return m_hint; }

    // The modifier keys that were held when `key` was last pressed in the
    // list; a command that starts as the key is released looks here, as a
    // quick hand lets go of Shift before the key itself.
    Qt::KeyboardModifiers modifiersAtPress(int key) const
    {
        return key == m_pressedKey ? m_pressModifiers : Qt::NoModifier;
    }

signals:
    // An item changed: selection, focus, text or image. When the selection
    // moves, first the item that lost it, then the one that gained it.
    void itemChanged(int row);
    void mouseReleased(QMouseEvent *event);
    void keyReleased(QKeyEvent *event);
    // A double-click on an item, or Enter in the list.
    void doubleClicked();
    // The left button, pressed on an item without Shift or Ctrl, moved
    // beyond the drag distance: a drag of the selection begins.
    void dragStarted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onCurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    void onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);

    FileListModel *m_model = nullptr;
    ThumbnailGridView *m_icons = nullptr;
    FileReportView *m_report = nullptr;
    QString m_hint;
    int m_pressedKey = 0;
    Qt::KeyboardModifiers m_pressModifiers;
};

} // namespace pelandor
