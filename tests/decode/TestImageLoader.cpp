// The image loader's routes: built in by exact pattern text, the plug-in
// fallback for data without the JPEG start marker, the plug-in route itself
// (through a fake host), failure outcomes, and the type lookup.
#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include "DibBuilder.h"
#include "JpegBuilder.h"
#include "decode/Bitmap.h"
#include "decode/ImageLoader.h"
#include "decode/JpegDecoder.h"
#include "decode/PictureSource.h"

#include <new>

using namespace pelandor;
using testjpeg::Kind;

namespace {

// Reports this depth, so a test can tell a record the fake filled.
constexpr int16_t FakeDepth = 77;

// A plug-in host whose module decodes anything Qt or our JPEG decoder reads,
// at offset 0 or 128, like a JPEG module that also takes other formats.
class FakeHost : public PictureSource {
public:
    enum class Mode { Decodes, Rejects, NotLoaded, Throws, NotRegularFile };
    explicit FakeHost(Mode mode)
        : m_mode(mode)
    {
    }

    int GetBitmap(Bitmap &target, const QString &path) override
    {
        ++bitmapCalls;
        formatSeen = target.pixelFormat();
        if (m_mode == Mode::Throws)
            throw std::bad_alloc();
        if (m_mode == Mode::NotLoaded)
            return -1;
        if (m_mode == Mode::Rejects)
            return 2;
        if (m_mode == Mode::NotRegularFile)
            return NotRegularFileResult;
        const QImage image = read(path);
        if (image.isNull())
            return 2;
        target.assign(target.pixelFormat(), image);
        return 0;
    }

    int GetPictureInfo(const char *source, int32_t, uint32_t, PictureInfo *info) override
    {
        ++infoCalls;
        if (m_mode != Mode::Decodes)
            return -1;
        const QImage image = read(QString::fromUtf8(source));
        if (image.isNull())
            return 1;
        info->width = image.width();
        info->height = image.height();
        info->bitDepth = FakeDepth;
        return 0;
    }

    int bitmapCalls = 0;
    int infoCalls = 0;
    PixelFormat formatSeen = PixelFormat::Device;

private:
    QImage read(const QString &path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QImage();
        const QByteArray data = file.readAll();
        for (qsizetype offset : {0, 128}) {
            const QByteArray part = data.mid(offset);
            Bitmap bitmap;
            if (decodeJpeg(reinterpret_cast<const uchar *>(part.constData()), size_t(part.size()), bitmap)
                == JpegResult::Ok)
                return bitmap.image();
            const QImage image = QImage::fromData(part, "PNG");
            if (!image.isNull())
                return image;
        }
        return QImage();
    }

    Mode m_mode;
};

void gradient(int x, int y, unsigned char *px)
{
    px[0] = uchar(x * 8);
    px[1] = uchar(y * 8);
    px[2] = 100;
}

QByteArray bmp(int bitCount, uint32_t compression, std::array<uint32_t, 3> masks)
{
    testdib::Dib d;
    d.width = 6;
    d.height = 5;
    d.bitCount = bitCount;
    d.compression = compression;
    d.withMasks = compression == 3;
    d.masks = masks;
    d.bits = testdib::packRows(6, 5, bitCount, false, [](int x, int y) { return uint32_t(x * 1000 + y); });
    return testdib::bmpFile(d);
}

QByteArray rle8Bmp()
{
    testdib::Dib d;
    d.width = 4;
    d.height = 2;
    d.bitCount = 8;
    d.compression = 1;
    d.palette = {qRgb(255, 0, 0), qRgb(0, 0, 255)};
    d.colorsUsed = 2;
    d.bits = QByteArray::fromHex("0400" "0000" "0401" "0001");
    return testdib::bmpFile(d);
}

QByteArray pngBytes()
{
    QFile file(QStringLiteral(DECODE_TEST_DATA "/png-with-jpeg-extension.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

PictureInfo presetRecord()
{
    PictureInfo record{};
    record.width = 5;
    record.height = 6;
    record.bitDepth = 4;
    return record;
}

Bitmap previousPicture()
{
    Bitmap bitmap;
    QImage image(9, 9, QImage::Format_Indexed8);
    image.setColorTable({qRgb(1, 2, 3)});
    image.fill(0);
    bitmap.assign(PixelFormat::Bits8, image);
    return bitmap;
}

} // namespace

class TestImageLoader : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    QString put(const QString &name, const QByteArray &data)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return QString();
        return file.fileName();
    }

private slots:
    void routes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("jpegPluginFound");
        QTest::addColumn<int>("hostMode");
        QTest::addColumn<QSize>("size");      // of the target afterwards
        QTest::addColumn<int>("bitDepth");    // of the record afterwards
        QTest::addColumn<QSize>("recordSize");
        QTest::addColumn<int>("hostCalls");

        const int decodes = int(FakeHost::Mode::Decodes);
        const int rejects = int(FakeHost::Mode::Rejects);
        const QSize kept(5, 6); // the preset record's size
        const QByteArray colour = testjpeg::make(Kind::Rgb, 20, 10, gradient);
        const QByteArray grey = testjpeg::make(Kind::Grey, 20, 10, [](int x, int, unsigned char *p) { *p = uchar(x * 9); });
        const QByteArray cmyk = testjpeg::make(Kind::CmykAdobe, 20, 10, [](int, int, unsigned char *p) { p[0] = p[1] = p[2] = p[3] = 40; });

        QTest::newRow("colour JPEG") << "a.jpg" << colour << "*.JPG" << false << decodes << QSize(20, 10) << 24 << QSize(20, 10) << 0;
        QTest::newRow("greyscale JPEG") << "a.jpg" << grey << "*.JPG" << false << decodes << QSize(20, 10) << 8 << QSize(20, 10) << 0;
        QTest::newRow("CMYK JPEG") << "a.jpg" << cmyk << "*.JPG" << false << decodes << QSize(20, 10) << 24 << QSize(20, 10) << 0;
        QTest::newRow(".jpe decoded as JPEG") << "a.jpe" << colour << "*.JPG" << false << decodes << QSize(20, 10) << 24 << QSize(20, 10) << 0;
        QTest::newRow("16 bits 5-6-5") << "a.bmp" << bmp(16, 3, {0xF800, 0x07E0, 0x001F}) << "*.BMP" << false << decodes << QSize(6, 5) << 16 << QSize(6, 5) << 0;
        QTest::newRow("16 bits, no masks") << "a.bmp" << bmp(16, 0, {}) << "*.BMP" << false << decodes << QSize(6, 5) << 15 << QSize(6, 5) << 0;
        QTest::newRow("32 bits with masks") << "a.bmp" << bmp(32, 3, {0xFF0000, 0xFF00, 0xFF}) << "*.BMP" << false << decodes << QSize(6, 5) << 0 << QSize(6, 5) << 0;
        QTest::newRow("RLE8 decodes with depth 0") << "a.bmp" << rle8Bmp() << "*.BMP" << false << decodes << QSize(4, 2) << 0 << QSize(4, 2) << 0;
        QTest::newRow("zero-length bitmap") << "a.bmp" << QByteArray() << "*.BMP" << false << decodes << QSize(0, 0) << 0 << QSize(0, 0) << 0;
        QTest::newRow("damaged bitmap") << "a.bmp" << bmp(24, 0, {}).left(70) << "*.BMP" << true << decodes << QSize(0, 0) << 0 << kept << 0;

        QTest::newRow("PNG named .jpg, JPEG plug-in") << "p.jpg" << pngBytes() << "*.JPG" << true << decodes << QSize(16, 16) << int(FakeDepth) << QSize(16, 16) << 1;
        QTest::newRow("PNG named .jpg, no JPEG plug-in") << "p.jpg" << pngBytes() << "*.JPG" << false << decodes << QSize(0, 0) << 0 << kept << 0;
        QTest::newRow("PNG named .jpg, plug-in rejects it") << "p.jpg" << pngBytes() << "*.JPG" << true << rejects << QSize(0, 0) << 0 << QSize(0, 0) << 1;
        QTest::newRow("JPEG behind 128-byte header") << "h.jpg" << QByteArray(128, 'x') + colour << "*.JPG" << true << decodes << QSize(20, 10) << int(FakeDepth) << QSize(20, 10) << 1;
        QTest::newRow("JPEG damaged after its start, plug-in present") << "d.jpg" << colour.left(200) << "*.JPG" << true << decodes << QSize(0, 0) << 0 << kept << 0;
        QTest::newRow("lower-case pattern takes the plug-in route") << "a.jpg" << colour << "*.jpg" << false << decodes << QSize(20, 10) << int(FakeDepth) << QSize(20, 10) << 1;
        QTest::newRow("plug-in type, module rejects the file") << "a.png" << QByteArray("not a picture") << "*.PNG" << false << rejects << QSize(0, 0) << 0 << QSize(0, 0) << 1;
        QTest::newRow("plug-in type, no module loaded") << "a.png" << pngBytes() << "*.PNG" << false << int(FakeHost::Mode::NotLoaded) << QSize(0, 0) << 0 << QSize(0, 0) << 1;
    }
    void routes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(QString, pattern);
        QFETCH(bool, jpegPluginFound);
        QFETCH(int, hostMode);
        QFETCH(QSize, size);
        QFETCH(int, bitDepth);
        QFETCH(QSize, recordSize);
        QFETCH(int, hostCalls);
        QVERIFY(m_dir.isValid());
        const QString path = put(name, data);
        QVERIFY(!path.isEmpty());

        FakeHost host{FakeHost::Mode(hostMode)};
        Bitmap target = previousPicture();
        PictureInfo record = presetRecord();
        LoadImageToBitmap(jpegPluginFound, &host, target, record, path, pattern);

        QCOMPARE(target.image().size(), size);
        QCOMPARE(int(record.bitDepth), bitDepth);
        QCOMPARE(QSize(record.width, record.height), recordSize);
        QCOMPARE(host.bitmapCalls, hostCalls);
        QCOMPARE(host.infoCalls, hostCalls);
        if (hostCalls > 0)
            QCOMPARE(host.formatSeen, PixelFormat::Bits24);
        // Nothing of the previous picture may survive a failure.
        if (target.isEmpty())
            QVERIFY(target.palette().isEmpty());
    }

    // The host could not open the path as a regular file (a FIFO, say): the
    // module is not asked for its information either, since its own open of
    // the path could wait for ever.
    void noInformationAskedForAFileTheHostCouldNotOpen()
    {
        FakeHost host{FakeHost::Mode::NotRegularFile};
        Bitmap target = previousPicture();
        PictureInfo record = presetRecord();
        LoadImageToBitmap(false, &host, target, record, m_dir.filePath(QStringLiteral("fifo.png")), QStringLiteral("*.png"));
        QCOMPARE(host.bitmapCalls, 1);
        QCOMPARE(host.infoCalls, 0);
        QVERIFY(target.isEmpty());
    }

    void nullHostIsHarmless()
    {
        const QString path = put("n.png", pngBytes());
        Bitmap target = previousPicture();
        PictureInfo record = presetRecord();
        LoadImageToBitmap(true, nullptr, target, record, path, QStringLiteral("*.PNG"));
        QVERIFY(target.isEmpty());
        QCOMPARE(record.bitDepth, int16_t(0));

        const QString fake = put("n.jpg", pngBytes());
        LoadImageToBitmap(true, nullptr, target, record, fake, QStringLiteral("*.JPG"));
        QVERIFY(target.isEmpty());
    }

    void nothingEscapesFromTheHost()
    {
        const QString path = put("t.png", pngBytes());
        FakeHost host{FakeHost::Mode::Throws};
        Bitmap target = previousPicture();
        PictureInfo record = presetRecord();
        LoadImageToBitmap(false, &host, target, record, path, QStringLiteral("*.PNG"));
        QVERIFY(target.isEmpty());
    }

    void targetReusedAcrossFiles()
    {
        const QString paletted = put("r8.bmp", rle8Bmp());
        const QString colour = put("r.jpg", testjpeg::make(Kind::Rgb, 8, 8, gradient));
        const QString missing = m_dir.filePath("gone.jpg");
        FakeHost host{FakeHost::Mode::Decodes};
        Bitmap target;
        PictureInfo record{};
        LoadImageToBitmap(false, &host, target, record, paletted, QStringLiteral("*.BMP"));
        QCOMPARE(target.image().size(), QSize(4, 2));
        LoadImageToBitmap(false, &host, target, record, colour, QStringLiteral("*.JPG"));
        QCOMPARE(target.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(record.bitDepth, int16_t(24));
        LoadImageToBitmap(true, &host, target, record, missing, QStringLiteral("*.JPG"));
        QVERIFY(target.isEmpty());
        QCOMPARE(record.bitDepth, int16_t(0));
        QCOMPARE(record.width, 8);
    }

    void findImageType_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("pattern"); // empty: none
        QTest::addColumn<QString>("plugin");
        QTest::newRow("bitmap") << "/pics/a.bmp" << "*.BMP" << "";
        QTest::newRow(".jpeg") << "/pics/a.jpeg" << "*.JPG" << "";
        QTest::newRow(".JPE") << "/pics/a.JPE" << "*.JPG" << "";
        QTest::newRow("plug-in pattern in lower case") << "/pics/a.PNG" << "*.png" << "png.spi";
        QTest::newRow("last dot counts") << "/pics/a.png.bmp" << "*.BMP" << "";
        QTest::newRow("no extension") << "/pics.dir/readme" << "" << "";
        QTest::newRow("unknown extension") << "/pics/a.gif" << "" << "";
        QTest::newRow("last entry never returned") << "/pics/a.xyz" << "" << "";
    }
    void findImageType()
    {
        QFETCH(QString, path);
        QFETCH(QString, pattern);
        QFETCH(QString, plugin);
        const ImageTypeList types = {{"*.BMP", ""}, {"*.JPG", ""}, {"*.png", "png.spi"},
                                     {"*.JPG", "jpeg.spi"}, {"*.XYZ", "last.spi"}};
        const std::optional<ImageTypeEntry> entry = FindImageType(path, types);
        if (pattern.isEmpty()) {
            QVERIFY(!entry);
            return;
        }
        QVERIFY(entry);
        QCOMPARE(entry->text, pattern);
        QCOMPARE(entry->pluginName, plugin);
    }
};

QTEST_GUILESS_MAIN(TestImageLoader)
#include "TestImageLoader.moc"
