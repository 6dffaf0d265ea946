// The thumbnail cache under the reading pass: what makes an entry miss (the
// file's size or time, the module), damaged entries, a folder that cannot be
// written, failures that are never kept, the size bound, and two processes
// filling one cache at once.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "ImageFiles.h"
#include "listing/FileListModel.h"
#include "listing/ReadingPass.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailCache.h"
#include "listing/ThumbnailList.h"
#include "platform/MessageSink.h"
#include "plugin/TSpi.h"

#include "FakeModuleReading.h"

using namespace pelandor;
using namespace testfiles;

namespace {

int entryCount(const QString &folder)
{
    return int(QDir(folder).entryList({QStringLiteral("*.cell")}, QDir::Files).size());
}

} // namespace

class TestThumbnailCache : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_images;
    QString m_modules;
    QString m_cache;
    CollectingSink m_messages;

    // One reading of the image folder through the cache; the model keeps it.
    void read(FileListModel &model, ThumbnailCache &cache)
    {
        TSpi host(m_modules, m_messages);
        model.clear();
        model.thumbnails()->clear();
        ReadingPass pass(model, host, false);
        pass.setCache(&cache);
        pass.run(m_images, fakeModuleTypes(), int(fakeModuleTypes().size()) - 1);
    }
    int rowOf(const FileListModel &model, const QString &name)
    {
        for (int row = 0; row < model.count(); ++row)
            if (model.caption(row) == name)
                return row;
        return -1;
    }
    QRgb centre(const FileListModel &model, const QString &name)
    {
        return model.thumbnails()->cell(model.imageIndex(rowOf(model, name))).pixel(48, 48);
    }

private slots:
    void init()
    {
        m_images = m_root.filePath(QStringLiteral("images"));
        m_modules = m_root.filePath(QStringLiteral("modules"));
        m_cache = m_root.filePath(QStringLiteral("cache"));
        for (const QString &folder : {m_images, m_modules, m_cache})
            QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        QVERIFY(QFile::copy(QStringLiteral(PELANDOR_TEST_MODULE_DIR "/") + FakeModule, m_modules + '/' + FakeModule));
        QVERIFY(writeBmpFile(m_images + QStringLiteral("/a.bmp"), solid(250, 200, qRgb(250, 0, 0))));
        QVERIFY(writeJpegFile(m_images + QStringLiteral("/b.jpg"), solid(400, 200, qRgb(0, 0, 250))));
        QVERIFY(writeText(m_images + QStringLiteral("/c.fak"), "FAKE rgb24"));
        QVERIFY(writeText(m_images + QStringLiteral("/broken.jpg"), "\xFF\xD8 broken"));
        QVERIFY(writeText(m_images + QStringLiteral("/broken.fak"), "FAKE fail"));
        m_messages.messages.clear();
    }

    // Failures are never kept: their messages come again on every reading.
    void failuresAreNotKept()
    {
        ThumbnailCache cache(m_cache);
        FileListModel model;
        read(model, cache);
        const QStringList first = m_messages.messages;
        QVERIFY(!first.isEmpty());
        QCOMPARE(entryCount(m_cache), 3);
        m_messages.messages.clear();
        read(model, cache);
        QCOMPARE(m_messages.messages, first);
        QCOMPARE(model.subItem(rowOf(model, QStringLiteral("broken.jpg")), 3), QStringLiteral("0 * 0"));
    }

    void changesMiss_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("added"); // entries made by the second reading
        QTest::newRow("same size, other time") << "time" << 1;
        QTest::newRow("other size, same time") << "size" << 1;
        QTest::newRow("same size and time, copied over") << "copy" << 1;
        QTest::newRow("same size and time, names swapped") << "swap" << 2;
        QTest::newRow("module replaced") << "module" << 1;
    }
    void changesMiss()
    {
        QFETCH(QString, change);
        QFETCH(int, added);
        const QString a = m_images + QStringLiteral("/a.bmp");
        const QString g = m_images + QStringLiteral("/g.bmp");
        // Whole milliseconds, so that a time set again is the same to the
        // nanosecond.
        const QDateTime time = QDateTime::fromSecsSinceEpoch(1700000000);
        auto setTime = [](const QString &path, const QDateTime &to) {
            QFile file(path);
            return file.open(QIODevice::ReadWrite) && file.setFileTime(to, QFileDevice::FileModificationTime);
        };
        QVERIFY(setTime(a, time));
        if (change == QLatin1String("swap")) {
            QVERIFY(writeBmpFile(g, solid(250, 200, qRgb(0, 250, 0))));
            QVERIFY(setTime(g, time));
        }
        ThumbnailCache cache(m_cache);
        FileListModel model;
        read(model, cache);
        QCOMPARE(centre(model, QStringLiteral("a.bmp")), qRgb(250, 0, 0));
        const int before = entryCount(m_cache);
        if (change == QLatin1String("time")) {
            QVERIFY(writeBmpFile(a, solid(250, 200, qRgb(0, 250, 0))));
            QVERIFY(setTime(a, time.addSecs(-100)));
        } else if (change == QLatin1String("size")) {
            QVERIFY(writeBmpFile(a, solid(251, 200, qRgb(0, 250, 0))));
            QVERIFY(setTime(a, time));
        } else if (change == QLatin1String("copy")) {
            QVERIFY(writeBmpFile(a, solid(250, 200, qRgb(0, 250, 0))));
            QVERIFY(setTime(a, time));
        } else if (change == QLatin1String("swap")) {
            const QString t = m_images + QStringLiteral("/t");
            QVERIFY(QFile::rename(a, t) && QFile::rename(g, a) && QFile::rename(t, g));
        } else {
            // Another build of the module under the same name: its cells
            // are made again.
            QFile module(m_modules + '/' + FakeModule);
            QVERIFY(module.open(QIODevice::Append));
            module.write("\0trailing", 9);
            module.close();
        }
        read(model, cache);
        QCOMPARE(entryCount(m_cache), before + added);
        if (change == QLatin1String("module"))
            return;
        QCOMPARE(centre(model, QStringLiteral("a.bmp")), qRgb(0, 250, 0));
        if (change == QLatin1String("swap"))
            QCOMPARE(centre(model, QStringLiteral("g.bmp")), qRgb(250, 0, 0));
    }

    void damagedEntryIsReplaced_data()
    {
        QTest::addColumn<int>("cut"); // bytes cut off the end; 0: one byte changed
        QTest::newRow("byte changed") << 0;
        QTest::newRow("cut short") << 100;
        QTest::newRow("empty") << -1;
    }
    void damagedEntryIsReplaced()
    {
        QFETCH(int, cut);
        ThumbnailCache cache(m_cache);
        FileListModel model;
        read(model, cache);
        const QStringList entries = QDir(m_cache).entryList({QStringLiteral("*.cell")}, QDir::Files);
        QStringList damaged;
        for (const QString &name : entries) {
            QFile file(m_cache + '/' + name);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray good = file.readAll();
            QByteArray bad = good;
            if (cut == 0)
                bad[bad.size() / 2] = char(bad[bad.size() / 2] ^ 0x40);
            else
                bad = cut < 0 ? QByteArray() : bad.left(bad.size() - cut);
            QVERIFY(file.resize(0));
            file.seek(0);
            file.write(bad);
            damaged << name;
        }
        read(model, cache);
        QCOMPARE(centre(model, QStringLiteral("a.bmp")), qRgb(250, 0, 0));
        QVERIFY(qBlue(centre(model, QStringLiteral("b.jpg"))) > 200);
        QCOMPARE(model.subItem(rowOf(model, QStringLiteral("b.jpg")), 3), QStringLiteral("400 * 200"));
        for (const QString &name : damaged) // replaced by whole entries
            QVERIFY(QFileInfo(m_cache + '/' + name).size() > 96 * 96 * 3);
    }

    // A picture of a few cells' pixels decodes faster than its entry loads:
    // it is not kept.
    void smallPicturesAreNotKept()
    {
        QVERIFY(writeBmpFile(m_images + QStringLiteral("/tiny.bmp"), solid(60, 40, qRgb(1, 2, 3))));
        ThumbnailCache cache(m_cache);
        FileListModel model;
        read(model, cache);
        QCOMPARE(entryCount(m_cache), 3);
        QCOMPARE(model.subItem(rowOf(model, QStringLiteral("tiny.bmp")), 3), QStringLiteral("60 * 40"));
    }

    // A cache folder that cannot be made: the reading goes on uncached.
    // With a budget of a few cells, a list of a few hundred keeps within it,
    // and every cell read back (dropped ones from the cache, or decoded again
    // when the cache keeps nothing: tiny pictures, an unwritable cache) is
    // byte for byte the cell made without a budget. Failed decodes share one
    // white cell; the module's cells are kept.
    void budgetKeepsCellsIdentical_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("cache") << true << 1.0;
        QTest::newRow("cache, ratio 2") << true << 2.0;
        QTest::newRow("cache not writable") << false << 1.0;
    }
    void budgetKeepsCellsIdentical()
    {
        QFETCH(bool, writable);
        QFETCH(qreal, ratio);
        for (int i = 0; i < 300; ++i) {
            const QString name = m_images + QStringLiteral("/p%1.").arg(i, 3, 10, QLatin1Char('0'));
            QImage picture = solid(i % 7 == 0 ? 30 : 200 + i % 50, 150, qRgb(i, 255 - i % 256, i * 7 % 256));
            picture.setPixel(i % 30, i % 20, qRgb(0, 0, 0));
            QVERIFY(i % 2 ? writeJpegFile(name + QStringLiteral("jpg"), picture)
                          : writeBmpFile(name + QStringLiteral("bmp"), picture));
        }
        QVERIFY(writeText(m_root.filePath(QStringLiteral("not-a-folder")), "x"));
        const QString cacheFolder = writable ? m_cache : m_root.filePath(QStringLiteral("not-a-folder/cache"));

        ThumbnailCache reference(m_root.filePath(QStringLiteral("reference-cache")));
        FileListModel unbounded;
        unbounded.thumbnails()->setDevicePixelRatio(ratio);
        read(unbounded, reference);

        FileListModel bounded;
        ThumbnailList &list = *bounded.thumbnails();
        list.setDevicePixelRatio(ratio);
        const qint64 budget = 12 * qint64(ThumbnailCell::pixelSize(ratio)) * ThumbnailCell::pixelSize(ratio) * 3;
        list.setBudget(budget);
        {
            // The reading's cache object is gone before cells come back.
            ThumbnailCache cache(cacheFolder);
            read(bounded, cache);
        }
        QCOMPARE(bounded.count(), unbounded.count());
        QVERIFY2(list.heldBytes() <= budget, qPrintable(QString::number(list.heldBytes())));

        int dropped = 0;
        for (int row = 0; row < bounded.count(); ++row)
            dropped += list.isHeld(bounded.imageIndex(row)) ? 0 : 1;
        QVERIFY(dropped > bounded.count() / 2);
        QImage white;
        for (int pass = 0; pass < 2; ++pass) {
            for (int row = 0; row < bounded.count(); ++row) {
                const int j = pass == 0 ? row : bounded.count() - 1 - row;
                const QString name = bounded.caption(j);
                const QImage cell = list.cell(bounded.imageIndex(j));
                const QImage expected = unbounded.thumbnails()->cell(unbounded.imageIndex(rowOf(unbounded, name)));
                QVERIFY2(cell == expected && cell.devicePixelRatio() == expected.devicePixelRatio(), qPrintable(name));
                QVERIFY(list.heldBytes() <= budget);
                if (name.startsWith(QLatin1String("broken"))) {
                    QVERIFY(white.isNull() || cell.constBits() == white.constBits());
                    white = cell;
                }
            }
        }
        QVERIFY(!white.isNull());
    }

    void unwritableFolder()
    {
        QVERIFY(writeText(m_root.filePath(QStringLiteral("file")), "x"));
        ThumbnailCache cache(m_root.filePath(QStringLiteral("file/cache")));
        FileListModel model;
        read(model, cache);
        read(model, cache);
        QCOMPARE(model.count(), 5);
        QCOMPARE(centre(model, QStringLiteral("a.bmp")), qRgb(250, 0, 0));
        QCOMPARE(model.subItem(rowOf(model, QStringLiteral("c.fak")), 4), QStringLiteral("1677万色"));
    }

    // A file has one key, however its path is written.
    void keyOfOneFileWhateverItsPath()
    {
        const QString path = m_images + QStringLiteral("/a.bmp");
        const auto key = [](const QString &p) { return ThumbnailCache::keyOf(p, ThumbnailCache::builtInRoute(), QSize(96, 96)); };
        QVERIFY(key(path));
        const QString folderName = QFileInfo(m_images).fileName();
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_images));
        const auto relative = key(QStringLiteral("a.bmp"));
        QVERIFY(QDir::setCurrent(previous));
        for (const auto &other : {key(m_images + QStringLiteral("/./a.bmp")),
                                  key(m_images + QStringLiteral("/../") + folderName + QStringLiteral("/a.bmp")),
                                  key(m_images + QStringLiteral("//a.bmp")), relative})
            QCOMPARE(other, key(path));
    }

    // A store that fails skips its own entry only: the next ones are kept.
    void failedStoreSkipsOnlyItself_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("temporaries left by an ended process of this id") << "leftovers";
        QTest::newRow("folder removed by another instance") << "removed";
    }
    void failedStoreSkipsOnlyItself()
    {
        QFETCH(QString, failure);
        ThumbnailCache cache(m_cache);
        QList<QByteArray> keys;
        for (const char *name : {"a.bmp", "b.jpg", "c.fak"})
            keys << *ThumbnailCache::keyOf(m_images + '/' + name, ThumbnailCache::builtInRoute(), QSize(96, 96));
        const ThumbnailCache::Entry entry{solid(96, 96, qRgb(1, 2, 3)), 1, 1, 24};
        cache.store(keys[0], entry);
        QVERIFY(cache.find(keys[0]));
        if (failure == QLatin1String("leftovers")) {
            const qint64 pid = QCoreApplication::applicationPid();
            for (int i = 0; i < 1000; ++i)
                QVERIFY(writeText(m_cache + QStringLiteral("/.tmp-%1-%2").arg(pid).arg(i), "x"));
        } else {
            QVERIFY(QDir(m_cache).removeRecursively());
        }
        cache.store(keys[1], entry);
        cache.store(keys[2], entry);
        QVERIFY(cache.find(keys[1]));
        QVERIFY(cache.find(keys[2]));
    }

    // Past its limit the cache drops the entries used longest ago.
    void sizeBound()
    {
        const QImage cell = solid(96, 96, qRgb(1, 2, 3));
        ThumbnailCache cache(m_cache, 10 * 96 * 96 * 3);
        QList<QByteArray> keys;
        for (int i = 0; i < 30; ++i) {
            const QString path = m_images + QStringLiteral("/s%1.bmp").arg(i);
            QVERIFY(writeText(path, "x"));
            keys << *ThumbnailCache::keyOf(path, ThumbnailCache::builtInRoute(), QSize(96, 96));
            cache.store(keys.last(), {cell, 1, 1, 24});
            QTest::qWait(2); // distinct use times
            QVERIFY(cache.find(keys.first())); // kept in use, so never dropped
        }
        qint64 total = 0;
        for (const QFileInfo &info : QDir(m_cache).entryInfoList(QDir::Files | QDir::Hidden))
            total += info.size();
        QVERIFY(total <= 10 * 96 * 96 * 3);
        QVERIFY(cache.find(keys.first()));
        QVERIFY(cache.find(keys.last()));
        QVERIFY(!cache.find(keys[1]));
        QVERIFY(cache.clear());
        QVERIFY(!cache.find(keys.last()));
    }

    // The entries of the reading under way stay past the limit while the
    // disk keeps its free-space margin; short of it, the limit holds again.
    // Entries from before the reading are dropped first either way.
    void readingKeptWithinDiskMargin_data()
    {
        QTest::addColumn<qint64>("margin");
        QTest::addColumn<bool>("kept");
        QTest::newRow("disk has room") << qint64(0) << true;
        QTest::newRow("disk short of the margin") << (qint64(1) << 62) << false;
    }
    void readingKeptWithinDiskMargin()
    {
        QFETCH(qint64, margin);
        QFETCH(bool, kept);
        const QImage cell = solid(96, 96, qRgb(1, 2, 3));
        const qint64 limit = 10 * 96 * 96 * 3;
        ThumbnailCache cache(m_cache, limit);
        cache.setFreeSpaceMargin(margin);
        auto keyAt = [&](const QString &name) {
            const QString path = m_images + QLatin1Char('/') + name;
            return writeText(path, "x") ? *ThumbnailCache::keyOf(path, ThumbnailCache::builtInRoute(), QSize(96, 96))
                                        : QByteArray();
        };
        const QByteArray before = keyAt(QStringLiteral("before.bmp"));
        cache.store(before, {cell, 1, 1, 24});
        QTest::qWait(300); // older than the reading by more than the clocks differ
        cache.keepUsesFromNow();
        QList<QByteArray> keys;
        for (int i = 0; i < 30; ++i) {
            keys << keyAt(QStringLiteral("r%1.bmp").arg(i));
            cache.store(keys.last(), {cell, 1, 1, 24});
            QTest::qWait(2); // distinct use times
        }
        QVERIFY(!cache.find(before));
        int found = 0;
        for (const QByteArray &key : std::as_const(keys))
            found += cache.findFacts(key) ? 1 : 0;
        QCOMPARE(found == keys.size(), kept);
        QCOMPARE(found <= 10, !kept);
        QVERIFY(cache.find(keys.last()));
    }

    // Two instances fill one cache at once: both list the folder as without a
    // cache, and a third finds every entry whole.
    void twoProcesses()
    {
        for (int i = 0; i < 30; ++i)
            QVERIFY(writeJpegFile(m_images + QStringLiteral("/p%1.jpg").arg(i),
                                  solid(300 + i, 200, qRgb(i * 8, 90, 0))));
        QProcessEnvironment uncachedEnv = QProcessEnvironment::systemEnvironment();
        uncachedEnv.insert(QStringLiteral("XDG_CACHE_HOME"), m_root.filePath(QStringLiteral("file-not-folder")));
        QVERIFY(writeText(m_root.filePath(QStringLiteral("file-not-folder")), "x"));
        const QStringList args{QStringLiteral("--report"), m_images, QStringLiteral("--type"), QStringLiteral("*.JPG")};
        auto runOne = [&](const QProcessEnvironment &env) {
            auto *process = new QProcess(this);
            process->setProcessEnvironment(env);
            process->start(QStringLiteral(PELANDOR_EXE), args);
            return process;
        };
        QProcess *plain = runOne(uncachedEnv);
        QVERIFY(plain->waitForFinished(60000));
        const QByteArray expected = plain->readAllStandardOutput();
        QCOMPARE(expected.count('\n'), 32); // with b.jpg and broken.jpg

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_cache);
        QProcess *first = runOne(env);
        QProcess *second = runOne(env);
        QVERIFY(first->waitForFinished(60000) && second->waitForFinished(60000));
        QCOMPARE(first->readAllStandardOutput(), expected);
        QCOMPARE(second->readAllStandardOutput(), expected);
        const QString folder = m_cache + QStringLiteral("/pelandor/thumbnails");
        QCOMPARE(entryCount(folder), 31);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 31); // no half-written files left
        ThumbnailCache cache(folder);
        for (int i = 0; i < 30; ++i) {
            const QString path = m_images + QStringLiteral("/p%1.jpg").arg(i);
            QVERIFY(cache.find(*ThumbnailCache::keyOf(path, ThumbnailCache::builtInRoute(), QSize(96, 96))));
        }
        QProcess *third = runOne(env);
        QVERIFY(third->waitForFinished(60000));
        QCOMPARE(third->readAllStandardOutput(), expected);
    }
};

QTEST_GUILESS_MAIN(TestThumbnailCache)
#include "TestThumbnailCache.moc"
