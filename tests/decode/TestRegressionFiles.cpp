// Every file in data/ (damaged and odd images, each named after the fault it
// caught) goes through the image loader as the file list reads it. What each
// must give is one line of data/expected.tsv: the file name, then either
// "fails" or the picture size and colour depth ("4000x4000<TAB>24"). Adding
// a file and its line needs no new code; a file without a line fails.
#include <QDir>
#include <QFile>
#include <QTest>

#include "decode/Bitmap.h"
#include "decode/ImageLoader.h"

using namespace pelandor;

namespace {

const QString DataFolder = QStringLiteral(DECODE_TEST_DATA);
const QString ExpectationsFile = QStringLiteral("expected.tsv");

// file name -> the rest of its line, tab-separated
QHash<QString, QStringList> expectations()
{
    QHash<QString, QStringList> out;
    QFile file(QDir(DataFolder).filePath(ExpectationsFile));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(QLatin1Char('\t'));
        const QString name = fields.takeFirst();
        out.insert(name, fields);
    }
    return out;
}

} // namespace

class TestRegressionFiles : public QObject {
    Q_OBJECT
private slots:
    void loads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("expected");
        const QHash<QString, QStringList> all = expectations();
        QVERIFY2(!all.isEmpty(), "data/expected.tsv is missing or empty");
        const QStringList files = QDir(DataFolder).entryList(QDir::Files, QDir::Name);
        for (const QString &name : files) {
            if (name == ExpectationsFile)
                continue;
            QTest::newRow(qPrintable(name)) << QDir(DataFolder).filePath(name) << all.value(name);
        }
    }
    void loads()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, expected);
        QVERIFY2(!expected.isEmpty(), "no line for this file in data/expected.tsv");

        // The pattern the file list would read it under.
        const QString pattern = path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive) ? QStringLiteral("*.BMP")
                                                                                           : QStringLiteral("*.JPG");
        Bitmap bitmap;
        PictureInfo record{};
        LoadImageToBitmap(false, nullptr, bitmap, record, path, pattern);

        if (expected.first() == QLatin1String("fails")) {
            QVERIFY(bitmap.isEmpty());
            QCOMPARE(int(record.bitDepth), 0);
            return;
        }
        QCOMPARE(expected.size(), 2);
        QCOMPARE(QStringLiteral("%1x%2").arg(bitmap.width()).arg(bitmap.height()), expected[0]);
        QCOMPARE(QString::number(record.bitDepth), expected[1]);
    }
};

QTEST_GUILESS_MAIN(TestRegressionFiles)
#include "TestRegressionFiles.moc"
