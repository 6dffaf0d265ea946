// The plug-in host against test modules: pass-through calls, loading and
// releasing, decoding every picture layout, and modules that misbehave.
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include "TestModules.h"
#include "decode/Bitmap.h"
#include "plugin/TSpi.h"

using namespace pelandor;

namespace {

const QList<QRgb> PictureColours{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF804020};
const QRgb MonoLight = 0xFFC86432;
const QRgb MonoDark = 0xFF0A141E;

// A file with `atStart` at byte 0 and, when given, `atHeader` at byte 128.
QByteArray fileContent(const QByteArray &atStart, const QByteArray &atHeader)
{
    QByteArray data = atStart;
    if (!atHeader.isEmpty()) {
        data.append(QByteArray(128 - data.size(), '#'));
        data.append(atHeader);
    }
    return data;
}

QList<QRgb> coloursOf(const QImage &image)
{
    QList<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.append(image.pixel(x, y));
    return colours;
}

// A target with content of its own, to show that a failure leaves it alone.
Bitmap previousPicture(PixelFormat format = PixelFormat::Bits24)
{
    QImage image(5, 4, QImage::Format_RGB888);
    image.fill(QColor(10, 200, 30));
    Bitmap bitmap;
    bitmap.assign(format, image);
    return bitmap;
}

} // namespace

class TestTSpi : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString writeFile(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("picture%1.fak").arg(++m_files));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return QString();
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(installModule(m_dir.path(), QStringLiteral("plain"), QStringLiteral("plain.spi")));
        QVERIFY(installModule(m_dir.path(), QStringLiteral("plain"), QStringLiteral("other.SPI")));
        QVERIFY(installModule(m_dir.path(), QStringLiteral("no_decode"), QStringLiteral("nodecode.spi")));
        QVERIFY(installModule(m_dir.path(), QStringLiteral("no_getpicture"), QStringLiteral("nopicture.spi")));
        QFile junk(m_dir.filePath(QStringLiteral("junk.spi")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a module\n");
    }

    void notLoadedCallsShowTheirMessage_data()
    {
        QTest::addColumn<QString>("load");
        QTest::newRow("never loaded") << QString();
        QTest::newRow("empty name") << QStringLiteral("");
        QTest::newRow("missing file") << QStringLiteral("missing.spi");
        QTest::newRow("not a module") << QStringLiteral("junk.spi");
        QTest::newRow("name with a folder") << QStringLiteral("../plain.spi");
    }

    void notLoadedCallsShowTheirMessage()
    {
        QFETCH(QString, load);
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        if (!load.isNull()) {
            host.LoadSpi(QStringLiteral("plain.spi"));
            QVERIFY(host.isLoaded());
            host.LoadSpi(load);
        }
        QVERIFY(!host.isLoaded());

        char buffer[128] = {};
        PictureInfo info{};
        SpiHandle a = nullptr;
        SpiHandle b = nullptr;
        QCOMPARE(host.GetPluginInfo(0, buffer, 128), -1);
        QCOMPARE(host.IsSupported("x", 0), -1);
        QCOMPARE(host.GetPictureInfo("x", 0, 0, &info), -1);
        QCOMPARE(host.GetPicture("x", 0, 0, &a, &b, nullptr, 0), -1);
        QCOMPARE(sink.messages,
                 QStringList({QStringLiteral("PluginがLoadされていません(GetPluginInfo)"),
                              QStringLiteral("PluginがLoadされていません(IsSpported)"),
                              QStringLiteral("PluginがLoadされていません(GetPictureInfo)"),
                              QStringLiteral("PluginがLoadされていません(GetPicture)")}));

        sink.messages.clear();
        Bitmap target = previousPicture();
        const QImage before = target.image();
        QCOMPARE(host.GetBitmap(target, writeFile("FAKE rgb24\n")), -1);
        QCOMPARE(sink.messages, QStringList{QStringLiteral("PluginがLoadされていません(IsSpported)")});
        QCOMPARE(target.image(), before);
    }

    void passesCallsThrough()
    {
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("plain.spi"));
        QVERIFY(host.isLoaded());

        char buffer[128] = {};
        QCOMPARE(host.GetPluginInfo(0, buffer, 128), 4);
        QCOMPARE(QByteArray(buffer), QByteArray("00IN"));

        const QString path = writeFile("FAKE rgb24\n");
        const QByteArray local = QFile::encodeName(path);
        const int fd = ::open(local.constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QVERIFY(host.IsSupported(local.constData(), uint32_t(fd)) != 0);
        ::close(fd);

        PictureInfo info{};
        QCOMPARE(host.GetPictureInfo(local.constData(), 0, 0, &info), 0);
        QCOMPARE(info.width, 3);
        QCOMPARE(info.bitDepth, int16_t(24));
        QCOMPARE(host.GetPictureInfo(local.constData(), 128, 0, &info), 2);
        QVERIFY(sink.messages.isEmpty());
    }

    void loadingReleasesTheModuleBefore()
    {
        RecordingSink sink;
        const QString first = m_dir.filePath(QStringLiteral("plain.spi"));
        const QString second = m_dir.filePath(QStringLiteral("other.SPI"));
        {
            TSpi host(m_dir.path(), sink);
            host.LoadSpi(QStringLiteral("plain.spi"));
            QVERIFY(isResident(first));
            host.LoadSpi(QStringLiteral("other.SPI"));
            QVERIFY(!isResident(first));
            QVERIFY(isResident(second));
            host.FreeSpi();
            QVERIFY(!host.isLoaded());
            QVERIFY(!isResident(second));
            host.LoadSpi(QStringLiteral("plain.spi"));
            QVERIFY(isResident(first));
        }
        QVERIFY(!isResident(first));
        QVERIFY(sink.messages.isEmpty());
    }

    void decodesPictures_data()
    {
        QTest::addColumn<QByteArray>("atStart");
        QTest::addColumn<QByteArray>("atHeader");
        QTest::addColumn<int>("format");
        QTest::addColumn<QList<QRgb>>("colours");

        const int rgb24 = int(PixelFormat::Bits24);
        const QList<QRgb> mono{MonoLight, MonoDark, MonoLight, MonoDark, MonoLight, MonoDark};
        QTest::newRow("24-bit") << QByteArray("FAKE rgb24\n") << QByteArray() << rgb24 << PictureColours;
        QTest::newRow("32-bit") << QByteArray("FAKE rgb32\n") << QByteArray() << rgb24 << PictureColours;
        QTest::newRow("1-bit palette") << QByteArray("FAKE pal1\n") << QByteArray() << rgb24 << mono;
        QTest::newRow("4-bit palette") << QByteArray("FAKE pal4\n") << QByteArray() << rgb24 << PictureColours;
        QTest::newRow("8-bit palette") << QByteArray("FAKE pal8\n") << QByteArray() << rgb24 << PictureColours;
        QTest::newRow("top-down rows") << QByteArray("FAKE topdown\n") << QByteArray() << rgb24 << PictureColours;
        QTest::newRow("after a 128-byte header")
            << QByteArray("some header") << QByteArray("FAKE rgb24\n") << rgb24 << PictureColours;
        QTest::newRow("accepted at 0, decoded at 128")
            << QByteArray("FAKE fail\n") << QByteArray("FAKE pal8\n") << rgb24 << PictureColours;
        QTest::newRow("32-bit target keeps its format")
            << QByteArray("FAKE pal4\n") << QByteArray() << int(PixelFormat::Bits32) << PictureColours;
        QTest::newRow("8-bit target keeps its format")
            << QByteArray("FAKE rgb24\n") << QByteArray() << int(PixelFormat::Bits8) << PictureColours;
    }

    void decodesPictures()
    {
        QFETCH(QByteArray, atStart);
        QFETCH(QByteArray, atHeader);
        QFETCH(int, format);
        QFETCH(QList<QRgb>, colours);

        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("plain.spi"));
        Bitmap target = previousPicture(PixelFormat(format));
        QCOMPARE(host.GetBitmap(target, writeFile(fileContent(atStart, atHeader))), 0);
        QCOMPARE(sink.messages, QStringList());
        QCOMPARE(int(target.pixelFormat()), format);
        QCOMPARE(target.image().format(), Bitmap::storageFormat(PixelFormat(format)));
        QCOMPARE(target.width(), 3);
        QCOMPARE(target.height(), 2);
        QCOMPARE(coloursOf(target.image()), colours);
    }

    void failuresLeaveTheTarget_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QByteArray>("atStart");
        QTest::addColumn<QByteArray>("atHeader");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");

        const QString plain = QStringLiteral("plain.spi");
        const QString rejected = QStringLiteral("Error:IsSupported");
        const QString failed = QStringLiteral("Error:GetPicture");
        const int invalid = TSpi::InvalidPictureResult;
        QTest::newRow("rejected at 0 and 128") << plain << QByteArray("plain text") << QByteArray("more") << 2 << rejected;
        QTest::newRow("empty file") << plain << QByteArray() << QByteArray() << 2 << rejected;
        QTest::newRow("fails at 0 and 128, second code")
            << plain << QByteArray("FAKE fail\n") << QByteArray("FAKE fail\n") << 6 << failed;
        QTest::newRow("fails at 0, nothing at 128") << plain << QByteArray("FAKE fail\n") << QByteArray() << 2 << failed;
        QTest::newRow("failure with blocks left behind")
            << plain << QByteArray("FAKE failstore\n") << QByteArray("FAKE failstore\n") << 9 << failed;

        // Each of these claims success; the same answer at 128 makes the
        // host's own code the final one.
        const char *const hostile[] = {"nullhandles", "nullinfo", "samehandle", "tinyinfo", "tinybits",
                                       "absurd", "zerowidth", "shorttable", "shortrows", "badcompression"};
        for (const char *keyword : hostile) {
            const QByteArray line = QByteArray("FAKE ") + keyword + '\n';
            QTest::addRow("%s", keyword) << plain << line << line << invalid << failed;
        }

        QTest::newRow("no IsSupported export") << QStringLiteral("nodecode.spi") << QByteArray("FAKE rgb24\n")
                                               << QByteArray() << 2 << rejected;
        QTest::newRow("no GetPicture export") << QStringLiteral("nopicture.spi") << QByteArray("FAKE rgb24\n")
                                              << QByteArray() << -1 << failed;
    }

    void failuresLeaveTheTarget()
    {
        QFETCH(QString, module);
        QFETCH(QByteArray, atStart);
        QFETCH(QByteArray, atHeader);
        QFETCH(int, result);
        QFETCH(QString, message);

        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(module);
        QVERIFY(host.isLoaded());
        Bitmap target = previousPicture();
        const QImage before = target.image();
        QCOMPARE(host.GetBitmap(target, writeFile(fileContent(atStart, atHeader))), result);
        QCOMPARE(sink.messages, QStringList{message});
        QCOMPARE(target.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(target.image(), before);
    }

    void unreadableFileNeverReachesTheModule_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.fak"));
        QTest::newRow("folder") << m_dir.path();
        QTest::newRow("empty path") << QString();
    }

    void unreadableFileNeverReachesTheModule()
    {
        QFETCH(QString, path);
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("plain.spi"));
        Bitmap target = previousPicture();
        const QImage before = target.image();
        QCOMPARE(host.GetBitmap(target, path), TSpi::NotRegularFileResult);
        QCOMPARE(sink.messages, QStringList{QStringLiteral("Error:IsSupported")});
        QCOMPARE(target.image(), before);
    }

    void missingExportsAreNotCalled()
    {
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("nodecode.spi"));
        QVERIFY(host.isLoaded());
        PictureInfo info{};
        SpiHandle a = nullptr;
        SpiHandle b = nullptr;
        QCOMPARE(host.IsSupported("x", 0), 0);
        QCOMPARE(host.GetPictureInfo("x", 0, 0, &info), -1);
        QCOMPARE(host.GetPicture("x", 0, 0, &a, &b, nullptr, 0), -1);
        QVERIFY(sink.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTSpi)
#include "TestTSpi.moc"
