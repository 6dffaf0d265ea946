// The report view of the file list: six columns, whole rows selected, with
// the list's press rule (ItemPressGesture) for keeping the selection and
// starting drags. A reading adds and completes a row for every file: rows
// out of sight neither repaint the view nor lay out all rows again at once
// (the tree view does both for every row, which cost milliseconds a file in
// a folder of thousands); they are laid out a few times a second.
#pragma once

#include <QTreeView>

#include <utility>

class QTimer;

namespace pelandor {

class ItemPressGesture;

class FileReportView : public QTreeView {
    Q_OBJECT

public:
    explicit FileReportView(QWidget *parent = nullptr);

    ItemPressGesture *pressGesture() const { return m_gesture; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;

private:
    // The rows laid out and shown, from the top of the viewport to its
    // bottom (the last one may be partly hidden); {0, -1} when none.
    std::pair<int, int> shownRows() const;

    ItemPressGesture *m_gesture;
    QTimer *m_layoutTimer;
};

} // namespace pelandor
