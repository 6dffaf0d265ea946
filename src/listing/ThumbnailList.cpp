#include "listing/ThumbnailList.h"

#include <cstring>

#include "listing/ThumbnailCell.h"

namespace pelandor {

namespace {

bool sameBytes(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.format() != b.format() || a.devicePixelRatio() != b.devicePixelRatio())
        return false;
    const size_t row = size_t(a.width()) * size_t(a.depth() / 8);
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), row) != 0)
            return false;
    }
    return true;
}

} // namespace

ThumbnailList::ThumbnailList(QObject *parent)
    : QObject(parent)
{
}

void ThumbnailList::setBudget(qint64 bytes)
{
    m_budget = bytes > 0 ? bytes : 0;
    trim(-1);
}

int ThumbnailList::addSource(Source source, Warm warm)
{
    m_sources.push_back(std::move(source));
    m_warms.push_back(std::move(warm));
    return int(m_sources.size()) - 1;
}

void ThumbnailList::prefetch(int index) const
{
    if (index < 0 || index >= int(m_slots.size()))
        return;
    const Slot &slot = m_slots[size_t(index)];
    if (slot.cell.isNull() && slot.source >= 0 && m_warms[size_t(slot.source)])
        m_warms[size_t(slot.source)](slot.path);
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

void ThumbnailList::hold(int index, const QImage &cell) const
{
    Slot &slot = m_slots[size_t(index)];
    // White cells (every failed decode) share one image and cost nothing.
    if (m_blank.isNull() || m_blank.devicePixelRatio() != cell.devicePixelRatio())
        m_blank = ThumbnailCell::blank(cell.devicePixelRatio());
    if (sameBytes(cell, m_blank)) {
        slot.cell = m_blank;
        slot.counted = false;
        return;
    }
    slot.cell = cell;
    slot.counted = true;
    m_held += cell.sizeInBytes();
    if (slot.source >= 0)
        touch(index);
}

void ThumbnailList::unlink(int index) const
{
    Slot &slot = m_slots[size_t(index)];
    if (!slot.listed)
        return;
    (slot.newer >= 0 ? m_slots[size_t(slot.newer)].older : m_newest) = slot.older;
    (slot.older >= 0 ? m_slots[size_t(slot.older)].newer : m_oldest) = slot.newer;
    slot.newer = slot.older = -1;
    slot.listed = false;
}

void ThumbnailList::touch(int index) const
{
    unlink(index);
    Slot &slot = m_slots[size_t(index)];
    slot.older = m_newest;
    if (m_newest >= 0)
        m_slots[size_t(m_newest)].newer = index;
    m_newest = index;
    if (m_oldest < 0)
        m_oldest = index;
    slot.listed = true;
}

void ThumbnailList::trim(int keep) const
{
    int candidate = m_oldest;
    while (m_held > m_budget && candidate >= 0) {
        const int next = m_slots[size_t(candidate)].newer;
        if (candidate != keep) {
            Slot &slot = m_slots[size_t(candidate)];
            m_held -= slot.cell.sizeInBytes();
            slot.cell = QImage();
            slot.counted = false;
            unlink(candidate);
        }
        candidate = next;
    }
}

int ThumbnailList::add(const QImage &cell, int source, const QString &path)
{
    Slot slot;
    slot.source = source >= 0 && source < int(m_sources.size()) ? source : -1;
    if (slot.source >= 0)
        slot.path = path;
    m_slots.push_back(std::move(slot));
    const int index = int(m_slots.size()) - 1;
    hold(index, normalized(cell));
    trim(index);
    return index;
}

void ThumbnailList::replace(int index, const QImage &cell, int source, const QString &path)
{
    if (index < 0 || index >= int(m_slots.size()))
        return;
    Slot &slot = m_slots[size_t(index)];
    unlink(index);
    if (slot.counted)
        m_held -= slot.cell.sizeInBytes();
    slot.cell = QImage();
    slot.counted = false;
    slot.source = source >= 0 && source < int(m_sources.size()) ? source : -1;
    slot.path = slot.source >= 0 ? path : QString();
    hold(index, normalized(cell));
    trim(index);
    emit cellReplaced(index);
}

int ThumbnailList::addFromSource(int source, const QString &path)
{
    if (source < 0 || source >= int(m_sources.size()))
        return add(QImage());
    Slot slot;
    slot.source = source;
    slot.path = path;
    m_slots.push_back(std::move(slot));
    return int(m_slots.size()) - 1;
}

void ThumbnailList::replaceFromSource(int index, int source, const QString &path)
{
    if (index < 0 || index >= int(m_slots.size()))
        return;
    if (source < 0 || source >= int(m_sources.size())) {
        replace(index, QImage());
        return;
    }
    Slot &slot = m_slots[size_t(index)];
    unlink(index);
    if (slot.counted)
        m_held -= slot.cell.sizeInBytes();
    slot.cell = QImage();
    slot.counted = false;
    slot.source = source;
    slot.path = path;
    emit cellReplaced(index);
}

QImage ThumbnailList::cell(int index) const
{
    if (index < 0 || index >= int(m_slots.size()))
        return QImage();
    Slot &slot = m_slots[size_t(index)];
    if (slot.cell.isNull() && slot.source >= 0) {
        hold(index, normalized(m_sources[size_t(slot.source)](slot.path)));
        trim(index);
    } else if (slot.listed) {
        touch(index);
    }
    return slot.cell;
}

bool ThumbnailList::isHeld(int index) const
{
    return index >= 0 && index < int(m_slots.size()) && !m_slots[size_t(index)].cell.isNull();
}

void ThumbnailList::clear()
{
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_sources.clear();
    m_warms.clear();
    m_held = 0;
    m_newest = m_oldest = -1;
    emit cleared();
}

} // namespace pelandor
