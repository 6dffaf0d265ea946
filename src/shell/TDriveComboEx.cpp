#include "shell/TDriveComboEx.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFontInfo>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "shell/DriveItemDelegate.h"
#include "shell/MountWatcher.h"

namespace pelandor {

namespace {

constexpr int RootRole = Qt::UserRole;

} // namespace

TDriveComboEx::TDriveComboEx(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(false);
    setItemDelegate(new DriveItemDelegate(this));
    setIconSize(QSize(IconSize, IconSize));

    const VolumeList volumes = VolumeList::current();
    m_drive = volumes.volumeOf(QDir::currentPath());
    ChangeItemHeight();
    BuildList(volumes);
    SetDrive(m_drive);

    // Keyboard, wheel and list picks all arrive here after the combo's text
    // shows the picked entry.
    connect(this, &QComboBox::activated, this, [this] {
        Click();
        emit changed();
    });

    // A new list keeps the chosen volume: Drive is set anew after it.
    auto *mounts = new MountWatcher(this);
    connect(mounts, &MountWatcher::changed, this, [this] {
        const QString drive = m_drive;
        BuildList();
        m_drive.clear();
        SetDrive(drive);
    });
}

QString TDriveComboEx::Drive() const
{
    return m_drive;
}

void TDriveComboEx::SetDrive(const QString &root)
{
    const QString drive = VolumeList::normalizedPath(root);
    if (currentIndex() >= 0 && drive == m_drive)
        return;
    m_drive = drive;
    if (drive.isEmpty()) {
        setCurrentIndex(-1);
        return;
    }
    const int index = findData(drive, RootRole);
    if (index >= 0)
        setCurrentIndex(index);
}

void TDriveComboEx::BuildList()
{
    BuildList(VolumeList::current());
}

void TDriveComboEx::BuildList(const VolumeList &volumes)
{
    clear();
    const QIcon icon = QFileIconProvider().icon(QAbstractFileIconProvider::Drive);
    for (const VolumeList::Volume &volume : volumes.volumes())
        addItem(icon, volume.displayName(), volume.rootPath);
    // Adding to an empty combo selects the first entry; a new list has none
    // until SetDrive picks one.
    setCurrentIndex(-1);
}

void TDriveComboEx::ChangeItemHeight()
{
    const QFont f = font();
    const int pixels = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    m_itemHeight = itemHeightFor(-pixels);
    if (view())
        view()->doItemsLayout();
}

int TDriveComboEx::itemHeightFor(int fontHeight)
{
    const int h = fontHeight < 0 ? -fontHeight : fontHeight;
    return h <= IconSize ? IconSize : h;
}

QRect TDriveComboEx::iconRect(const QRect &itemRect, int itemHeight)
{
    // Integer division truncates toward zero, as the placement rule wants.
    return QRect(IconLeft, itemRect.top() + (itemHeight - IconSize) / 2, IconSize, IconSize);
}

QRect TDriveComboEx::textRect(const QRect &itemRect)
{
    return QRect(QPoint(TextLeft, itemRect.top()), itemRect.bottomRight());
}

void TDriveComboEx::DrawItem(QPainter *painter, int index, const QRect &rect, bool selected) const
{
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Normal : QPalette::Disabled;
    const QPalette pal = palette();
    const QIcon icon = itemIcon(index);
    if (icon.isNull())
        QApplication::beep();

    painter->save();
    painter->fillRect(rect, pal.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    if (!icon.isNull())
        icon.paint(painter, iconRect(rect, m_itemHeight), Qt::AlignCenter,
                   isEnabled() ? QIcon::Normal : QIcon::Disabled);
    painter->setPen(pal.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(textRect(rect), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, itemText(index));
    painter->restore();
}

void TDriveComboEx::Click()
{
    if (currentIndex() >= 0)
        SetDrive(itemData(currentIndex(), RootRole).toString());
}

void TDriveComboEx::showEvent(QShowEvent *event)
{
    if (!m_created) {
        m_created = true;
        BuildList();
        emit changed();
        SetDrive(m_drive);
    }
    QComboBox::showEvent(event);
}

void TDriveComboEx::paintEvent(QPaintEvent *)
{
    // The frame and arrow come from the style; the field shows the selected
    // entry drawn like the entries of the list.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0)
        return;
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    DrawItem(&painter, currentIndex(), field, hasFocus());
}

void TDriveComboEx::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        ChangeItemHeight();
    QComboBox::changeEvent(event);
}

} // namespace pelandor
