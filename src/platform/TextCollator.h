// Locale word order for texts shown to the user: the type list, the folder
// tree and the file list sort with it. Letter case decides only between texts
// that are otherwise equal. Under the C/POSIX locale, where Qt would fall back
// to code-point order, a real collation locale (Japanese) is used instead.
#pragma once

#include <QCollator>
#include <QString>

namespace pelandor {

class TextCollator {
public:
    TextCollator();
    // Negative, zero or positive, like strcmp: case-insensitive first, then
    // case-sensitive as the tie-breaker.
    int compare(const QString &a, const QString &b) const;
    // Case-insensitive comparison only (for the sorted type selector).
    int compareIgnoringCase(const QString &a, const QString &b) const;
    // The case-insensitive order as a key: comparing two keys gives the sign
    // of compareIgnoringCase() on their texts, at the cost of a byte compare.
    QCollatorSortKey keyIgnoringCase(const QString &text) const { return m_insensitive.sortKey(text); }
    // The full order as a key: two keys that differ compare with the sign of
    // compare() on their texts (a case-sensitive key holds the case-blind
    // levels first, letter case last). Equal keys may still belong to texts
    // that compare() tells apart (an empty text and one of ignorable
    // characters only), so a sort by key settles equal keys by compare().
    QCollatorSortKey key(const QString &text) const { return m_sensitive.sortKey(text); }

    static QLocale collationLocale();

private:
    QCollator m_insensitive;
    QCollator m_sensitive;
};

} // namespace pelandor
