// The volume combo above the folder tree: a drop-down list of the mounted
// volumes, each drawn with a small icon and its display name. Drive holds the
// chosen volume's root path (empty for none); a pick by the user sets Drive
// first and then emits changed(). Setting Drive by program emits nothing.
//
// Window creation: the first time the combo is shown it re-reads the volumes
// present at that moment, emits changed() once while Drive stays as it was
// (the host compares Drive with its own state and sees no change), then
// selects the entry of Drive. The host connects changed() before showing the
// window and needs to do nothing else for this.
//
// Volumes mounted or unmounted later come and go in the list by themselves;
// Drive and its entry stay (a volume that went away keeps its root in Drive,
// with no entry selected, until the user picks another).
#pragma once

#include <QComboBox>

#include "platform/VolumeList.h"

namespace pelandor {

class TDriveComboEx : public QComboBox {
    Q_OBJECT

public:
    // Icons are drawn this big.
    static constexpr int IconSize = 16;
    // Where the icon and the text of an entry start.
    static constexpr int IconLeft = 6;
    static constexpr int TextLeft = IconLeft + IconSize + 4;

    // Starts on the volume that holds the current directory.
    explicit TDriveComboEx(QWidget *parent = nullptr);

    QString Drive() const;
    // Stores the root (cleaned) and selects its entry. With an entry selected,
    // the root already held changes nothing. The empty text selects no entry.
    // A root without an entry is stored; the selection stays as it was.
    void SetDrive(const QString &root);

    // Fills the list with the volumes mounted now, or with the given ones.
    void BuildList();
    void BuildList(const VolumeList &volumes);

    // Item height from the font: never below the icon's 16 pixels.
    void ChangeItemHeight();
    int itemHeight() const { return m_itemHeight; }
    // fontHeight as a font height in the classic sense: negative for the
    // character height, positive for the cell height; only its size counts.
    static int itemHeightFor(int fontHeight);

    // Geometry of one entry drawn in itemRect of a list of itemHeight rows.
    // The icon's left edge is absolute, not relative to the rectangle.
    static QRect iconRect(const QRect &itemRect, int itemHeight);
    static QRect textRect(const QRect &itemRect);

    // Draws entry index into rect: background, icon, text.
    void DrawItem(QPainter *painter, int index, const QRect &rect, bool selected) const;

signals:
    // The user picked an entry; Drive already holds its volume.
    void changed();

protected:
    // A user pick: takes the entry's volume into Drive.
    void Click();

    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString m_drive;
    int m_itemHeight = IconSize;
    bool m_created = false;
};

} // namespace pelandor
