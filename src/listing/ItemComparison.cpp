#include "listing/ItemComparison.h"

#include <QCollatorSortKey>
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

// The rows sorted by the name keys kept with them, rows of equal keys settled
// by comparing their names (see TextCollator::key()), then ranked.
std::vector<qint64> nameRanks(int count, const std::function<const FileListItem &(int)> &itemOf,
                              const std::function<const QCollatorSortKey &(int)> &nameKeyOf,
                              const TextCollator &collator)
{
    count = std::max(count, 0);
    std::vector<qint64> keys(static_cast<size_t>(count));
    std::vector<std::pair<const QCollatorSortKey *, int>> rows(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row)
        rows[size_t(row)] = {&nameKeyOf(row), row};
    const auto byKey = [](const auto &a, const auto &b) {
        const int c = a.first->compare(*b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    };
    // Comparing keys is the whole cost (each compare reaches two keys far
    // apart in memory): a large list is sorted in two halves at once, one on
    // a thread of its own, and merged. The keys are only read meanwhile.
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
        while (last < rows.size() && rows[first].first->compare(*rows[last].first) == 0)
            ++last;
        if (last - first > 1)
            std::stable_sort(rows.begin() + qsizetype(first), rows.begin() + qsizetype(last),
                             [&](const auto &a, const auto &b) {
                                 return collator.compare(itemOf(a.second).caption, itemOf(b.second).caption) < 0;
                             });
        for (size_t i = first; i < last; ++i) {
            if (i > first
                && collator.compare(itemOf(rows[i - 1].second).caption, itemOf(rows[i].second).caption) != 0)
                ++rank;
            keys[size_t(rows[i].second)] = rank;
        }
        ++rank;
        first = last;
    }
    return keys;
}

std::vector<int> sortedRows(int count, const std::function<const FileListItem &(int)> &itemOf,
                            const std::function<const QCollatorSortKey &(int)> &nameKeyOf, int k,
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
