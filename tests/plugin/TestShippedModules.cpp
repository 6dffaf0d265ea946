// All seven shipped import modules side by side, as the build installs them:
// the type list they give, one picture of each format read through the
// module its entry names (each module loaded after the others in one
// process), the regression files that once cost a module far more than their
// size, and FIFOs behind image names.
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTest>

#include "ImportModuleFixture.h"
#include "decode/ImageLoader.h"

#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pelandor;

namespace {

// The built modules under the names they are installed as.
const QList<QPair<QString, QString>> BuiltModules = {
    {QStringLiteral(PELANDOR_PNG_MODULE), QStringLiteral("png.spi")},
    {QStringLiteral(PELANDOR_GIF_MODULE), QStringLiteral("gif.spi")},
    {QStringLiteral(PELANDOR_TIFF_MODULE), QStringLiteral("tiff.spi")},
    {QStringLiteral(PELANDOR_WEBP_MODULE), QStringLiteral("webp.spi")},
    {QStringLiteral(PELANDOR_AVIF_MODULE), QStringLiteral("avif.spi")},
    {QStringLiteral(PELANDOR_HEIF_MODULE), QStringLiteral("heif.spi")},
    {QStringLiteral(PELANDOR_JXL_MODULE), QStringLiteral("jxl.spi")},
};

// Peak resident memory of this process so far, in bytes.
qint64 peakMemory()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// A file's bytes cost at most this much memory and time through any module;
// generous for the sanitizer build, far below what a picture of 2^28 pixels
// costs.
constexpr qint64 MemoryBudget = qint64(512) << 20;
constexpr qint64 TimeBudgetMs = 10000;

} // namespace

class TestShippedModules : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    RecordingSink m_sink;
    TSpi *m_host = nullptr;
    ImageTypeList m_entries;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const auto &[built, name] : BuiltModules)
            QVERIFY(QFile::copy(built, m_dir.filePath(name)));
        m_host = new TSpi(m_dir.path(), m_sink, this);
        // In the program's own process, as the program loads them.
        m_host->setBackendFactory([](const QString &) { return std::make_unique<InProcessModuleBackend>(); });
        m_entries = TypeListBuilder::build(*m_host, m_dir.path()).entries;
    }

    void typeListInSelectorOrder()
    {
        const ImageTypeList expected = {
            {QStringLiteral("*.avif"), QStringLiteral("avif.spi")}, {QStringLiteral("*.BMP"), QString()},
            {QStringLiteral("*.gif"), QStringLiteral("gif.spi")},   {QStringLiteral("*.heic"), QStringLiteral("heif.spi")},
            {QStringLiteral("*.heif"), QStringLiteral("heif.spi")}, {QStringLiteral("*.JPG"), QString()},
            {QStringLiteral("*.jxl"), QStringLiteral("jxl.spi")},   {QStringLiteral("*.png"), QStringLiteral("png.spi")},
            {QStringLiteral("*.tif"), QStringLiteral("tiff.spi")},  {QStringLiteral("*.tiff"), QStringLiteral("tiff.spi")},
            {QStringLiteral("*.webp"), QStringLiteral("webp.spi")}, {allImageFilesText(), QString()},
        };
        QCOMPARE(m_entries, expected);
        QCOMPARE(m_sink.messages, QStringList());
    }

    void readsEachFormatThroughItsEntry_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("tolerance");
        // The lossy formats were written at their best quality.
        QTest::newRow("png") << QStringLiteral("four-blocks-32x16.png") << 0;
        QTest::newRow("gif") << QStringLiteral("four-blocks-32x16.gif") << 0;
        QTest::newRow("tiff") << QStringLiteral("four-blocks-32x16.tif") << 0;
        QTest::newRow("webp") << QStringLiteral("four-blocks-32x16.webp") << 0;
        QTest::newRow("avif") << QStringLiteral("four-blocks-32x16.avif") << 12;
        QTest::newRow("heic") << QStringLiteral("four-blocks-32x16.heic") << 12;
        QTest::newRow("jxl") << QStringLiteral("four-blocks-32x16.jxl") << 0;
    }

    void readsEachFormatThroughItsEntry()
    {
        QFETCH(QString, file);
        QFETCH(int, tolerance);
        const QString pattern = QStringLiteral("*") + file.mid(file.lastIndexOf(QLatin1Char('.')));
        const auto entry = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                        [&](const ImageTypeEntry &e) { return e.text == pattern; });
        QVERIFY2(entry != m_entries.cend(), qPrintable(pattern));
        m_sink.messages.clear();
        m_host->LoadSpi(entry->pluginName);
        Bitmap target;
        target.assign(PixelFormat::Bits24, QImage(1, 1, QImage::Format_RGB888));
        QCOMPARE(m_host->GetBitmap(target, QStringLiteral(PELANDOR_MODULE_SAMPLES "/") + file), 0);
        m_host->FreeSpi();
        QCOMPARE(m_sink.messages, QStringList());
        const QString wrong = differences(target.image(), blockImage(false), tolerance);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    const ImageTypeEntry *entryFor(const QString &file) const
    {
        const QString pattern = QStringLiteral("*") + file.mid(file.lastIndexOf(QLatin1Char('.')));
        const auto entry = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                        [&](const ImageTypeEntry &e) { return e.text == pattern; });
        return entry == m_entries.cend() ? nullptr : &*entry;
    }

    // Every file of data/regressions, named after the fault it caught, is
    // read through the loader as a reading pass does, and is refused or
    // decoded within the time and memory budgets; one whose name says it
    // claims more than it holds is refused.
    void regressionsStayBounded_data()
    {
        QTest::addColumn<QString>("path");
        QDirIterator files(QStringLiteral(PELANDOR_MODULE_SAMPLES "/regressions"), QDir::Files);
        while (files.hasNext()) {
            files.next();
            QTest::newRow(qPrintable(files.fileName())) << files.filePath();
        }
    }

    void regressionsStayBounded()
    {
        QFETCH(QString, path);
        const ImageTypeEntry *entry = entryFor(path);
        QVERIFY2(entry, qPrintable(path));
        const qint64 memoryBefore = peakMemory();
        QElapsedTimer clock;
        clock.start();
        m_host->LoadSpi(entry->pluginName);
        Bitmap target;
        PictureInfo record{};
        m_sink.messages.clear();
        LoadImageToBitmap(false, m_host, target, record, path, entry->text);
        m_host->FreeSpi();
        QVERIFY2(clock.elapsed() < TimeBudgetMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(peakMemory() - memoryBefore < MemoryBudget, qPrintable(QString::number(peakMemory() - memoryBefore)));
        if (path.contains(QLatin1String("-claims-"))) {
            QVERIFY(target.image().isNull());
            QVERIFY(!m_sink.messages.isEmpty());
        }
    }

    // A name of each module's type linked to a FIFO nobody writes: neither
    // the host nor any module may wait on it. Each reading runs on a thread
    // of its own; one that still waits after the time budget is freed by
    // opening the FIFO for writing, and fails the test.
    void fifoBehindAnImageNameNeverBlocks()
    {
        const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const ImageTypeEntry &entry : std::as_const(m_entries)) {
            if (entry.pluginName.isEmpty())
                continue;
            const QString link = m_dir.filePath(QStringLiteral("x") + entry.text.mid(1));
            QVERIFY(QFile::link(fifo, link));
            m_host->LoadSpi(entry.pluginName);
            m_sink.messages.clear();
            const QByteArray local = QFile::encodeName(link);
            std::future<void> reading = std::async(std::launch::async, [&] {
                Bitmap target;
                PictureInfo record{};
                LoadImageToBitmap(false, m_host, target, record, link, entry.text);
                // The modules' own opens, asked directly.
                SpiHandle info = nullptr;
                SpiHandle bits = nullptr;
                m_host->GetPictureInfo(local.constData(), 0, SPI_INPUT_FILE, &record);
                if (m_host->GetPicture(local.constData(), 0, SPI_INPUT_FILE, &info, &bits, nullptr, 0) == 0) {
                    std::free(info);
                    std::free(bits);
                }
            });
            const bool finished = reading.wait_for(std::chrono::milliseconds(TimeBudgetMs)) == std::future_status::ready;
            if (!finished) {
                // Let every blocked open return (the writer end opens at once
                // while a reader waits), then wait for the reading to end.
                while (reading.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
                    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                    if (writer >= 0)
                        ::close(writer);
                }
            }
            m_host->FreeSpi();
            QVERIFY2(finished, qPrintable(entry.text));
            QCOMPARE(m_sink.messages, QStringList{QStringLiteral("Error:IsSupported")});
        }
    }
};

QTEST_MAIN(TestShippedModules)
#include "TestShippedModules.moc"
