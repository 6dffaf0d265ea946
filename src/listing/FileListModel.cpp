#include "listing/FileListModel.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <vector>

#include "listing/ItemComparison.h"
#include "listing/ItemTexts.h"
#include "listing/ThumbnailList.h"
#include "platform/NativeName.h"

namespace pelandor {

namespace {
struct ColumnInfo {
    const char *caption;
    int width;
    bool right;
};
const ColumnInfo kColumns[FileListModel::ColumnCount] = {
    {QT_TRANSLATE_NOOP("pelandor::FileListModel", "ﾌｧｲﾙ名"), 95, false},
    {QT_TRANSLATE_NOOP("pelandor::FileListModel", "ﾌｧｲﾙの種類"), 95, false},
    {QT_TRANSLATE_NOOP("pelandor::FileListModel", "ﾌｧｲﾙｻｲｽﾞ"), 66, true},
    {QT_TRANSLATE_NOOP("pelandor::FileListModel", "ﾌｧｲﾙ日時"), 90, false},
    {QT_TRANSLATE_NOOP("pelandor::FileListModel", "画像ｻｲｽﾞ"), 70, true},
    {QT_TRANSLATE_NOOP("pelandor::FileListModel", "色数"), 60, true},
};
} // namespace

FileListModel::FileListModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_thumbnails(new ThumbnailList(this))
{
    connect(m_thumbnails, &ThumbnailList::cellReplaced, this, &FileListModel::onCellReplaced);
    connect(m_thumbnails, &ThumbnailList::cleared, this, &FileListModel::onThumbnailsCleared);
}

QString FileListModel::placeholderCaption()
{
    return tr("読み込み中");
}

QString FileListModel::columnCaption(int column)
{
    return column >= 0 && column < ColumnCount ? tr(kColumns[column].caption) : QString();
}

int FileListModel::columnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? kColumns[column].width : 0;
}

Qt::Alignment FileListModel::columnAlignment(int column)
{
    const bool right = column >= 0 && column < ColumnCount && kColumns[column].right;
    return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= ColumnCount)
        return QVariant();
    const FileListItem &item = m_rows[index.row()].item;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (index.column() == NameColumn)
            return NativeName::display(item.caption);
        return subItemText(item, index.column() - 1);
    case Qt::TextAlignmentRole:
        return int(columnAlignment(index.column()));
    case Qt::DecorationRole:
        if (index.column() != NameColumn || item.imageIndex < 0)
            return QVariant();
        return m_thumbnails->cell(item.imageIndex);
    case ThumbnailRole:
        return m_thumbnails->cell(item.imageIndex);
    default:
        return QVariant();
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole)
        return columnCaption(section);
    if (role == Qt::TextAlignmentRole)
        return int(columnAlignment(section));
    return QVariant();
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // A placeholder is never selected, so no command takes it for a file.
    if (index.row() < m_rows.size() && m_rows[index.row()].item.placeholder)
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

bool FileListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_rows.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    for (int i = row; i < row + count; ++i)
        m_unranked -= m_rows[i].nameRank < 0;
    m_rows.remove(row, count);
    m_rowOfImageValid = false;
    endRemoveRows();
    return true;
}

void FileListModel::removeRowSet(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int count = int(m_rows.size());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [count](int row) { return row < 0 || row >= count; }),
               rows.end());
    for (size_t last = 0; last < rows.size();) {
        size_t first = last;
        while (first + 1 < rows.size() && rows[first + 1] == rows[first] - 1)
            ++first;
        removeRows(rows[first], rows[last] - rows[first] + 1);
        last = first + 1;
    }
}

QString FileListModel::caption(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].item.caption : QString();
}

FileListItem FileListModel::item(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].item : FileListItem();
}

QString FileListModel::subItem(int row, int i) const
{
    if (row < 0 || row >= m_rows.size() || i < 0 || i >= FileListItem::SubItemCount)
        return QString();
    return subItemText(m_rows[row].item, i);
}

int FileListModel::imageIndex(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].item.imageIndex : -1;
}

int FileListModel::appendItem(const FileListItem &item)
{
    const int row = int(m_rows.size());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.append(rowOf(item));
    ++m_unranked;
    if (m_rowOfImageValid)
        noteImageRow(item.imageIndex, row);
    endInsertRows();
    return row;
}

int FileListModel::appendPlaceholder()
{
    FileListItem item;
    item.caption = placeholderCaption();
    item.placeholder = true;
    return appendItem(item);
}

void FileListModel::setItem(int row, const FileListItem &item)
{
    if (row < 0 || row >= m_rows.size())
        return;
    if (m_rows[row].nameRank >= 0)
        ++m_unranked;
    // A row being read gets its cell here: the table follows it, so that
    // refilled rows between new ones never make it again.
    const int oldImage = m_rows[row].item.imageIndex;
    if (m_rowOfImageValid && oldImage != item.imageIndex) {
        if (oldImage >= 0 && size_t(oldImage) < m_rowOfImage.size() && m_rowOfImage[size_t(oldImage)] == row)
            m_rowOfImage[size_t(oldImage)] = -1;
        noteImageRow(item.imageIndex, row);
    }
    m_rows[row] = rowOf(item);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void FileListModel::setCaption(int row, const QString &caption)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].item.caption = caption;
    m_rows[row].nameKey = m_collator.key(caption);
    if (m_rows[row].nameRank >= 0)
        ++m_unranked;
    m_rows[row].nameRank = -1;
    emit dataChanged(index(row, NameColumn), index(row, NameColumn), {Qt::DisplayRole, Qt::ToolTipRole});
}

void FileListModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    m_unranked = 0;
    m_rowOfImageValid = false;
    endResetModel();
}

int FileListModel::compareNames(const Row &a, const Row &b) const
{
    const int byKey = TextCollator::compareKeys(a.nameKey, b.nameKey);
    return byKey != 0 ? byKey : m_collator.compare(a.item.caption, b.item.caption);
}

// Ranking the names is the one costly step of a sort: the ranks are kept,
// and rows added or renamed since are placed among the ranked ones by
// binary search; when many are, all rows are ranked anew.
void FileListModel::rankNames()
{
    if (m_unranked == 0)
        return;
    const qsizetype count = m_rows.size();
    if (m_unranked * 8 > count) {
        const std::vector<qint64> ranks = nameRanks(
            int(count), [&](int row) -> const FileListItem & { return m_rows[row].item; },
            [&](int row) -> const QByteArray & { return m_rows[row].nameKey; }, m_collator);
        for (qsizetype row = 0; row < count; ++row)
            m_rows[row].nameRank = ranks[size_t(row)];
        m_unranked = 0;
        return;
    }

    // The ranked rows in name order, the others in name order by their own ranks.
    std::vector<std::pair<qint64, int>> ranked;
    std::vector<int> unranked;
    ranked.reserve(size_t(count - m_unranked));
    unranked.reserve(size_t(m_unranked));
    for (qsizetype row = 0; row < count; ++row) {
        if (m_rows[row].nameRank >= 0)
            ranked.emplace_back(m_rows[row].nameRank, int(row));
        else
            unranked.push_back(int(row));
    }
    std::sort(ranked.begin(), ranked.end());
    const std::vector<qint64> ownRanks = nameRanks(
        int(unranked.size()), [&](int i) -> const FileListItem & { return m_rows[unranked[size_t(i)]].item; },
        [&](int i) -> const QByteArray & { return m_rows[unranked[size_t(i)]].nameKey; }, m_collator);
    std::vector<std::pair<qint64, int>> added(unranked.size());
    for (size_t i = 0; i < unranked.size(); ++i)
        added[i] = {ownRanks[i], unranked[i]};
    std::sort(added.begin(), added.end());

    // Merged: each added row before the first ranked row whose name is not
    // before its own. New ranks count the changes of name along the merge:
    // between two ranked rows their old ranks tell, else the names do.
    qint64 rank = -1;
    const Row *previous = nullptr;
    bool previousRanked = false;
    qint64 previousOldRank = 0;
    auto place = [&](int row, bool wasRanked) {
        Row &current = m_rows[row];
        const qint64 oldRank = current.nameRank;
        bool same = false;
        if (previous)
            same = previousRanked && wasRanked ? previousOldRank == oldRank : compareNames(*previous, current) == 0;
        if (!same)
            ++rank;
        current.nameRank = rank;
        previous = &current;
        previousRanked = wasRanked;
        previousOldRank = oldRank;
    };
    auto next = ranked.begin();
    for (const auto &[ownRank, row] : added) {
        const Row &row_ = m_rows[row];
        const auto at = std::partition_point(next, ranked.end(), [&](const std::pair<qint64, int> &r) {
            return compareNames(m_rows[r.second], row_) < 0;
        });
        for (; next != at; ++next)
            place(next->second, true);
        place(row, false);
    }
    for (; next != ranked.end(); ++next)
        place(next->second, true);
    m_unranked = 0;
}

FileListModel::Row FileListModel::rowOf(const FileListItem &item) const
{
    // Every file being read shows the same placeholder caption first: its
    // key is made once (keys share their data when copied).
    if (item.placeholder && item.caption == placeholderCaption()) {
        if (!m_placeholderKey)
            m_placeholderKey = m_collator.key(item.caption);
        return Row{item, *m_placeholderKey};
    }
    return Row{item, m_collator.key(item.caption)};
}

void FileListModel::sortItems(int k)
{
    if (k == 0 || m_rows.size() < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    const auto itemOf = [&](int row) -> const FileListItem & { return m_rows[row].item; };
    const auto nameKeyOf = [&](int row) -> const QByteArray & { return m_rows[row].nameKey; };
    std::vector<int> order;
    if (std::abs(k) == int(SortKey::Name)) {
        rankNames();
        std::vector<qint64> keys(size_t(m_rows.size()));
        for (qsizetype row = 0; row < m_rows.size(); ++row)
            keys[size_t(row)] = m_rows[row].nameRank;
        order = rowsOrderedByKeys(keys, k < 0);
    } else {
        order = sortedRows(int(m_rows.size()), itemOf, nameKeyOf, k, m_collator);
    }

    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRowOf[size_t(order[i])] = int(i);
    // The rows are put in order where they are, cycle by cycle: a second
    // list of rows would cost fresh pages, more than the moves themselves.
    // Each step of a cycle reads the row the step before named, so the rows
    // a few steps ahead are fetched while the current one moves.
    constexpr int StepsAhead = 8;
    Row *rows = m_rows.data();
    const auto fetch = [rows](size_t row) {
        const char *bytes = reinterpret_cast<const char *>(rows + row);
        for (size_t at = 0; at < sizeof(Row); at += 64)
            __builtin_prefetch(bytes + at, 1);
    };
    for (size_t start = 0; start < order.size(); ++start) {
        if (order[start] == int(start))
            continue;
        Row held = std::move(rows[start]);
        size_t to = start;
        size_t ahead = start;
        const auto fetchNextAhead = [&] {
            if (size_t(order[ahead]) != start) {
                ahead = size_t(order[ahead]);
                fetch(ahead);
            }
        };
        for (int step = 0; step < StepsAhead; ++step)
            fetchNextAhead();
        while (size_t(order[to]) != start) {
            const size_t from = size_t(order[to]);
            fetchNextAhead();
            rows[to] = std::move(rows[from]);
            order[to] = int(to);
            to = from;
        }
        rows[to] = std::move(held);
        order[to] = int(to);
    }
    m_rowOfImageValid = false;

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &old : from)
        to.append(index(newRowOf[size_t(old.row())], old.column()));
    changePersistentIndexList(from, to);

    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FileListModel::noteImageRow(int imageIndex, int row) const
{
    if (imageIndex < 0)
        return;
    if (size_t(imageIndex) >= m_rowOfImage.size())
        m_rowOfImage.resize(size_t(imageIndex) + 1, -1);
    m_rowOfImage[size_t(imageIndex)] = row;
}

void FileListModel::onCellReplaced(int imageIndex)
{
    if (imageIndex < 0)
        return;
    if (!m_rowOfImageValid) {
        m_rowOfImage.assign(size_t(m_thumbnails->count()), -1);
        for (qsizetype row = 0; row < m_rows.size(); ++row)
            noteImageRow(m_rows[row].item.imageIndex, int(row));
        m_rowOfImageValid = true;
    }
    if (size_t(imageIndex) >= m_rowOfImage.size())
        return;
    const int row = m_rowOfImage[size_t(imageIndex)];
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::DecorationRole, ThumbnailRole});
}

void FileListModel::onThumbnailsCleared()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1),
                         {Qt::DecorationRole, ThumbnailRole});
}

} // namespace pelandor
