// The report view of the file list: six columns, whole rows selected, with
// the list's press rule (ItemPressGesture) for keeping the selection and
// starting drags.
#pragma once

#include <QTreeView>

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

private:
    ItemPressGesture *m_gesture;
};

} // namespace pelandor
