#include "listing/ItemTexts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <ctime>
#include <sys/stat.h>

#include "platform/NativeName.h"

namespace pelandor {

namespace {

// The first character of a locale's format that is no field letter and no
// blank: "yyyy/MM/dd" gives "/", "dd.MM.yy" gives ".", "HH:mm" gives ":".
QChar separatorOf(const QString &format, QChar fallback)
{
    for (const QChar c : format) {
        if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\''))
            return c;
    }
    return fallback;
}

// A file date of two-second resolution covers the years 1980 to 2107.
constexpr int FirstFileDateYear = 1980;
constexpr int LastFileDateYear = 2107;

} // namespace

QString typeDescriptionUncached(const QString &fileName)
{
    static const QMimeDatabase database;
    return database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).comment().trimmed();
}

namespace {

// The database's name patterns. Those of a folder the database reads are
// listed in its "globs2" file, read in a few milliseconds; without that list
// they come from the database's types one by one (about 0.1 s: each type is
// parsed in full). A line "weight:type:pattern[:flags]" gives the pattern
// both with and without what follows a further colon (surplus patterns only
// make more names looked up in full).
QStringList databasePatterns()
{
    QStringList patterns;
    const QStringList folders =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("mime"),
                                  QStandardPaths::LocateDirectory);
    bool listed = !folders.isEmpty();
    for (const QString &folder : folders) {
        QFile globs(folder + QStringLiteral("/globs2"));
        if (!globs.open(QIODevice::ReadOnly)) {
            // A folder with no types (an empty "packages") adds no patterns.
            if (QFileInfo::exists(folder + QStringLiteral("/mime.cache"))
                || !QDir(folder + QStringLiteral("/packages"))
                        .entryList({QStringLiteral("*.xml")}, QDir::Files)
                        .isEmpty()) {
                listed = false;
                break;
            }
            continue;
        }
        while (!globs.atEnd()) {
            QByteArray line = globs.readLine();
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const qsizetype first = line.indexOf(':');
            const qsizetype second = first < 0 ? -1 : line.indexOf(':', first + 1);
            if (second < 0)
                continue;
            const QString rest = QString::fromUtf8(line.mid(second + 1));
            patterns << rest;
            const qsizetype flags = rest.lastIndexOf(QLatin1Char(':'));
            if (flags >= 0)
                patterns << rest.left(flags);
        }
    }
    if (listed)
        return patterns;
    patterns.clear();
    const QMimeDatabase database;
    for (const QMimeType &type : database.allMimeTypes())
        patterns << type.globPatterns();
    return patterns;
}

// The type texts by the part of a name from its last dot on. A database
// pattern "*.X" (X without dots or wildcards) matches a name exactly when X is
// that part, so such patterns alone give every name with the same part the
// same text. Any other pattern (whole names such as "makefile", prefixes such
// as "readme*", endings of several parts such as "*.tar.gz", wildcards such
// as "*.[1-9]" or "*~") may override them: a name one of those could match,
// in any letter case, is looked up in full.
class TypeTextCache {
public:
    TypeTextCache()
    {
        static const QRegularExpression simple(QStringLiteral("\\A\\*\\.[^.*?\\[\\]\\\\]+\\z"));
        QStringList others;
        for (const QString &glob : databasePatterns()) {
            if (!simple.match(glob).hasMatch())
                others << QRegularExpression::wildcardToRegularExpression(glob);
        }
        others.removeDuplicates();
        if (!others.isEmpty()) {
            m_otherPatterns.setPattern(others.join(QLatin1Char('|')));
            m_otherPatterns.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
            m_otherPatterns.optimize();
        }
    }

    QString textOf(const QString &fileName)
    {
        // A name with bytes that are no UTF-8 (kept as unpaired surrogates)
        // cannot be matched against the patterns here: it is looked up.
        if (!fileName.isValidUtf16()
            || (!m_otherPatterns.pattern().isEmpty() && m_otherPatterns.match(fileName).hasMatch()))
            return typeDescriptionUncached(fileName);
        const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
        // A name that is only its last part (".jpg") matches no such pattern.
        if (dot == 0)
            return typeDescriptionUncached(fileName);
        const QString part = dot < 0 ? QString() : fileName.mid(dot);
        const QMutexLocker lock(&m_mutex);
        const auto it = m_texts.constFind(part);
        if (it != m_texts.constEnd())
            return it.value();
        const QString text = typeDescriptionUncached(fileName);
        m_texts.insert(part, text);
        return text;
    }

private:
    QRegularExpression m_otherPatterns;
    QMutex m_mutex;
    QHash<QString, QString> m_texts;
};

} // namespace

QString typeDescription(const QString &fileName)
{
    static TypeTextCache cache;
    return cache.textOf(fileName);
}

namespace {
struct TypeTexts {
    QMutex mutex;
    QStringList texts;
    QHash<QString, int> indexOf;
};
TypeTexts &typeTexts()
{
    static TypeTexts table;
    return table;
}
} // namespace

int typeIndexOf(const QString &typeText)
{
    TypeTexts &table = typeTexts();
    const QMutexLocker lock(&table.mutex);
    const auto it = table.indexOf.constFind(typeText);
    if (it != table.indexOf.constEnd())
        return it.value();
    const int index = int(table.texts.size());
    table.texts.append(typeText);
    table.indexOf.insert(typeText, index);
    return index;
}

QString typeTextOf(int typeIndex)
{
    TypeTexts &table = typeTexts();
    const QMutexLocker lock(&table.mutex);
    return typeIndex >= 0 && typeIndex < table.texts.size() ? table.texts[typeIndex] : QString();
}

QString sizeText(qint64 bytes)
{
    return QString::number(bytes);
}

qint64 fileDateKeyOf(const QDateTime &modified)
{
    if (!modified.isValid())
        return -1;
    QDateTime local = modified.toLocalTime();
    if (!local.isValid())
        return -1;
    const QDate date = local.date();
    if (date.year() < FirstFileDateYear || date.year() > LastFileDateYear)
        return -1;
    const QTime time = local.time();
    return (((qint64(date.year() % 100) * 100 + date.month()) * 100 + date.day()) * 100 + time.hour()) * 100
        + time.minute();
}

void readLocalZone()
{
    ::tzset();
}

qint64 fileDateKeyOfSeconds(qint64 secondsSinceEpoch)
{
    // localtime_r() uses the zone of the last tzset() without reading it again.
    const time_t seconds = time_t(secondsSinceEpoch);
    struct tm local {};
    if (!::localtime_r(&seconds, &local))
        return -1;
    const int year = local.tm_year + 1900;
    if (year < FirstFileDateYear || year > LastFileDateYear)
        return -1;
    return (((qint64(year % 100) * 100 + local.tm_mon + 1) * 100 + local.tm_mday) * 100 + local.tm_hour) * 100
        + local.tm_min;
}

QString fileDateText(qint64 key)
{
    if (key < 0)
        return QString();
    const QLocale locale;
    const QChar dateSep = separatorOf(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
    const QChar timeSep = separatorOf(locale.timeFormat(QLocale::ShortFormat), QLatin1Char(':'));
    // The ten digits, two by two from the year to the minute.
    QString text(14, QLatin1Char(' '));
    for (int field = 4; field >= 0; --field) {
        const int value = int(key % 100);
        key /= 100;
        text[field * 3] = QLatin1Char(char('0' + value / 10));
        text[field * 3 + 1] = QLatin1Char(char('0' + value % 10));
    }
    text[2] = dateSep;
    text[5] = dateSep;
    text[11] = timeSep;
    return text;
}

QString fileDateTextOf(const QDateTime &modified)
{
    return fileDateText(fileDateKeyOf(modified));
}

qint64 FileDateKey(const QString &path)
{
    struct stat info {};
    if (::stat(NativeName::encode(path).constData(), &info) != 0)
        return -1;
    return fileDateKeyOf(QDateTime::fromMSecsSinceEpoch(qint64(info.st_mtim.tv_sec) * 1000
                                                        + info.st_mtim.tv_nsec / 1000000));
}

QString FileDateText(const QString &path)
{
    return fileDateText(FileDateKey(path));
}

QString imageSizeText(int width, int height)
{
    return QString::number(width) + QStringLiteral(" * ") + QString::number(height);
}

QString ColorDepthText(int16_t depth)
{
    if (depth <= 0 || (depth > 32 && depth != 48 && depth != 64))
        return QString();
    if (depth <= 1)
        return QCoreApplication::translate("ItemTexts", "2色");
    if (depth <= 4)
        return QCoreApplication::translate("ItemTexts", "16色");
    if (depth <= 8)
        return QCoreApplication::translate("ItemTexts", "256色");
    if (depth <= 16)
        return QCoreApplication::translate("ItemTexts", "65536色");
    return QCoreApplication::translate("ItemTexts", "1677万色");
}

QString colorsText(int width, int height, int16_t depth)
{
    return width > 0 && height > 0 ? ColorDepthText(depth) : QString();
}

QString subItemText(const FileListItem &item, int i)
{
    if (!item.detailed)
        return QString();
    switch (i) {
    case 0:
        return typeTextOf(item.typeIndex);
    case 1:
        return sizeText(item.size);
    case 2:
        return fileDateText(item.date);
    case 3:
        return imageSizeText(item.width, item.height);
    case 4:
        return colorsText(item.width, item.height, item.depth);
    default:
        return QString();
    }
}

} // namespace pelandor
