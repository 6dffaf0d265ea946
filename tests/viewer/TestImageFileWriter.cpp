// Saving a viewer's picture: bitmap files keep the picture's own format,
// JPEG files are 24-bit colour, and a failed write leaves an older file alone.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "decode/Bitmap.h"
#include "decode/ImageLoader.h"
#include "platform/PelandorError.h"
#include "viewer/ImageFileWriter.h"

using namespace pelandor;

namespace {

Bitmap paletteBitmap()
{
    QImage image(5, 3, QImage::Format_Indexed8);
    image.setColorTable({qRgb(0, 0, 0), qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(10, 10, 200)});
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, uint((x + y) % 4));
    Bitmap bitmap;
    bitmap.assign(PixelFormat::Bits8, image);
    return bitmap;
}

Bitmap colourBitmap()
{
    QImage image(16, 8, QImage::Format_RGB888);
    image.fill(qRgb(30, 120, 220));
    Bitmap bitmap;
    bitmap.assign(PixelFormat::Bits24, image);
    return bitmap;
}

Bitmap readBack(const QString &path, const QString &pattern)
{
    Bitmap bitmap;
    PictureInfo record{};
    LoadImageToBitmap(false, nullptr, bitmap, record, path, pattern);
    return bitmap;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestImageFileWriter : public QObject {
    Q_OBJECT

private slots:
    void bitmapKeepsItsOwnFormat_data()
    {
        QTest::addColumn<bool>("palette");
        QTest::newRow("8-bit palette") << true;
        QTest::newRow("24-bit") << false;
    }
    void bitmapKeepsItsOwnFormat()
    {
        QFETCH(bool, palette);
        QTemporaryDir dir;
        const Bitmap original = palette ? paletteBitmap() : colourBitmap();
        const QString path = dir.filePath("out.bmp");
        ImageFileWriter::write(original, path, ImageFileWriter::Format::Bmp);

        const Bitmap back = readBack(path, "*.BMP");
        QCOMPARE(back.pixelFormat(), original.pixelFormat());
        QCOMPARE(back.palette().mid(0, original.palette().size()), original.palette());
        QCOMPARE(back.image().convertToFormat(QImage::Format_RGB32),
                 original.image().convertToFormat(QImage::Format_RGB32));
    }

    void jpegOfPaletteBitmapIsColour()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.jpg");
        ImageFileWriter::write(paletteBitmap(), path, ImageFileWriter::Format::Jpeg);

        const QByteArray bytes = contents(path);
        QVERIFY(bytes.startsWith("\xFF\xD8"));
        QVERIFY2(bytes.contains("\xFF\xC0"), "baseline frame expected");
        const Bitmap back = readBack(path, "*.JPG");
        QCOMPARE(back.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(back.width(), 5);
        QCOMPARE(back.height(), 3);
    }

    void replacesAnExistingFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.bmp");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an older file");
        }
        ImageFileWriter::write(colourBitmap(), path, ImageFileWriter::Format::Bmp);
        QVERIFY(contents(path).startsWith("BM"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.bmp"});
    }

    void failedWriteLeavesOlderFile_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("bmp") << int(ImageFileWriter::Format::Bmp);
        QTest::newRow("jpeg") << int(ImageFileWriter::Format::Jpeg);
    }
    void failedWriteLeavesOlderFile()
    {
        QFETCH(int, format);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.img");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an older file");
        }
        // An empty picture cannot be written: the writer fails part-way.
        QVERIFY_THROWS_EXCEPTION(PelandorError,
                                 ImageFileWriter::write(Bitmap(), path, ImageFileWriter::Format(format)));
        QCOMPARE(contents(path), QByteArray("an older file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.img"});
    }
};

QTEST_GUILESS_MAIN(TestImageFileWriter)
#include "TestImageFileWriter.moc"
