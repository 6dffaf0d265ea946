// Draws the report view's cells as text only: the thumbnails the model
// offers as decoration belong to the icon view.
#pragma once

#include <QStyledItemDelegate>

namespace pelandor {

class ReportItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace pelandor
