// Round trips through the two writers: what they write, our decoders (and, for
// bitmap files, Qt's own reader) read back with the same size, format and
// pixels; JPEG output keeps to its fixed settings; device failures are
// reported.
#include <QBuffer>
#include <QTest>

#include "DibBuilder.h"
#include "decode/Bitmap.h"
#include "decode/BmpDecoder.h"
#include "decode/BmpWriter.h"
#include "decode/JpegDecoder.h"
#include "decode/JpegWriter.h"

#include <jpeglib.h>

using namespace pelandor;

Q_DECLARE_METATYPE(pelandor::PixelFormat)

namespace {

QImage colourImage(int w, int h)
{
    return testdib::imageOf(w, h, [](int x, int y) { return qRgb((x * 37) & 255, (y * 23) & 255, (x * y) & 255); });
}

QImage indexedImage(int w, int h, int colours, QImage::Format format = QImage::Format_Indexed8)
{
    QImage image(w, h, format);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(qRgb(i * 11 & 255, 255 - (i * 7 & 255), i * 3 & 255));
    image.setColorTable(table);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, uint((x + 2 * y) % colours));
    }
    return image;
}

Bitmap bitmapOf(PixelFormat format, const QImage &image)
{
    Bitmap bitmap;
    bitmap.assign(format, image);
    return bitmap;
}

QByteArray writeBmpBytes(const Bitmap &bitmap)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!writeBmp(bitmap, buffer, &error))
        qWarning("%s", qPrintable(error));
    return buffer.data();
}

} // namespace

class TestImageWriters : public QObject {
    Q_OBJECT
private slots:
    void bmpRoundTrip_data()
    {
        QTest::addColumn<PixelFormat>("format");
        QTest::addColumn<QImage>("image");
        QTest::addColumn<PixelFormat>("readBack");
        QTest::newRow("1 bit") << PixelFormat::Bits1 << indexedImage(13, 5, 2, QImage::Format_Mono) << PixelFormat::Bits1;
        QTest::newRow("4 bits") << PixelFormat::Bits4 << indexedImage(7, 3, 16) << PixelFormat::Bits4;
        QTest::newRow("4 bits, palette of 40") << PixelFormat::Bits4 << indexedImage(7, 3, 40) << PixelFormat::Bits8;
        QTest::newRow("8 bits") << PixelFormat::Bits8 << indexedImage(9, 4, 200) << PixelFormat::Bits8;
        QTest::newRow("15 bits") << PixelFormat::Bits15 << colourImage(5, 3) << PixelFormat::Bits15;
        QTest::newRow("16 bits") << PixelFormat::Bits16 << colourImage(5, 3) << PixelFormat::Bits16;
        QTest::newRow("24 bits") << PixelFormat::Bits24 << colourImage(7, 3) << PixelFormat::Bits24;
        QTest::newRow("32 bits") << PixelFormat::Bits32 << colourImage(7, 3) << PixelFormat::Bits32;
        QTest::newRow("device as 32 bits") << PixelFormat::Device << colourImage(7, 3) << PixelFormat::Bits32;
        QTest::newRow("custom") << PixelFormat::Custom << colourImage(7, 3) << PixelFormat::Custom;
    }
    void bmpRoundTrip()
    {
        QFETCH(PixelFormat, format);
        QFETCH(QImage, image);
        QFETCH(PixelFormat, readBack);
        const Bitmap source = bitmapOf(format, image);
        const QByteArray data = writeBmpBytes(source);
        QVERIFY(!data.isEmpty());

        Bitmap decoded;
        QVERIFY(decodeBmp(reinterpret_cast<const uchar *>(data.constData()), size_t(data.size()), decoded));
        QCOMPARE(decoded.pixelFormat(), readBack);
        QCOMPARE(testdib::largestDifference(decoded.image(), source.image()), 0);
        if (readBack == PixelFormat::Bits1 || readBack == PixelFormat::Bits4 || readBack == PixelFormat::Bits8)
            QCOMPARE(decoded.palette().mid(0, source.palette().size()), source.palette());

        // Other programs read it too (Qt widens 5-bit channels its own way).
        const QImage other = QImage::fromData(data, "BMP");
        const bool fiveBits = format == PixelFormat::Bits15 || format == PixelFormat::Bits16;
        const int difference = testdib::largestDifference(other, source.image());
        QVERIFY2(difference >= 0 && difference <= (fiveBits ? 8 : 0), qPrintable(QString::number(difference)));
    }

    void jpegRoundTrip_data()
    {
        QTest::addColumn<PixelFormat>("format");
        QTest::addColumn<QImage>("image");
        // Smooth or flat content, so the bound measures the writer, not JPEG's ringing.
        const QImage smooth = testdib::imageOf(160, 96, [](int x, int y) { return qRgb(x, y * 2, (x + y) / 2); });
        QImage blocks(160, 96, QImage::Format_Indexed8);
        blocks.setColorTable({qRgb(200, 40, 40), qRgb(40, 200, 40), qRgb(40, 40, 200)});
        for (int y = 0; y < 96; ++y) {
            for (int x = 0; x < 160; ++x)
                blocks.setPixel(x, y, uint((x / 16 + y / 16) % 3));
        }
        QTest::newRow("24 bits") << PixelFormat::Bits24 << smooth;
        QTest::newRow("8-bit palette becomes colour") << PixelFormat::Bits8 << blocks;
        QTest::newRow("device") << PixelFormat::Device << smooth.copy(0, 0, 133, 71);
    }
    void jpegRoundTrip()
    {
        QFETCH(PixelFormat, format);
        QFETCH(QImage, image);
        const Bitmap source = bitmapOf(format, image);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        QVERIFY2(writeJpeg(source, buffer, &error), qPrintable(error));

        Bitmap decoded;
        QCOMPARE(decodeJpeg(reinterpret_cast<const uchar *>(buffer.data().constData()), size_t(buffer.size()), decoded),
                 JpegResult::Ok);
        QCOMPARE(decoded.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(decoded.image().size(), source.image().size());
        // Compared inside each 16 x 16 cell: colour edges bleed where chroma is subsampled.
        const QImage original = source.toRgb24();
        for (int y = 4; y + 8 <= original.height(); y += 16) {
            for (int x = 4; x + 8 <= original.width(); x += 16) {
                const int difference = testdib::largestDifference(decoded.image().copy(x, y, 8, 8), original.copy(x, y, 8, 8));
                QVERIFY2(difference >= 0 && difference <= 24, qPrintable(QString::number(difference)));
            }
        }

        // Three components, sequential, quality 90 baseline tables.
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr jerr;
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(buffer.data().constData()),
                     static_cast<unsigned long>(buffer.size()));
        jpeg_read_header(&cinfo, TRUE);
        const int components = cinfo.num_components;
        const bool progressive = cinfo.progressive_mode;
        const int firstLuma = cinfo.quant_tbl_ptrs[0] ? cinfo.quant_tbl_ptrs[0]->quantval[0] : -1;
        const int firstChroma = cinfo.quant_tbl_ptrs[1] ? cinfo.quant_tbl_ptrs[1]->quantval[0] : -1;
        jpeg_destroy_decompress(&cinfo);
        QCOMPARE(components, 3);
        QVERIFY(!progressive);
        QCOMPARE(firstLuma, 3);   // 16 at 20 %
        QCOMPARE(firstChroma, 3); // 17 at 20 %
        QVERIFY(testjpegHasSof0(buffer.data()));
    }

    void failuresAreReported()
    {
        const Bitmap empty;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        QVERIFY(!writeBmp(empty, buffer, &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!writeJpeg(empty, buffer, &error));
        QVERIFY(!error.isEmpty());

        // A device that refuses to be written.
        const Bitmap picture = bitmapOf(PixelFormat::Bits24, colourImage(300, 300));
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        error.clear();
        QVERIFY(!writeBmp(picture, readOnly, &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!writeJpeg(picture, readOnly, &error));
        QVERIFY(!error.isEmpty());
    }

private:
    static bool testjpegHasSof0(const QByteArray &data)
    {
        return data.contains(QByteArray("\xFF\xC0", 2)) && !data.contains(QByteArray("\xFF\xC2", 2));
    }
};

QTEST_GUILESS_MAIN(TestImageWriters)
#include "TestImageWriters.moc"
