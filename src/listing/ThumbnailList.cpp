#include "listing/ThumbnailList.h"

#include "listing/ThumbnailCell.h"

namespace pelandor {

ThumbnailList::ThumbnailList(QObject *parent)
    : QObject(parent)
{
}

QImage ThumbnailList::normalized(const QImage &cell)
{
    if (cell.isNull())
        return ThumbnailCell::blank();
    if (cell.width() != CellWidth || cell.height() != CellHeight)
        return ThumbnailCell::compose(cell);
    if (cell.format() != ThumbnailCell::Format)
        return cell.convertToFormat(ThumbnailCell::Format);
    return cell;
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
