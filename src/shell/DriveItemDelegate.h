// Draws the entries of the volume combo's drop-down list the way the combo
// draws its closed field, and gives every entry the combo's item height.
#pragma once

#include <QAbstractItemDelegate>

namespace pelandor {

class TDriveComboEx;

class DriveItemDelegate : public QAbstractItemDelegate {
    Q_OBJECT

public:
    explicit DriveItemDelegate(TDriveComboEx *combo);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    TDriveComboEx *m_combo;
};

} // namespace pelandor
