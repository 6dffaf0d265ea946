#include "listing/ItemComparison.h"

#include <QCoreApplication>
#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <thread>
#include <utility>

#include "listing/ItemTexts.h"
#include "platform/TextCollator.h"

namespace pelandor {

QString sortText(const FileListItem &item, int k)
{
    const int key = std::abs(k);
    if (key <= 1)
        return item.caption;
    return subItemText(item, key - 2);
}

int CompareItemTexts(const FileListItem &a, const FileListItem &b, int k, const TextCollator &collator)
{
    const int result = collator.compare(sortText(a, k), sortText(b, k));
    return k < 0 ? -result : result;
}

int CompareItemNumbers(const FileListItem &a, const FileListItem &b, int k)
{
    const qint64 x = sortText(a, k).toLongLong();
    const qint64 y = sortText(b, k).toLongLong();
    const int result = (x > y) - (x < y);
    return k < 0 ? -result : result;
}

int compareItems(const FileListItem &a, const FileListItem &b, int k, const TextCollator &collator)
{
    if (std::abs(k) == int(SortKey::Size))
        return CompareItemNumbers(a, b, k);
    return CompareItemTexts(a, b, k, collator);
}

namespace {

// Ranks (0, 1, ...) of texts in collation order, equal for texts that
// compare equal; for the few distinct texts of a column.
std::vector<qint64> ranksOf(const std::vector<QString> &texts, const TextCollator &collator)
{
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return collator.compare(texts[size_t(a)], texts[size_t(b)]) < 0; });
    std::vector<qint64> rankOf(texts.size());
    qint64 rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && collator.compare(texts[size_t(order[i - 1])], texts[size_t(order[i])]) != 0)
            ++rank;
        rankOf[size_t(order[i])] = rank;
    }
    return rankOf;
}

// Each row's text (made by textOf) as its rank among the distinct texts.
void textRanks(int count, const std::function<QString(int)> &textOf, const TextCollator &collator,
               std::vector<qint64> &keys)
{
    QHash<QString, int> idOf;
    std::vector<QString> distinct;
    std::vector<int> idOfRow(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        const QString text = textOf(row);
        auto it = idOf.constFind(text);
        if (it == idOf.constEnd()) {
            it = idOf.insert(text, int(distinct.size()));
            distinct.push_back(text);
        }
        idOfRow[size_t(row)] = it.value();
    }
    const std::vector<qint64> rankOf = ranksOf(distinct, collator);
    for (int row = 0; row < count; ++row)
        keys[size_t(row)] = rankOf[size_t(idOfRow[size_t(row)])];
}

// The type column: rows share a handful of type texts, known by index.
void typeRanks(int count, const std::function<const FileListItem &(int)> &itemOf, const TextCollator &collator,
               std::vector<qint64> &keys)
{
    QHash<int, int> idOf; // type index (-1: empty text) -> distinct id
    std::vector<QString> distinct;
    std::vector<int> idOfRow(static_cast<size_t>(count));
    int lastIndex = -2;
    int lastId = -1;
    for (int row = 0; row < count; ++row) {
        const FileListItem &item = itemOf(row);
        const int index = item.detailed ? item.typeIndex : -1;
        if (index != lastIndex) {
            auto it = idOf.constFind(index);
            if (it == idOf.constEnd()) {
                it = idOf.insert(index, int(distinct.size()));
                distinct.push_back(typeTextOf(index));
            }
            lastIndex = index;
            lastId = it.value();
        }
        idOfRow[size_t(row)] = lastId;
    }
    const std::vector<qint64> rankOf = ranksOf(distinct, collator);
    for (int row = 0; row < count; ++row)
        keys[size_t(row)] = rankOf[size_t(idOfRow[size_t(row)])];
}

} // namespace

// Rows from which the name keys are sorted on two threads.
constexpr size_t ParallelSortRows = 20000;

namespace {

// A name key as the sort reads it: the eight bytes after the part all the
// keys share, as one number that orders as those bytes do (zeros past a
// key's end), and the key itself for the few compares those bytes leave
// even. Most compares read only this entry, not two keys far apart in
// memory.
struct PackedKey {
    quint64 head;
    const QByteArray *key;
    int row;
};

// How many first bytes all the keys share.
qsizetype sharedLength(const std::vector<PackedKey> &keys)
{
    if (keys.empty())
        return 0;
    const QByteArray &first = *keys.front().key;
    qsizetype shared = first.size();
    for (const PackedKey &k : keys) {
        const QByteArray &key = *k.key;
        qsizetype i = 0;
        const qsizetype limit = std::min(shared, key.size());
        while (i < limit && key[i] == first[i])
            ++i;
        shared = i;
        if (shared == 0)
            break;
    }
    return shared;
}

quint64 headOf(const QByteArray &key, qsizetype from)
{
    quint64 head = 0;
    for (qsizetype i = from; i < from + 8; ++i)
        head = (head << 8) | (i < key.size() ? quint64(uchar(key[i])) : 0);
    return head;
}

} // namespace

// The rows sorted by the name keys kept with them, rows of equal keys settled
// by comparing their names (see TextCollator::key()), then ranked.
std::vector<qint64> nameRanks(int count, const std::function<const FileListItem &(int)> &itemOf,
                              const std::function<const QByteArray &(int)> &nameKeyOf,
                              const TextCollator &collator)
{
    count = std::max(count, 0);
    std::vector<qint64> keys(static_cast<size_t>(count));
    std::vector<PackedKey> rows(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row)
        rows[size_t(row)] = {0, &nameKeyOf(row), row};
    // The bytes every key begins with decide nothing: the head is taken after them.
    const qsizetype shared = sharedLength(rows);
    for (PackedKey &k : rows)
        k.head = headOf(*k.key, shared);
    const auto compareKeys = [](const PackedKey &a, const PackedKey &b) {
        if (a.head != b.head)
            return a.head < b.head ? -1 : 1;
        return TextCollator::compareKeys(*a.key, *b.key);
    };
    const auto byKey = [&compareKeys](const PackedKey &a, const PackedKey &b) {
        const int c = compareKeys(a, b);
        return c != 0 ? c < 0 : a.row < b.row;
    };
    // A large list is sorted in two halves at once, one on a thread of its
    // own, and merged. The keys are only read meanwhile.
    if (rows.size() >= ParallelSortRows && std::thread::hardware_concurrency() > 1) {
        const auto middle = rows.begin() + std::ptrdiff_t(rows.size() / 2);
        std::thread firstHalf([&] { std::sort(rows.begin(), middle, byKey); });
        std::sort(middle, rows.end(), byKey);
        firstHalf.join();
        std::inplace_merge(rows.begin(), middle, rows.end(), byKey);
    } else {
        std::sort(rows.begin(), rows.end(), byKey);
    }
    qint64 rank = 0;
    for (size_t first = 0; first < rows.size();) {
        size_t last = first + 1;
        while (last < rows.size() && compareKeys(rows[first], rows[last]) == 0)
            ++last;
        if (last - first > 1)
            std::stable_sort(rows.begin() + qsizetype(first), rows.begin() + qsizetype(last),
                             [&](const auto &a, const auto &b) {
                                 return collator.compare(itemOf(a.row).caption, itemOf(b.row).caption) < 0;
                             });
        for (size_t i = first; i < last; ++i) {
            if (i > first && collator.compare(itemOf(rows[i - 1].row).caption, itemOf(rows[i].row).caption) != 0)
                ++rank;
            keys[size_t(rows[i].row)] = rank;
        }
        ++rank;
        first = last;
    }
    return keys;
}

std::vector<int> sortedRows(int count, const std::function<const FileListItem &(int)> &itemOf,
                            const std::function<const QByteArray &(int)> &nameKeyOf, int k,
                            const TextCollator &collator)
{
    count = std::max(count, 0);
    std::vector<qint64> keys(static_cast<size_t>(count));
    switch (std::abs(k)) {
    case int(SortKey::Name):
        keys = nameRanks(count, itemOf, nameKeyOf, collator);
        break;
    case int(SortKey::Type):
        typeRanks(count, itemOf, collator, keys);
        break;
    case int(SortKey::Size):
        // An item without details has an empty size text, which counts as 0.
        for (int row = 0; row < count; ++row) {
            const FileListItem &item = itemOf(row);
            keys[size_t(row)] = item.detailed ? item.size : 0;
        }
        break;
    case int(SortKey::Date):
        // Every date text has the same two-digit fields and separators, so
        // the texts collate in the order of the number their digits spell;
        // an empty one (-1) collates first.
        for (int row = 0; row < count; ++row) {
            const FileListItem &item = itemOf(row);
            keys[size_t(row)] = item.detailed ? item.date : -1;
        }
        break;
    default:
        textRanks(count, [&](int row) { return sortText(itemOf(row), k); }, collator, keys);
        break;
    }

    return rowsOrderedByKeys(keys, k < 0);
}

std::vector<int> rowsOrderedByKeys(const std::vector<qint64> &keys, bool descending)
{
    const int count = int(keys.size());
    std::vector<std::pair<qint64, int>> rows(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row)
        rows[size_t(row)] = {keys[size_t(row)], row};
    // Equal keys keep their present order in either direction (a stable sort).
    if (descending)
        std::sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
    else
        std::sort(rows.begin(), rows.end());

    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[size_t(i)] = rows[size_t(i)].second;
    return order;
}

QString sortKeyHint(SortKey key)
{
    switch (key) {
    case SortKey::Name:
        return QCoreApplication::translate("ItemComparison", "名前順");
    case SortKey::Type:
        return QCoreApplication::translate("ItemComparison", "種類順");
    case SortKey::Size:
        return QCoreApplication::translate("ItemComparison", "サイズ順");
    case SortKey::Date:
        return QCoreApplication::translate("ItemComparison", "日時順");
    }
    return QString();
}

} // namespace pelandor
