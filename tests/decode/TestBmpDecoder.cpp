// Bitmap files: every layout the decoder accepts, kept in its own pixel
// format, and damaged or hostile files, which must fail without touching the
// target.
#include <QTest>

#include "DibBuilder.h"
#include "decode/Bitmap.h"
#include "decode/BmpDecoder.h"
#include "decode/DibDecoder.h"

using namespace pelandor;
using namespace testdib;

Q_DECLARE_METATYPE(pelandor::PixelFormat)

namespace {

QList<QRgb> rampPalette(int n)
{
    QList<QRgb> p;
    for (int i = 0; i < n; ++i)
        p.append(qRgb((i * 53) & 255, 255 - ((i * 17) & 255), (i * 97) & 255));
    return p;
}

// A picture with distinct colours along both axes, as 0xRRGGBB.
uint32_t rgbAt(int x, int y)
{
    return uint32_t((x * 40) & 255) << 16 | uint32_t((y * 60) & 255) << 8 | uint32_t((x * y * 13) & 255);
}

Dib paletteDib(int bpp, int w, int h, int paletteSize, uint32_t colorsUsed = 0)
{
    Dib d;
    d.width = w;
    d.height = h;
    d.bitCount = bpp;
    d.colorsUsed = colorsUsed;
    d.palette = rampPalette(paletteSize);
    d.bits = packRows(w, h, bpp, false, [paletteSize](int x, int y) { return uint32_t((x + 3 * y) % paletteSize); });
    return d;
}

QImage paletteImage(int w, int h, int paletteSize)
{
    const QList<QRgb> p = rampPalette(paletteSize);
    return imageOf(w, h, [&](int x, int y) { return p[(x + 3 * y) % paletteSize]; });
}

QRgb from565(uint32_t v)
{
    return qRgb(int(((v >> 11) & 31) * 255 / 31), int(((v >> 5) & 63) * 255 / 63), int((v & 31) * 255 / 31));
}

QRgb from555(uint32_t v)
{
    return qRgb(int(((v >> 10) & 31) * 255 / 31), int(((v >> 5) & 31) * 255 / 31), int((v & 31) * 255 / 31));
}

uint32_t value565(int x, int y)
{
    return uint32_t(((x * 5) & 31) << 11 | ((y * 9) & 63) << 5 | ((x + y) & 31));
}

uint32_t value555(int x, int y)
{
    return uint32_t(((x * 5) & 31) << 10 | ((y * 9) & 31) << 5 | ((x + y) & 31));
}

// Run-length test picture, 6 x 3, palette red, lime, blue.
const QList<QRgb> RlePalette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};

QByteArray rle8Data()
{
    return QByteArray::fromHex("0301" "0003020001" "00" "0000" // bottom row: run, literal (padded), end of line
                               "00020200" "0202" "0000"         // middle row: skip two, run of two, end of line
                               "0600" "0001");                  // top row: run of six, end of bitmap
}

QImage rle8Image()
{
    const QRgb k = qRgb(0, 0, 0);
    const QRgb r = RlePalette[0], g = RlePalette[1], b = RlePalette[2];
    const QList<QList<QRgb>> rows = {{r, r, r, r, r, r}, {k, k, b, b, k, k}, {g, g, g, b, r, g}};
    return imageOf(6, 3, [&](int x, int y) { return rows[y][x]; });
}

Dib rleDib(int bpp, int w, int h, const QByteArray &data, QList<QRgb> palette = RlePalette)
{
    Dib d;
    d.width = w;
    d.height = h;
    d.bitCount = bpp;
    d.compression = bpp == 8 ? 1 : 2;
    d.palette = palette;
    d.colorsUsed = uint32_t(palette.size());
    d.bits = data;
    return d;
}

QByteArray file(const Dib &d)
{
    return bmpFile(d);
}

bool decode(const QByteArray &data, Bitmap &out)
{
    return decodeBmp(reinterpret_cast<const uchar *>(data.constData()), size_t(data.size()), out);
}

} // namespace

class TestBmpDecoder : public QObject {
    Q_OBJECT
private slots:
    void variants_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<PixelFormat>("format");
        QTest::addColumn<QImage>("expected");
        QTest::addColumn<int>("tolerance");

        QTest::newRow("1 bit") << file(paletteDib(1, 13, 5, 2)) << PixelFormat::Bits1 << paletteImage(13, 5, 2) << 0;
        QTest::newRow("4 bits, full table") << file(paletteDib(4, 7, 3, 16)) << PixelFormat::Bits4
                                            << paletteImage(7, 3, 16) << 0;
        QTest::newRow("4 bits, colour count 5") << file(paletteDib(4, 7, 3, 5, 5)) << PixelFormat::Bits4
                                                << paletteImage(7, 3, 5) << 0;
        QTest::newRow("8 bits, colour count 200") << file(paletteDib(8, 9, 4, 200, 200)) << PixelFormat::Bits8
                                                  << paletteImage(9, 4, 200) << 0;
        {
            Dib d = paletteDib(8, 5, 3, 256);
            d.headerSize = 12;
            QTest::newRow("8 bits, core header") << file(d) << PixelFormat::Bits8 << paletteImage(5, 3, 256) << 0;
            Dib c = paletteDib(1, 9, 2, 2);
            c.headerSize = 12;
            QTest::newRow("1 bit, core header") << file(c) << PixelFormat::Bits1 << paletteImage(9, 2, 2) << 0;
        }
        {
            Dib d = paletteDib(8, 5, 3, 256);
            d.height = -3;
            d.bits = packRows(5, 3, 8, true, [](int x, int y) { return uint32_t((x + 3 * y) % 256); });
            QTest::newRow("8 bits, top-down") << file(d) << PixelFormat::Bits8 << paletteImage(5, 3, 256) << 0;
        }
        {
            Dib d;
            d.width = 5;
            d.height = 3;
            d.bitCount = 16;
            d.bits = packRows(5, 3, 16, false, value555);
            QTest::newRow("16 bits, no masks") << file(d) << PixelFormat::Bits15
                                               << imageOf(5, 3, [](int x, int y) { return from555(value555(x, y)); }) << 2;
            d.compression = 3;
            d.withMasks = true;
            d.masks = {0xF800, 0x07E0, 0x001F};
            d.bits = packRows(5, 3, 16, false, value565);
            QTest::newRow("16 bits, 5-6-5 masks") << file(d) << PixelFormat::Bits16
                                                  << imageOf(5, 3, [](int x, int y) { return from565(value565(x, y)); }) << 2;
            d.masks = {0x001F, 0x07E0, 0xF800}; // red and blue swapped
            d.bits = packRows(5, 3, 16, false, [](int x, int y) {
                const uint32_t v = value565(x, y);
                return (v >> 11) | (v & 0x07E0) | ((v & 31) << 11);
            });
            QTest::newRow("16 bits, 5-6-5 masks, blue high") << file(d) << PixelFormat::Bits16
                                                             << imageOf(5, 3, [](int x, int y) { return from565(value565(x, y)); }) << 4;
            d.masks = {0x7C00, 0x03E0, 0x001F};
            d.bits = packRows(5, 3, 16, false, value555);
            QTest::newRow("16 bits, 5-5-5 masks") << file(d) << PixelFormat::Custom
                                                  << imageOf(5, 3, [](int x, int y) { return from555(value555(x, y)); }) << 2;
        }
        {
            Dib d;
            d.width = 7; // rows need padding
            d.height = 3;
            d.bits = packRows(7, 3, 24, false, rgbAt);
            const QImage expected = imageOf(7, 3, [](int x, int y) { return QRgb(0xFF000000u | rgbAt(x, y)); });
            QTest::newRow("24 bits") << file(d) << PixelFormat::Bits24 << expected << 0;
            d.headerSize = 108;
            QTest::newRow("24 bits, V4 header") << file(d) << PixelFormat::Bits24 << expected << 0;
            d.headerSize = 40;
            d.bitCount = 32;
            d.bits = packRows(7, 3, 32, false, rgbAt);
            QTest::newRow("32 bits") << file(d) << PixelFormat::Bits32 << expected << 0;
            d.compression = 3;
            d.withMasks = true;
            d.masks = {0x0000FF00, 0x00FF0000, 0xFF000000}; // blue in the lowest byte is not used
            d.bits = packRows(7, 3, 32, false, [](int x, int y) {
                const uint32_t v = rgbAt(x, y);
                return ((v >> 16) & 255) << 8 | ((v >> 8) & 255) << 16 | (v & 255) << 24;
            });
            QTest::newRow("32 bits, masks") << file(d) << PixelFormat::Custom << expected << 0;
            d.headerSize = 124;
            d.withMasks = false;
            QTest::newRow("32 bits, masks in V5 header") << file(d) << PixelFormat::Custom << expected << 0;
        }
        QTest::newRow("RLE8") << file(rleDib(8, 6, 3, rle8Data())) << PixelFormat::Device << rle8Image() << 0;
        {
            const QList<QRgb> p = rampPalette(5);
            // Bottom row: run of five alternating 1 and 2; top row: literal 0 1 2 3 4.
            const QByteArray data = QByteArray::fromHex("0512" "0000" "0005" "01234000" "0001");
            const QList<QList<int>> rows = {{0, 1, 2, 3, 4}, {1, 2, 1, 2, 1}};
            QTest::newRow("RLE4") << file(rleDib(4, 5, 2, data, p)) << PixelFormat::Device
                                  << imageOf(5, 2, [&](int x, int y) { return p[rows[y][x]]; }) << 0;
        }
    }
    void variants()
    {
        QFETCH(QByteArray, data);
        QFETCH(PixelFormat, format);
        QFETCH(QImage, expected);
        QFETCH(int, tolerance);
        Bitmap bitmap;
        QVERIFY(decode(data, bitmap));
        QCOMPARE(bitmap.pixelFormat(), format);
        QCOMPARE(bitmap.image().format(), Bitmap::storageFormat(format));
        const int difference = largestDifference(bitmap.image(), expected);
        QVERIFY2(difference >= 0 && difference <= tolerance, qPrintable(QString::number(difference)));
    }

    void keepsPaletteAndMasks()
    {
        Bitmap bitmap;
        QVERIFY(decode(file(paletteDib(4, 7, 3, 5, 5)), bitmap));
        QCOMPARE(bitmap.palette(), rampPalette(5));

        Dib d;
        d.bitCount = 16;
        d.compression = 3;
        d.withMasks = true;
        d.masks = {0xF800, 0x07E0, 0x001F};
        d.bits = packRows(4, 4, 16, false, value565);
        QVERIFY(decode(file(d), bitmap));
        QCOMPARE(bitmap.masks(), d.masks);
        QVERIFY(bitmap.palette().isEmpty());
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = file(paletteDib(8, 9, 4, 16, 16));
        QTest::newRow("not BM") << QByteArray("XY" + good.mid(2));
        QTest::newRow("header only") << good.left(20);
        QTest::newRow("truncated pixel data") << good.left(good.size() - 10);
        {
            QByteArray d = good;
            qToLittleEndian<uint32_t>(500, d.data() + 14); // info header size past the data
            QTest::newRow("lying header size") << d;
            d = good;
            qToLittleEndian<uint32_t>(uint32_t(good.size() + 1), d.data() + 10);
            QTest::newRow("pixel offset past the end") << d;
            d = good;
            qToLittleEndian<uint32_t>(20, d.data() + 10);
            QTest::newRow("pixel offset inside the header") << d;
        }
        auto variant = [](const char *name, auto change) {
            Dib d = paletteDib(8, 9, 4, 16, 16);
            change(d);
            QTest::newRow(name) << bmpFile(d);
        };
        variant("two planes", [](Dib &d) { d.planes = 2; });
        variant("zero width", [](Dib &d) { d.width = 0; });
        variant("negative width", [](Dib &d) { d.width = -9; });
        variant("absurd width", [](Dib &d) { d.width = 0x7FFFFFFF; });
        variant("absurd size for the data", [](Dib &d) { d.width = 50000; d.height = 50000; });
        variant("most negative height", [](Dib &d) { d.height = int(0x80000000u); });
        variant("colour count past the data", [](Dib &d) { d.colorsUsed = 0x40000000; });
        variant("palette index past the palette", [](Dib &d) {
            d.palette = rampPalette(4);
            d.colorsUsed = 4;
        });
        variant("depth 2", [](Dib &d) { d.bitCount = 2; });
        variant("unknown compression", [](Dib &d) { d.compression = 4; });
        variant("masks on 8 bits", [](Dib &d) { d.compression = 3; d.withMasks = true; d.masks = {0xE0, 0x1C, 0x03}; });
        {
            Dib d = paletteDib(1, 9, 2, 2);
            d.palette = rampPalette(1);
            d.colorsUsed = 1;
            QTest::newRow("1 bit, second colour missing") << bmpFile(d);
        }
        {
            Dib d;
            d.bitCount = 24;
            d.compression = 3;
            d.withMasks = true;
            d.masks = {0xFF0000, 0xFF00, 0xFF};
            d.bits = packRows(4, 4, 24, false, rgbAt);
            QTest::newRow("masks on 24 bits") << bmpFile(d);
            d.bitCount = 32;
            d.masks = {0xFF0000, 0xFFFF00, 0xFF};
            d.bits = packRows(4, 4, 32, false, rgbAt);
            QTest::newRow("overlapping masks") << bmpFile(d);
            d.masks = {0xF0F000, 0xF00, 0xFF};
            QTest::newRow("broken mask") << bmpFile(d);
        }
        const QByteArray rle = rle8Data();
        QTest::newRow("RLE8 truncated") << bmpFile(rleDib(8, 6, 3, rle.left(rle.size() - 4)));
        QTest::newRow("RLE8 run past the line") << bmpFile(rleDib(8, 6, 3, QByteArray::fromHex("0701" "0001")));
        QTest::newRow("RLE8 literal past the line")
            << bmpFile(rleDib(8, 6, 3, QByteArray::fromHex("0403" "0003000102" "00" "0001")));
        QTest::newRow("RLE8 move past the picture") << bmpFile(rleDib(8, 6, 3, QByteArray::fromHex("00020004" "0001")));
        QTest::newRow("RLE8 rows past the picture")
            << bmpFile(rleDib(8, 6, 3, QByteArray::fromHex("0000" "0000" "0000" "0101" "0001")));
        QTest::newRow("RLE8 literal past the data") << bmpFile(rleDib(8, 6, 3, QByteArray::fromHex("0006" "0102")));
        QTest::newRow("RLE8 index past the palette") << bmpFile(rleDib(8, 6, 3, QByteArray::fromHex("0309" "0001")));
        QTest::newRow("RLE8 absurd size for the data") << bmpFile(rleDib(8, 16000, 16000, QByteArray::fromHex("0001")));
        {
            Dib d = rleDib(8, 6, 3, rle);
            d.height = -3;
            QTest::newRow("RLE8 top-down") << bmpFile(d);
            d = rleDib(8, 6, 3, rle);
            d.bitCount = 4;
            QTest::newRow("RLE8 with 4 bits") << bmpFile(d);
        }
        QTest::newRow("RLE4 index past the palette") << bmpFile(rleDib(4, 6, 3, QByteArray::fromHex("0239" "0001")));
    }
    void damaged()
    {
        QFETCH(QByteArray, data);
        Bitmap bitmap;
        bitmap.assign(PixelFormat::Bits24, imageOf(3, 2, [](int, int) { return qRgb(1, 2, 3); }));
        QVERIFY(!decode(data, bitmap));
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(bitmap.image().size(), QSize(3, 2));
        QCOMPARE(bitmap.image().pixel(2, 1), qRgb(1, 2, 3));
    }

    void emptyFileIsAnEmptyPicture()
    {
        Bitmap bitmap;
        bitmap.assign(PixelFormat::Bits8, paletteImage(3, 3, 4));
        QVERIFY(decodeBmp(nullptr, 0, bitmap));
        QVERIFY(bitmap.isEmpty());
        QCOMPARE(Bitmap::bitDepthOf(bitmap.pixelFormat()), 0);
    }

    void filesFromAnotherEncoder()
    {
        Bitmap bitmap;
        QVERIFY(decodeBmpFile(QStringLiteral(DECODE_TEST_DATA "/rle8-expands-to-device-format.bmp"), bitmap));
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Device);
        QCOMPARE(bitmap.image().size(), QSize(16, 16));
        QCOMPARE(bitmap.image().pixel(2, 2), qRgb(255, 0, 0));
        QCOMPARE(bitmap.image().pixel(12, 2), qRgb(0, 0, 255));
        QCOMPARE(bitmap.image().pixel(2, 12), qRgb(0, 255, 0));

        QVERIFY(decodeBmpFile(QStringLiteral(DECODE_TEST_DATA "/v5-header-32-bit-masks-is-custom.bmp"), bitmap));
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Custom);
        QCOMPARE(bitmap.image().pixel(12, 2), qRgb(0, 0, 255));
        QCOMPARE(bitmap.image().pixel(2, 12), qRgb(0, 255, 0));

        QVERIFY(!decodeBmpFile(QStringLiteral(DECODE_TEST_DATA "/truncated-rle8.bmp"), bitmap));
        QVERIFY(!decodeBmpFile(QStringLiteral(DECODE_TEST_DATA "/no-such-file.bmp"), bitmap));
    }

    // The plug-in host sizes the blocks a module hands back with these.
    void blockSizes()
    {
        Dib d = paletteDib(4, 7, 3, 5, 5);
        const QByteArray info = infoBlock(d);
        const auto *p = reinterpret_cast<const uchar *>(info.constData());
        QCOMPARE(dibInfoSize(p, size_t(info.size())), size_t(40 + 5 * 4));
        QCOMPARE(dibBitsSize(p, size_t(info.size())), size_t(4 * 3));
        QCOMPARE(dibInfoSize(p, 39), size_t(0));
        Bitmap bitmap;
        QVERIFY(decodeDib(p, size_t(info.size()), reinterpret_cast<const uchar *>(d.bits.constData()),
                          size_t(d.bits.size()), bitmap));
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Bits4);
    }
};

QTEST_GUILESS_MAIN(TestBmpDecoder)
#include "TestBmpDecoder.moc"
