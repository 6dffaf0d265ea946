#include "listing/ThumbnailList.h"

#include "listing/ThumbnailCell.h"

namespace pelandor {

ThumbnailList::ThumbnailList(QObject *parent)
    : QObject(parent)
{
}

QImage ThumbnailList::normalized(const QImage &cell) const
{
    if (cell.isNull())
        return ThumbnailCell::blank(m_ratio);
    const int side = ThumbnailCell::pixelSize(m_ratio);
    if (cell.width() != side || cell.height() != side)
        return ThumbnailCell::compose(cell, m_ratio);
    QImage stored = cell.format() != ThumbnailCell::Format ? cell.convertToFormat(ThumbnailCell::Format) : cell;
    if (stored.devicePixelRatio() != m_ratio)
        stored.setDevicePixelRatio(m_ratio);
    return stored;
}

int ThumbnailList::add(const QImage &cell)
{
    m_cells.append(normalized(cell));
    return int(m_cells.size()) - 1;
}

void ThumbnailList::replace(int index, const QImage &cell)
{
    if (index < 0 || index >= m_cells.size())
        return;
    m_cells[index] = normalized(cell);
    emit cellReplaced(index);
}

QImage ThumbnailList::cell(int index) const
{
    if (index < 0 || index >= m_cells.size())
        return QImage();
    return m_cells[index];
}

void ThumbnailList::clear()
{
    m_cells.clear();
    emit cleared();
}

} // namespace pelandor
