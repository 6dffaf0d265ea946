// Every file in data/ and data/regressions (each named after the fault it
// caught) read through the image loader's built-in route, and sparse files of
// 1 GiB that are not of their type: each is refused or decoded within a time
// and memory budget that reading any of them whole would break.
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "decode/Bitmap.h"
#include "decode/ImageLoader.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace pelandor;

namespace {

qint64 peakMemory()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// Generous for the sanitizer build, far below a gigabyte read whole.
constexpr qint64 MemoryBudget = qint64(256) << 20;
constexpr qint64 TimeBudgetMs = 5000;

} // namespace

class TestDecoderRegressions : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // A sparse file of 1 GiB beginning with `head`.
    QString sparseFile(const QString &name, const QByteArray &head)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size() || !file.resize(qint64(1) << 30))
            return QString();
        return path;
    }

private slots:
    void filesStayBounded_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString &folder : {QStringLiteral(DECODE_TEST_DATA), QStringLiteral(DECODE_TEST_DATA "/regressions")}) {
            QDirIterator files(folder, QDir::Files);
            while (files.hasNext()) {
                files.next();
                QTest::newRow(qPrintable(files.fileName())) << files.filePath();
            }
        }
        QVERIFY(m_dir.isValid());
        QTest::newRow("sparse 1 GiB .jpg without start marker")
            << sparseFile(QStringLiteral("sparse-1gib.jpg"), QByteArray("\x89PNG", 4));
        QTest::newRow("sparse 1 GiB .bmp without BM") << sparseFile(QStringLiteral("sparse-1gib.bmp"), QByteArray("MB"));
        // The header is judged before the rest is read.
        QTest::newRow("sparse 1 GiB .bmp with BM and no header")
            << sparseFile(QStringLiteral("sparse-bm-1gib.bmp"), QByteArray("BM"));
        QByteArray oneByOne("BM\0\0\0\0\0\0\0\0\x36\0\0\0", 14);
        oneByOne += QByteArray("\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0", 16) + QByteArray(24, '\0');
        oneByOne += QByteArray("\xff\0\0\0", 4);
        QTest::newRow("1 GiB .bmp whose header declares 1 x 1")
            << sparseFile(QStringLiteral("declared-1x1-1gib.bmp"), oneByOne);
    }

    void filesStayBounded()
    {
        QFETCH(QString, path);
        QVERIFY(!path.isEmpty());
        const QString pattern = path.endsWith(QLatin1String(".bmp")) ? QStringLiteral("*.BMP") : QStringLiteral("*.JPG");
        const qint64 memoryBefore = peakMemory();
        QElapsedTimer clock;
        clock.start();
        Bitmap target;
        PictureInfo record{};
        LoadImageToBitmap(false, nullptr, target, record, path, pattern);
        QVERIFY2(clock.elapsed() < TimeBudgetMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(peakMemory() - memoryBefore < MemoryBudget, qPrintable(QString::number(peakMemory() - memoryBefore)));
        if (path.contains(QLatin1String("sparse")))
            QVERIFY(target.image().isNull());
        if (path.contains(QLatin1String("declared-1x1"))) {
            QCOMPARE(target.image().size(), QSize(1, 1));
            QCOMPARE(target.image().pixel(0, 0), qRgb(0, 0, 0xff));
        }
    }
};

QTEST_MAIN(TestDecoderRegressions)
#include "TestDecoderRegressions.moc"
