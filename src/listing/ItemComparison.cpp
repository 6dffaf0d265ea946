#include "listing/ItemComparison.h"

#include <QCollatorSortKey>
#include <QCoreApplication>
#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/TextCollator.h"

namespace pelandor {

const QString &sortText(const FileListItem &item, int k)
{
    static const QString empty;
    const int key = std::abs(k);
    if (key <= 1)
        return item.caption;
    const int sub = key - 2;
    return sub < FileListItem::SubItemCount ? item.subItems[size_t(sub)] : empty;
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

// A date text is two-digit fields with one separator between each: "yy/MM/dd
// hh:mm". Fixed-width digit fields with the same separators collate in the
// order of the number the digits spell.
constexpr qsizetype DateTextLength = 14;

bool isDateDigit(qsizetype i)
{
    return i % 3 != 2;
}

// The dates as numbers (empty text: -1, before every date, as it collates
// first); false when a text is not a date or its separators differ from the
// others', so that the texts' collation must decide.
bool dateKeys(int count, const std::function<const QString &(int)> &textOf, std::vector<qint64> &keys)
{
    const QChar *separators = nullptr; // the first date's, compared in place
    QString first;                     // keeps them alive
    for (int row = 0; row < count; ++row) {
        const QString &text = textOf(row);
        if (text.isEmpty()) {
            keys[size_t(row)] = -1;
            continue;
        }
        if (text.size() != DateTextLength)
            return false;
        if (!separators) {
            first = text;
            separators = first.constData();
        }
        const QChar *chars = text.constData();
        qint64 value = 0;
        for (qsizetype i = 0; i < DateTextLength; ++i) {
            const char16_t c = chars[i].unicode();
            const bool digit = c >= u'0' && c <= u'9';
            if (digit != isDateDigit(i) || (!digit && chars[i] != separators[i]))
                return false;
            if (digit)
                value = value * 10 + (c - u'0');
        }
        keys[size_t(row)] = value;
    }
    return true;
}

// QString::toLongLong() of the text, with a short way for the plain digits
// of a file size.
qint64 numberOf(const QString &text)
{
    const qsizetype n = text.size();
    if (n == 0 || n > 18)
        return text.toLongLong();
    qint64 value = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return text.toLongLong();
        value = value * 10 + (c - u'0');
    }
    return value;
}

// Each row's text as its rank among the distinct texts in the collator's
// order (equal ranks for texts that compare equal). Only distinct texts get a
// collation key, so a column of a few types costs a few keys.
// Names are nearly all different: they skip the search for repeats.
void collationRanks(int count, const std::function<const QString &(int)> &textOf, const TextCollator &collator,
                    bool repeats, std::vector<qint64> &keys)
{
    QHash<QString, int> idOf;
    std::vector<QString> distinct;
    std::vector<int> idOfRow(static_cast<size_t>(count));
    distinct.reserve(repeats ? 0 : size_t(count));
    for (int row = 0; row < count; ++row) {
        const QString &text = textOf(row);
        if (!repeats) {
            idOfRow[size_t(row)] = int(distinct.size());
            distinct.push_back(text);
            continue;
        }
        auto it = idOf.constFind(text);
        if (it == idOf.constEnd()) {
            it = idOf.insert(text, int(distinct.size()));
            distinct.push_back(text);
        }
        idOfRow[size_t(row)] = it.value();
    }

    std::vector<QCollatorSortKey> caseless;
    caseless.reserve(distinct.size());
    for (const QString &text : distinct)
        caseless.push_back(collator.keyIgnoringCase(text));
    std::vector<int> order(distinct.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return caseless[size_t(a)].compare(caseless[size_t(b)]) < 0; });

    // Texts equal but for case: letter case decides, as in TextCollator::compare.
    std::vector<qint64> rankOf(distinct.size());
    qint64 rank = 0;
    for (size_t first = 0; first < order.size();) {
        size_t last = first + 1;
        while (last < order.size() && caseless[size_t(order[first])].compare(caseless[size_t(order[last])]) == 0)
            ++last;
        if (last - first > 1)
            std::sort(order.begin() + qsizetype(first), order.begin() + qsizetype(last), [&](int a, int b) {
                return collator.compare(distinct[size_t(a)], distinct[size_t(b)]) < 0;
            });
        for (size_t i = first; i < last; ++i) {
            if (i > first && collator.compare(distinct[size_t(order[i - 1])], distinct[size_t(order[i])]) != 0)
                ++rank;
            rankOf[size_t(order[i])] = rank;
        }
        ++rank;
        first = last;
    }
    for (int row = 0; row < count; ++row)
        keys[size_t(row)] = rankOf[size_t(idOfRow[size_t(row)])];
}

} // namespace

std::vector<int> sortedRows(int count, const std::function<const QString &(int)> &textOf, int k,
                            const TextCollator &collator)
{
    count = std::max(count, 0);
    std::vector<qint64> keys(static_cast<size_t>(count));
    const int key = std::abs(k);
    if (key == int(SortKey::Size)) {
        for (int row = 0; row < count; ++row)
            keys[size_t(row)] = numberOf(textOf(row));
    } else if (key != int(SortKey::Date) || !dateKeys(count, textOf, keys)) {
        collationRanks(count, textOf, collator, key != int(SortKey::Name), keys);
    }

    std::vector<std::pair<qint64, int>> rows(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row)
        rows[size_t(row)] = {keys[size_t(row)], row};
    // Equal keys keep their present order in either direction (a stable sort).
    if (k < 0)
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
