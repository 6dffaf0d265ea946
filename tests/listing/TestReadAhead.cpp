// The read-ahead of the reading loop: results come back in the loop's order
// whoever decoded them, every file is decoded exactly once, the worker stays
// within MaxAhead files of the loop, and ending early neither hangs nor
// decodes the rest.
#include <QTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "listing/ReadAhead.h"

using namespace pelandor;

class TestReadAhead : public QObject {
    Q_OBJECT

private slots:
    void orderOnceAndBounded_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("stopAfter");
        QTest::addColumn<int>("loopDelayMs"); // the loop's own work per file
        QTest::newRow("one file") << 1 << 1 << 0;
        QTest::newRow("all, quick loop") << 40 << 40 << 0;
        QTest::newRow("all, slow loop") << 12 << 12 << 3;
        QTest::newRow("stop after 3 of 40") << 40 << 3 << 2;
        QTest::newRow("stop before any") << 40 << 0 << 0;
    }
    void orderOnceAndBounded()
    {
        QFETCH(int, files);
        QFETCH(int, stopAfter);
        QFETCH(int, loopDelayMs);
        QStringList paths;
        for (int i = 0; i < files; ++i)
            paths << QString::number(i);

        std::mutex mutex;
        QList<int> decodedCount(files, 0);
        std::atomic<int> taken{0};
        std::atomic<int> furthestAhead{0};
        {
            ReadAhead ahead(paths, [&] {
                return ReadAhead::Decode([&](const QString &path) {
                    const int index = path.toInt();
                    {
                        const std::lock_guard<std::mutex> lock(mutex);
                        ++decodedCount[index];
                    }
                    int seen = furthestAhead.load();
                    while (index - taken.load() > seen && !furthestAhead.compare_exchange_weak(seen, index - taken))
                        ;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    ReadAhead::Result result;
                    result.width = index;
                    return result;
                });
            });
            for (int i = 0; i < stopAfter; ++i) {
                taken = i;
                QCOMPARE(ahead.take(i).width, i);
                std::this_thread::sleep_for(std::chrono::milliseconds(loopDelayMs));
            }
        } // stops the worker here
        const std::lock_guard<std::mutex> lock(mutex);
        for (int i = 0; i < files; ++i) {
            QVERIFY2(decodedCount[i] <= 1, qPrintable(QStringLiteral("file %1 decoded twice").arg(i)));
            if (i < stopAfter)
                QCOMPARE(decodedCount[i], 1);
            else
                QVERIFY(i <= stopAfter + ReadAhead::MaxAhead || decodedCount[i] == 0);
        }
        QVERIFY(furthestAhead.load() <= ReadAhead::MaxAhead);
    }
};

QTEST_GUILESS_MAIN(TestReadAhead)
#include "TestReadAhead.moc"
