// All seven shipped import modules side by side, as the build installs them:
// the type list they give, and one picture of each format read through the
// module its entry names (each module loaded after the others in one process).
#include <QTest>

#include "ImportModuleFixture.h"

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
};

QTEST_MAIN(TestShippedModules)
#include "TestShippedModules.moc"
