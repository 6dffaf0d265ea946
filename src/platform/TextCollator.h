// Locale word order for texts shown to the user: the type list, the folder
// tree and the file list sort with it. Letter case decides only between texts
// that are otherwise equal. Under the C/POSIX locale, where Qt would fall back
// to code-point order, a real collation locale (Japanese) is used instead.
// Keys are made by ICU directly, the same collation Qt's QCollator uses on
// this platform, so that their bytes can be read: a sort of many names
// compares most keys by their first bytes alone (see nameRanks).
#pragma once

#include <QByteArray>
#include <QCollator>
#include <QString>
#include <memory>

struct UCollator;

namespace pelandor {

class TextCollator {
public:
    TextCollator();
    // Negative, zero or positive, like strcmp: case-insensitive first, then
    // case-sensitive as the tie-breaker.
    int compare(const QString &a, const QString &b) const;
    // Case-insensitive comparison only (for the sorted type selector).
    int compareIgnoringCase(const QString &a, const QString &b) const;
    // The full order as a key of bytes: two keys that differ compare (byte
    // by byte, a key before the longer keys it begins) with the sign of
    // compare() on their texts (a case-sensitive key holds the case-blind
    // levels first, letter case last). Equal keys may still belong to texts
    // that compare() tells apart (an empty text and one of ignorable
    // characters only), so a sort by key settles equal keys by compare().
    // Empty for every text when the locale has no collation here.
    QByteArray key(const QString &text) const;
    // Byte order of two keys, as strcmp.
    static int compareKeys(const QByteArray &a, const QByteArray &b);

    static QLocale collationLocale();

private:
    QCollator m_insensitive;
    QCollator m_sensitive;
    // The case-sensitive collation of key(); shared by copies, which only
    // read it (ICU allows that from several threads at once).
    std::shared_ptr<UCollator> m_keys;
};

} // namespace pelandor
