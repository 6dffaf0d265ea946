#include "listing/ItemTexts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMimeDatabase>
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

QString typeDescription(const QString &fileName)
{
    static const QMimeDatabase database;
    return database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).comment().trimmed();
}

QString sizeText(qint64 bytes)
{
    return QString::number(bytes);
}

QString fileDateTextOf(const QDateTime &modified)
{
    if (!modified.isValid())
        return QString();
    QDateTime local = modified.toLocalTime();
    if (!local.isValid())
        return QString();
    const QDate date = local.date();
    if (date.year() < FirstFileDateYear || date.year() > LastFileDateYear)
        return QString();
    const QTime time = local.time();

    const QLocale locale;
    const QChar dateSep = separatorOf(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
    const QChar timeSep = separatorOf(locale.timeFormat(QLocale::ShortFormat), QLatin1Char(':'));
    auto two = [](int v) { return QStringLiteral("%1").arg(v % 100, 2, 10, QLatin1Char('0')); };
    return two(date.year()) + dateSep + two(date.month()) + dateSep + two(date.day()) + QLatin1Char(' ')
        + two(time.hour()) + timeSep + two(time.minute());
}

QString FileDateText(const QString &path)
{
    struct stat info {};
    if (::stat(NativeName::encode(path).constData(), &info) != 0)
        return QString();
    return fileDateTextOf(QDateTime::fromMSecsSinceEpoch(qint64(info.st_mtim.tv_sec) * 1000
                                                         + info.st_mtim.tv_nsec / 1000000));
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

} // namespace pelandor
