#include "shell/DriveItemDelegate.h"

#include <QPainter>

#include "shell/TDriveComboEx.h"

namespace pelandor {

DriveItemDelegate::DriveItemDelegate(TDriveComboEx *combo)
    : QAbstractItemDelegate(combo)
    , m_combo(combo)
{
}

void DriveItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    m_combo->DrawItem(painter, index.row(), option.rect, option.state & QStyle::State_Selected);
}

QSize DriveItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int textWidth = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
    return QSize(TDriveComboEx::TextLeft + textWidth + 4, m_combo->itemHeight());
}

} // namespace pelandor
