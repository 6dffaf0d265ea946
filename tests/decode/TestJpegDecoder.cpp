// JPEG decoding: colour, greyscale and four-component files, the missing
// start-of-image marker told apart from every other failure, and damaged data
// that must fail without touching the target.
#include <QTemporaryDir>
#include <QTest>

#include "DibBuilder.h"
#include "JpegBuilder.h"
#include "decode/Bitmap.h"
#include "decode/JpegDecoder.h"

using namespace pelandor;
using testjpeg::Kind;

Q_DECLARE_METATYPE(pelandor::JpegResult)

namespace {

JpegResult decode(const QByteArray &data, Bitmap &out)
{
    return decodeJpeg(reinterpret_cast<const uchar *>(data.constData()), size_t(data.size()), out);
}

void gradient(int x, int y, unsigned char *px)
{
    px[0] = uchar(x * 8);
    px[1] = uchar(y * 8);
    px[2] = uchar(128 + x * 2);
}

QImage gradientImage(int w, int h)
{
    return testdib::imageOf(w, h, [](int x, int y) { return qRgb(x * 8, y * 8, 128 + x * 2); });
}

// Red on the left half, blue on the right, as inks.
void redBlueInks(int x, int, unsigned char *px)
{
    const bool red = x < 16;
    px[0] = red ? 0 : 255;   // cyan
    px[1] = 255;             // magenta
    px[2] = red ? 255 : 0;   // yellow
    px[3] = 0;               // black
}

void setSof(QByteArray &data, int width, int height)
{
    const qsizetype sof = testjpeg::findMarker(data, 0xC0);
    QVERIFY(sof > 0);
    qToBigEndian<quint16>(quint16(height), data.data() + sof + 5);
    qToBigEndian<quint16>(quint16(width), data.data() + sof + 7);
}

} // namespace

class TestJpegDecoder : public QObject {
    Q_OBJECT
private slots:
    void colour()
    {
        Bitmap bitmap;
        QCOMPARE(decode(testjpeg::make(Kind::Rgb, 31, 17, gradient), bitmap), JpegResult::Ok);
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(bitmap.image().format(), QImage::Format_RGB888);
        QVERIFY(testdib::largestDifference(bitmap.image(), gradientImage(31, 17)) <= 16);
    }

    void greyscale()
    {
        const QByteArray data = testjpeg::make(Kind::Grey, 40, 20, [](int x, int, unsigned char *px) { *px = uchar(x * 6); });
        Bitmap bitmap;
        QCOMPARE(decode(data, bitmap), JpegResult::Ok);
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Bits8);
        const QList<QRgb> palette = bitmap.palette();
        QVERIFY(palette.size() > 200 && palette.size() <= 236);
        for (QRgb c : palette)
            QVERIFY(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c));
        const QImage expected = testdib::imageOf(40, 20, [](int x, int) { return qRgb(x * 6, x * 6, x * 6); });
        QVERIFY(testdib::largestDifference(bitmap.image(), expected) <= 12);
    }

    // A white or inverted picture here would mean the inks were misread.
    void fourComponents_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("CMYK") << testjpeg::make(Kind::CmykPlain, 32, 8, redBlueInks);
        QTest::newRow("CMYK, Adobe inverted") << testjpeg::make(Kind::CmykAdobe, 32, 8, redBlueInks);
        QTest::newRow("YCCK, Adobe inverted") << testjpeg::make(Kind::YcckAdobe, 32, 8, redBlueInks);
    }
    void fourComponents()
    {
        QFETCH(QByteArray, data);
        Bitmap bitmap;
        QCOMPARE(decode(data, bitmap), JpegResult::Ok);
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Bits24);
        const QImage expected = testdib::imageOf(32, 8, [](int x, int) { return x < 16 ? qRgb(255, 0, 0) : qRgb(0, 0, 255); });
        // Away from the edge, where compression blurs the two halves.
        QVERIFY(testdib::largestDifference(bitmap.image().copy(0, 0, 8, 8), expected.copy(0, 0, 8, 8)) <= 12);
        QVERIFY(testdib::largestDifference(bitmap.image().copy(24, 0, 8, 8), expected.copy(24, 0, 8, 8)) <= 12);
    }

    void cmykFromAnotherEncoder()
    {
        Bitmap bitmap;
        QCOMPARE(decodeJpegFile(QStringLiteral(DECODE_TEST_DATA "/cmyk-adobe-inverted-shows-red.jpg"), bitmap),
                 JpegResult::Ok);
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Bits24);
        const QRgb red = bitmap.image().pixel(2, 2);
        QVERIFY2(qRed(red) > 200 && qGreen(red) < 60 && qBlue(red) < 60, qPrintable(QString::number(red, 16)));
        const QRgb blue = bitmap.image().pixel(13, 2);
        QVERIFY2(qBlue(blue) > 200 && qRed(blue) < 60, qPrintable(QString::number(blue, 16)));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<JpegResult>("result");
        const QByteArray good = testjpeg::make(Kind::Rgb, 64, 48, gradient);
        QFile png(QStringLiteral(DECODE_TEST_DATA "/png-with-jpeg-extension.jpg"));
        QVERIFY(png.open(QIODevice::ReadOnly));
        QTest::newRow("PNG data") << png.readAll() << JpegResult::NotJpeg;
        QTest::newRow("empty") << QByteArray() << JpegResult::NotJpeg;
        QTest::newRow("one byte FF") << QByteArray("\xFF", 1) << JpegResult::NotJpeg;
        QTest::newRow("bitmap header") << QByteArray("BM\x36\x00") << JpegResult::NotJpeg;
        QTest::newRow("image behind a 128-byte header") << QByteArray(128, '\0') + good << JpegResult::NotJpeg;
        QTest::newRow("start marker only") << good.left(2) << JpegResult::Failed;
        QTest::newRow("start marker then noise") << QByteArray("\xFF\xD8") + QByteArray(300, '\x5A')
                                                 << JpegResult::Failed;
        QTest::newRow("cut inside the headers") << good.left(testjpeg::findMarker(good, 0xC4) + 10) << JpegResult::Failed;
        {
            QByteArray d = good;
            setSof(d, 0, 48);
            QTest::newRow("zero width") << d << JpegResult::Failed;
            d = good;
            setSof(d, 65000, 65000);
            QTest::newRow("absurd size for the data") << d << JpegResult::Failed;
            d = good;
            setSof(d, 8000, 8000);
            QTest::newRow("Huffman-coded header claiming far more than the data") << d << JpegResult::Failed;
            d = good;
            const qsizetype dht = testjpeg::findMarker(d, 0xC4);
            for (int i = 0; i < 16; ++i)
                d[dht + 5 + i] = char(0xFF); // code counts no table can hold
            QTest::newRow("broken Huffman table") << d << JpegResult::Failed;
            d = good;
            const qsizetype sos = testjpeg::findMarker(d, 0xDA);
            d[sos + 5] = char(0x09); // a component the frame does not have
            QTest::newRow("scan of an unknown component") << d << JpegResult::Failed;
        }
    }
    void failures()
    {
        QFETCH(QByteArray, data);
        QFETCH(JpegResult, result);
        Bitmap bitmap;
        bitmap.assign(PixelFormat::Bits8, QImage(3, 2, QImage::Format_Indexed8));
        QCOMPARE(decode(data, bitmap), result);
        QCOMPARE(bitmap.pixelFormat(), PixelFormat::Bits8);
        QCOMPARE(bitmap.image().size(), QSize(3, 2));
    }

    // A file that ends early is completed by the library, as other viewers do.
    void truncatedImageDataStillShows()
    {
        const QByteArray good = testjpeg::make(Kind::Rgb, 64, 48, gradient);
        Bitmap bitmap;
        QCOMPARE(decode(good.left(good.size() * 2 / 3), bitmap), JpegResult::Ok);
        QCOMPARE(bitmap.image().size(), QSize(64, 48));
    }

    void files()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile empty(dir.filePath("empty.jpg"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        Bitmap bitmap;
        QCOMPARE(decodeJpegFile(empty.fileName(), bitmap), JpegResult::NotJpeg);
        QCOMPARE(decodeJpegFile(dir.filePath("missing.jpg"), bitmap), JpegResult::Failed);
    }
};

QTEST_GUILESS_MAIN(TestJpegDecoder)
#include "TestJpegDecoder.moc"
