#include "listing/ItemComparison.h"

#include <QCoreApplication>
#include <cstdlib>

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
