#include "listing/ReportItemDelegate.h"

namespace pelandor {

void ReportItemDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->features &= ~QStyleOptionViewItem::HasDecoration;
    option->icon = QIcon();
    option->decorationSize = QSize(0, 0);
}

} // namespace pelandor
