// The shipped TIFF module through the plug-in host: the common sample
// layouts, both byte orders, the eight orientations, the first of several
// pages, a leading 128-byte header, and files the module must refuse.
#include <QTest>

#include <tiffio.h>

#include "ImportModuleFixture.h"

using namespace pelandor;

namespace {

enum class Layout { Rgb, Rgba, Grey16, Palette };

// How a test file is written.
struct Writing {
    Layout layout = Layout::Rgb;
    QByteArray mode = "wl";
    uint16_t compression = COMPRESSION_NONE;
    bool bottomUp = false;
    // Written with this Orientation tag and the rows as given (0: top-left,
    // or bottom-left when bottomUp).
    uint16_t orientation = 0;
    // One 16x16 tile instead of a strip.
    bool tiled = false;
};

// One page of `image`; the palette layout uses the pixel's position as index.
bool writePage(TIFF *tiff, const QImage &image, const Writing &how)
{
    const int width = image.width();
    const int height = image.height();
    const int samples = how.layout == Layout::Rgb ? 3 : how.layout == Layout::Rgba ? 4 : 1;
    const int bits = how.layout == Layout::Grey16 ? 16 : 8;
    const uint16_t photometric = how.layout == Layout::Grey16    ? PHOTOMETRIC_MINISBLACK
                                 : how.layout == Layout::Palette ? PHOTOMETRIC_PALETTE
                                                                 : PHOTOMETRIC_RGB;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, how.compression);
    if (how.tiled) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16u);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16u);
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(height));
    }
    TIFFSetField(tiff, TIFFTAG_ORIENTATION,
                 how.orientation ? how.orientation : how.bottomUp ? ORIENTATION_BOTLEFT : ORIENTATION_TOPLEFT);
    if (how.layout == Layout::Rgba) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    QList<uint16_t> red(256, 0), green(256, 0), blue(256, 0);
    if (how.layout == Layout::Palette) {
        for (int i = 0; i < width * height; ++i) {
            const QRgb c = image.pixel(i % width, i / width);
            red[i] = uint16_t(qRed(c) * 257);
            green[i] = uint16_t(qGreen(c) * 257);
            blue[i] = uint16_t(qBlue(c) * 257);
        }
        TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    QByteArray tile;
    for (int row = 0; row < height; ++row) {
        const int y = how.bottomUp ? height - 1 - row : row;
        QByteArray line;
        for (int x = 0; x < width; ++x) {
            const QRgb c = image.pixel(x, y);
            switch (how.layout) {
            case Layout::Rgba:
                line.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c))).append(char(qAlpha(c)));
                break;
            case Layout::Rgb:
                line.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
                break;
            case Layout::Grey16: {
                const uint16_t grey = uint16_t(qGray(c) * 257);
                line.append(reinterpret_cast<const char *>(&grey), 2);
                break;
            }
            case Layout::Palette:
                line.append(char(y * width + x));
                break;
            }
        }
        if (how.tiled)
            tile += line.leftJustified(qsizetype(TIFFTileRowSize(tiff)), '\0');
        else if (TIFFWriteScanline(tiff, line.data(), uint32_t(row), 0) < 0)
            return false;
    }
    if (how.tiled) {
        tile = tile.leftJustified(qsizetype(TIFFTileSize(tiff)), '\0');
        if (TIFFWriteRawTile(tiff, 0, tile.data(), tile.size()) < 0)
            return false;
    }
    return TIFFWriteDirectory(tiff) != 0;
}

// What the module makes of a pixel written in `layout`.
QRgb expectedColour(QRgb c, Layout layout)
{
    if (layout == Layout::Grey16)
        return qRgb(qGray(c), qGray(c), qGray(c));
    const int a = layout == Layout::Rgba ? qAlpha(c) : 255;
    auto over = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
    return qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c)));
}

} // namespace

Q_DECLARE_METATYPE(Writing)

class TestTiffImport : public QObject {
    Q_OBJECT

    ImportModuleFixture m_module;

    // The bytes of a file holding `pages`, written by libtiff.
    QByteArray tiffBytes(const QList<QImage> &pages, const Writing &how)
    {
        const QString path = m_module.filePath(QStringLiteral("written.tif"));
        TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), how.mode.constData());
        if (!tiff)
            return {};
        bool ok = true;
        for (const QImage &page : pages)
            ok = ok && writePage(tiff, page, how);
        TIFFClose(tiff);
        QFile file(path);
        if (!ok || !file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

private slots:
    void initTestCase() { m_module.setUp(QStringLiteral(PELANDOR_TIFF_MODULE), QStringLiteral("tiff.spi"), this); }

    void init() { m_module.load(); }

    void announcesTiffFiles()
    {
        const TypeListBuilder::Result result = m_module.typeList();
        // Each pattern of the module's filter becomes an entry of its own.
        QVERIFY(result.entries.contains(ImageTypeEntry{QStringLiteral("*.tif"), QStringLiteral("tiff.spi")}));
        QVERIFY(result.entries.contains(ImageTypeEntry{QStringLiteral("*.tiff"), QStringLiteral("tiff.spi")}));
        QVERIFY(m_module.messages().isEmpty());
    }

    void decodes_data()
    {
        QTest::addColumn<Writing>("how");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("afterHeader");
        QTest::addColumn<int>("depth");
        QTest::newRow("rgb") << Writing{} << 1 << false << 24;
        QTest::newRow("rgba over white") << Writing{Layout::Rgba} << 1 << false << 32;
        QTest::newRow("16-bit grey") << Writing{Layout::Grey16} << 1 << false << 16;
        QTest::newRow("palette") << Writing{Layout::Palette} << 1 << false << 8;
        QTest::newRow("big-endian lzw") << Writing{Layout::Rgb, "wb", COMPRESSION_LZW} << 1 << false << 24;
        QTest::newRow("stored bottom-up") << Writing{Layout::Rgb, "wl", COMPRESSION_NONE, true} << 1 << false << 24;
        // A tile of 768 bytes: libtiff rejects uncompressed tiles whose size
        // is not a multiple of 1024 unless it reads them from memory.
        QTest::newRow("uncompressed tile")
            << Writing{Layout::Rgb, "wl", COMPRESSION_NONE, false, true} << 1 << false << 24;
        QTest::newRow("first of two pages") << Writing{} << 2 << false << 24;
        QTest::newRow("after a 128-byte header") << Writing{Layout::Rgba, "wb"} << 1 << true << 32;
    }

    void decodes()
    {
        QFETCH(Writing, how);
        QFETCH(int, pages);
        QFETCH(bool, afterHeader);
        QFETCH(int, depth);
        const Layout layout = how.layout;
        const QImage source = sampleImage(layout == Layout::Rgba);
        QList<QImage> images{source};
        if (pages > 1)
            images.append(sampleImage(false, true));
        const QByteArray content = tiffBytes(images, how);
        QVERIFY(!content.isEmpty());
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("picture.tif"), content, afterHeader, target);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(target.image().size(), source.size());
        // Partly transparent pixels may round either way.
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                const QRgb got = target.image().pixel(x, y);
                const QRgb want = expectedColour(source.pixel(x, y), layout);
                QVERIFY2(qAbs(qRed(got) - qRed(want)) <= 1 && qAbs(qGreen(got) - qGreen(want)) <= 1
                             && qAbs(qBlue(got) - qBlue(want)) <= 1,
                         qPrintable(QStringLiteral("pixel %1,%2: %3 instead of %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(got, 8, 16)
                                        .arg(want, 8, 16)));
            }
        }
        m_module.checkInfo(path, afterHeader ? 128 : 0, QSize(3, 2), depth);
    }

    // A stored 3 x 2 picture shown as its Orientation tag says; the turned
    // ones 2 x 3. The expected picture is made with Qt's transforms.
    void appliesOrientation_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("tiled");
        QTest::addColumn<QImage>("want");
        const QImage stored = sampleImage(false);
        const QImage quarter = stored.transformed(QTransform().rotate(90));
        QTest::newRow("1 as stored") << 1 << false << stored;
        QTest::newRow("2 mirrored") << 2 << false << stored.mirrored(true, false);
        QTest::newRow("3 half a turn") << 3 << false << stored.mirrored(true, true);
        QTest::newRow("4 upside down") << 4 << false << stored.mirrored(false, true);
        QTest::newRow("5 transposed") << 5 << false << quarter.mirrored(true, false);
        QTest::newRow("6 a quarter clockwise") << 6 << false << quarter;
        QTest::newRow("7 transversed") << 7 << false << quarter.mirrored(false, true);
        QTest::newRow("8 a quarter anticlockwise") << 8 << false << stored.transformed(QTransform().rotate(-90));
        QTest::newRow("6 in a tile") << 6 << true << quarter;
    }

    void appliesOrientation()
    {
        QFETCH(int, orientation);
        QFETCH(bool, tiled);
        QFETCH(QImage, want);
        Writing how;
        how.orientation = uint16_t(orientation);
        how.tiled = tiled;
        const QByteArray content = tiffBytes({sampleImage(false)}, how);
        QVERIFY(!content.isEmpty());
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("turned.tif"), content, false, target);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(target.image().size(), want.size());
        QCOMPARE(coloursOf(target.image()), coloursOf(want));
        m_module.checkInfo(path, 0, want.size(), 24);
    }

    void refusesBrokenFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        // libtiff writes the directory after the pixel data, at the end.
        const QByteArray tiff = tiffBytes({sampleImage(false)}, Writing{});
        QVERIFY(!tiff.isEmpty());
        // A directory of 0xFFFF entries, far more than the file holds.
        const QByteArray garbageDirectory = tiff.left(4) + QByteArray("\x08\0\0\0", 4) + QByteArray(64, char(0xFF));
        QTest::newRow("not a tiff") << QByteArray("GIF89a and more text") << QStringLiteral("Error:IsSupported");
        QTest::newRow("header only") << tiff.left(8) << QStringLiteral("Error:GetPicture");
        QTest::newRow("garbage directory") << garbageDirectory << QStringLiteral("Error:GetPicture");
        QTest::newRow("cut in the directory") << tiff.left(tiff.size() - 20) << QStringLiteral("Error:GetPicture");
    }

    void refusesBrokenFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        m_module.checkRefused(QStringLiteral("broken.tif"), content, message);
    }
};

QTEST_MAIN(TestTiffImport)
#include "TestTiffImport.moc"
