// The detail texts of a list item, and the comparisons the sort uses on them.
#include <QFile>
#include <algorithm>
#include <numeric>
#include <QTemporaryDir>
#include <QTest>

#include "listing/FileListItem.h"
#include "listing/ItemComparison.h"
#include "listing/ItemTexts.h"
#include "platform/NativeName.h"
#include "platform/TextCollator.h"

using namespace pelandor;

namespace {
// An item whose key |k| has the given text.
FileListItem itemWith(int k, const QString &text)
{
    FileListItem item;
    item.detailed = true;
    if (k == 1)
        item.caption = text;
    else if (k == 2)
        item.typeIndex = typeIndexOf(text);
    else if (k == 3)
        item.size = text.toLongLong();
    else if (k == 4)
        item.date = QString(text).remove(QLatin1Char('/')).remove(QLatin1Char(' ')).remove(QLatin1Char(':')).toLongLong();
    return item;
}

// Awkward rows for the sort: names equal but for case, repeated, empty, of
// an ignorable character only, the reading placeholder twice; types equal
// but for case, empty; sizes equal, zero, beyond 32 bits; dates equal to the
// minute, from both centuries, empty; failed pictures.
QList<FileListItem> awkwardItems()
{
    const struct {
        const char *name, *type;
        qint64 size, date;
        int width, height, depth;
        bool detailed;
    } rows[] = {
        {"b.jpg", "JPEG image", 10, 103050708, 9, 9, 4, true},
        {"A.jpg", "BMP image", 9, 9912312359, 10, 10, 0, true},
        {"a.jpg", "JPEG image", 10, 103050708, 9, 9, 8, true},
        {"B.jpg", "jpeg image", 0, -1, 0, 0, 4, true},
        {"読み込み中", "", 0, -1, 0, 0, 0, false},
        {"a.jpg", "BMP image", 5000000000, 501010000, 1, 1, 1, true},
        {"ä.jpg", "JPEG image", 0, 103050708, 9, 9, 4, true},
        {"\x01", "BMP image", 0, 8001010000, 0, 0, 0, true},
        {"10.jpg", "BMP image", 0, 8001010000, 0, 0, 0, true},
        {"", "JPEG image", 0, 9912312359, 9, 9, 4, true},
        {"9.jpg", "BMP image", 9, 103050707, 9, 9, 8, true},
        {"読み込み中", "", 0, -1, 0, 0, 0, false},
        {"A.JPG", "", 10, 103050708, 9, 9, 4, true},
    };
    QList<FileListItem> items;
    for (const auto &row : rows) {
        FileListItem item;
        item.caption = QString::fromUtf8(row.name);
        item.typeIndex = typeIndexOf(QString::fromUtf8(row.type));
        item.size = row.size;
        item.date = row.date;
        item.width = row.width;
        item.height = row.height;
        item.depth = int16_t(row.depth);
        item.detailed = row.detailed;
        item.placeholder = !row.detailed;
        item.imageIndex = int(items.size());
        items.append(item);
    }
    return items;
}
} // namespace

class TestItemTexts : public QObject {
    Q_OBJECT

private slots:
    void colorDepth_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<QString>("text");
        QTest::newRow("0 nothing") << 0 << QString();
        QTest::newRow("negative: none") << -3 << QString();
        QTest::newRow("1") << 1 << QStringLiteral("2色");
        QTest::newRow("2") << 2 << QStringLiteral("16色");
        QTest::newRow("4") << 4 << QStringLiteral("16色");
        QTest::newRow("5") << 5 << QStringLiteral("256色");
        QTest::newRow("8") << 8 << QStringLiteral("256色");
        QTest::newRow("9") << 9 << QStringLiteral("65536色");
        QTest::newRow("15") << 15 << QStringLiteral("65536色");
        QTest::newRow("16") << 16 << QStringLiteral("65536色");
        QTest::newRow("17") << 17 << QStringLiteral("1677万色");
        QTest::newRow("24") << 24 << QStringLiteral("1677万色");
        QTest::newRow("32") << 32 << QStringLiteral("1677万色");
        QTest::newRow("33: none") << 33 << QString();
        QTest::newRow("48") << 48 << QStringLiteral("1677万色");
        QTest::newRow("64") << 64 << QStringLiteral("1677万色");
        QTest::newRow("32767: none") << 32767 << QString();
        QTest::newRow("-32768: none") << -32768 << QString();
    }
    void colorDepth()
    {
        QFETCH(int, depth);
        QFETCH(QString, text);
        QCOMPARE(ColorDepthText(int16_t(depth)), text);
        // A picture that failed has no colours, whatever its record says.
        QCOMPARE(colorsText(3, 2, int16_t(depth)), text);
        QCOMPARE(colorsText(0, 0, int16_t(depth)), QString());
    }

    void typeDescriptionIsReadable()
    {
        const QString jpeg = typeDescription(QStringLiteral("a.jpg"));
        QVERIFY(!jpeg.isEmpty());
        QCOMPARE(jpeg, jpeg.trimmed());
        QCOMPARE(typeDescription(QStringLiteral("B.JPEG")), jpeg);
        QVERIFY(typeDescription(QStringLiteral("a.bmp")) != jpeg);
    }

    // The kept text of a name's last part never stands in for a name the
    // database types otherwise: each name is asked after a plain name with
    // the same last part.
    void typeDescriptionKeptByLastPart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("plain");
        const auto row = [](const char *title, const QString &name, const QString &plain) {
            QTest::newRow(title) << name << plain;
        };
        row("two-part ending", QStringLiteral("a.tar.gz"), QStringLiteral("b.gz"));
        row("prefix pattern", QStringLiteral("README.jpg"), QStringLiteral("b.jpg"));
        row("whole name", QStringLiteral("Makefile"), QStringLiteral("b"));
        row("no dot", QStringLiteral("photo"), QStringLiteral("b"));
        row("trailing dot", QStringLiteral("photo."), QStringLiteral("photo"));
        row("dot file", QStringLiteral(".jpg"), QStringLiteral("b.jpg"));
        row("empty part before the dot", QStringLiteral("a..jpg"), QStringLiteral("b.jpg"));
        row("upper case", QStringLiteral("A.JPG"), QStringLiteral("b.jpg"));
        row("case-sensitive pattern", QStringLiteral("a.C"), QStringLiteral("b.c"));
        row("wildcard ending", QStringLiteral("page.1"), QStringLiteral("b.x1"));
        row("backup", QStringLiteral("a.jpg~"), QStringLiteral("b.jpg"));
        row("not UTF-8", NativeName::decode(QByteArray("\xff\xfe.jpg")), QStringLiteral("b.jpg"));
    }
    void typeDescriptionKeptByLastPart()
    {
        QFETCH(QString, name);
        QFETCH(QString, plain);
        QCOMPARE(typeDescription(plain), typeDescriptionUncached(plain));
        QCOMPARE(typeDescription(name), typeDescriptionUncached(name));
        QCOMPARE(typeDescription(name), typeDescriptionUncached(name));
    }

    // Dates from seconds in the zone read once equal those of QDateTime,
    // which reads it for each, around changes of a zone's offset and at the
    // ends of the file date range.
    void fileDateOfSecondsInZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("summer time") << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3");
        QTest::newRow("quarter-hour offset") << QByteArray("<+0545>-5:45");
        QTest::newRow("west of UTC") << QByteArray("EST5EDT,M3.2.0,M11.1.0");
    }
    void fileDateOfSecondsInZone()
    {
        QFETCH(QByteArray, zone);
        const QByteArray saved = qgetenv("TZ");
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        qputenv("TZ", zone);
        readLocalZone();
        const qint64 change = QDateTime(QDate(2021, 3, 28), QTime(1, 0), Qt::UTC).toSecsSinceEpoch();
        const qint64 back = QDateTime(QDate(2021, 10, 31), QTime(1, 0), Qt::UTC).toSecsSinceEpoch();
        const qint64 first = QDateTime(QDate(1980, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
        const qint64 last = QDateTime(QDate(2108, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
        for (const qint64 around : {change, back, first, last}) {
            for (qint64 s = around - 15 * 3600; s <= around + 15 * 3600; s += 599)
                QCOMPARE(fileDateKeyOfSeconds(s), fileDateKeyOf(QDateTime::fromSecsSinceEpoch(s)));
        }
        if (hadZone)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        readLocalZone();
    }

    void fileDate_data()
    {
        QTest::addColumn<QDateTime>("modified");
        QTest::addColumn<QString>("text");
        QTest::newRow("the example") << QDateTime(QDate(2001, 3, 5), QTime(7, 8, 59)) << QStringLiteral("01/03/05 07:08");
        QTest::newRow("odd second stays in its minute")
            << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << QStringLiteral("99/12/31 23:59");
        QTest::newRow("first file date") << QDateTime(QDate(1980, 1, 1), QTime(0, 0)) << QStringLiteral("80/01/01 00:00");
        QTest::newRow("before file dates") << QDateTime(QDate(1979, 12, 31), QTime(12, 0)) << QString();
        QTest::newRow("after file dates") << QDateTime(QDate(2108, 1, 1), QTime(12, 0)) << QString();
        QTest::newRow("invalid") << QDateTime() << QString();
    }
    void fileDate()
    {
        QFETCH(QDateTime, modified);
        QFETCH(QString, text);
        QCOMPARE(fileDateTextOf(modified), text);
    }

    void fileDateOfRealFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.bmp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setFileTime(QDateTime(QDate(2001, 3, 5), QTime(7, 8, 1)), QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(FileDateText(path), QStringLiteral("01/03/05 07:08"));
        QCOMPARE(FileDateText(dir.filePath(QStringLiteral("missing.bmp"))), QString());
    }

    void compareNumbersNotText()
    {
        const FileListItem nine = itemWith(3, QStringLiteral("9"));
        const FileListItem ten = itemWith(3, QStringLiteral("10"));
        const FileListItem hundred = itemWith(3, QStringLiteral("100"));
        const FileListItem big = itemWith(3, QStringLiteral("5000000000"));
        QVERIFY(CompareItemNumbers(nine, ten, 3) < 0);
        QVERIFY(CompareItemNumbers(ten, hundred, 3) < 0);
        QVERIFY(CompareItemNumbers(hundred, big, 3) < 0);
        QVERIFY(CompareItemNumbers(hundred, nine, -3) < 0);
        QCOMPARE(CompareItemNumbers(ten, ten, 3), 0);
    }

    void compareTexts_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("sign");
        QTest::newRow("names a before B") << 1 << "a.jpg" << "B.jpg" << -1;
        QTest::newRow("names case only decides last") << 1 << "a.jpg" << "A.jpg" << -1;
        QTest::newRow("names descending") << -1 << "a.jpg" << "B.jpg" << 1;
        QTest::newRow("two-digit years: 05 before 98") << 4 << "05/01/01 00:00" << "98/01/01 00:00" << -1;
        QTest::newRow("same minute equal") << 4 << "01/03/05 07:08" << "01/03/05 07:08" << 0;
        QTest::newRow("type text") << 2 << "BMP image" << "JPEG image" << -1;
        QTest::newRow("empty first") << 2 << "" << "JPEG image" << -1;
    }
    void compareTexts()
    {
        QFETCH(int, k);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, sign);
        const TextCollator collator;
        const int key = std::abs(k);
        const int result = CompareItemTexts(itemWith(key, first), itemWith(key, second), k, collator);
        QCOMPARE((result > 0) - (result < 0), sign);
    }

    // The key sort gives the order of a stable sort by the item comparison,
    // for every key and direction, with dates read as numbers and with dates
    // whose separators differ (left to collation).
    // Large lists (names sorted on two threads) keep it too.
    void keySortKeepsComparisonOrder_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("copies");
        for (int key = 1; key <= 6; ++key) {
            for (int k : {key, -key})
                QTest::addRow("k %d", k) << k << 1;
        }
        for (int k : {1, -1})
            QTest::addRow("k %d, 20,800 rows", k) << k << 1600;
    }
    void keySortKeepsComparisonOrder()
    {
        QFETCH(int, k);
        QFETCH(int, copies);
        const TextCollator collator;
        QList<FileListItem> items;
        for (int copy = 0; copy < copies; ++copy) {
            for (FileListItem item : awkwardItems()) {
                if (copies > 1)
                    item.caption += QString::number(copy % 40);
                items.append(item);
            }
        }
        std::vector<QByteArray> nameKeys;
        for (const FileListItem &item : items)
            nameKeys.push_back(collator.key(item.caption));
        std::vector<int> expected(size_t(items.size()));
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(),
                         [&](int a, int b) { return compareItems(items[a], items[b], k, collator) < 0; });
        const std::vector<int> order = sortedRows(
            int(items.size()), [&](int row) -> const FileListItem & { return items[row]; },
            [&](int row) -> const QByteArray & { return nameKeys[size_t(row)]; }, k, collator);
        QCOMPARE(order, expected);
    }
};

QTEST_GUILESS_MAIN(TestItemTexts)
#include "TestItemTexts.moc"
