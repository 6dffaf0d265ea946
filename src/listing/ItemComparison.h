// Comparison of two file list items for the sort. The sort parameter k names
// the key by its absolute value (1 name, 2 type, 3 size, 4 date) and the
// direction by its sign (negative: descending).
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "listing/FileListItem.h"

namespace pelandor {

class TextCollator;

enum class SortKey { Name = 1, Type = 2, Size = 3, Date = 4 };

// The text an item is sorted by for |k|: the caption for 1, else sub-item
// |k| - 2 (subItemText()).
QString sortText(const FileListItem &item, int k);

// Locale word order of the key's texts; negated for k < 0.
int CompareItemTexts(const FileListItem &a, const FileListItem &b, int k, const TextCollator &collator);
// The key's texts read as decimal integers (64-bit), smaller first; negated
// for k < 0. A text that is not a number counts as 0.
int CompareItemNumbers(const FileListItem &a, const FileListItem &b, int k);

// The comparison the sort uses for k (numbers for the size key).
int compareItems(const FileListItem &a, const FileListItem &b, int k, const TextCollator &collator);

// The rows 0 to count - 1 in the order of a stable sort by compareItems() for
// k, where itemOf(row) is the row's item and nameKeyOf(row) the
// TextCollator::key() of its caption (asked for only when |k| is 1). Each
// row's key is taken once, without making texts: the name key kept with the
// row, the size and the date as their numbers, the type as the rank of its
// text among the few distinct type texts in collation order; the rows are
// then sorted by key and, for equal keys, by their present row.
std::vector<int> sortedRows(int count, const std::function<const FileListItem &(int)> &itemOf,
                            const std::function<const QByteArray &(int)> &nameKeyOf, int k,
                            const TextCollator &collator);

// The names' part of sortedRows(): each row's rank in the order of its name
// (equal ranks for names that compare equal).
std::vector<qint64> nameRanks(int count, const std::function<const FileListItem &(int)> &itemOf,
                              const std::function<const QByteArray &(int)> &nameKeyOf,
                              const TextCollator &collator);
// The rows sorted by their keys, smaller first or, for descending, larger
// first; rows of equal keys in their present order.
std::vector<int> rowsOrderedByKeys(const std::vector<qint64> &keys, bool descending);

// The list's tooltip naming the key ("名前順"...); empty for no key.
QString sortKeyHint(SortKey key);

} // namespace pelandor
