// JPEG files with an EXIF orientation are shown upright everywhere: the
// report's image size, the thumbnail cells (also from the cache), the
// viewer's picture and the files saved from it. Damaged EXIF blocks change
// nothing and fail nothing.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "../decode/JpegBuilder.h"
#include "decode/Bitmap.h"
#include "decode/ExifOrientation.h"
#include "decode/JpegDecoder.h"
#include "listing/FitRect.h"
#include "listing/HeadlessReport.h"
#include "listing/ThumbnailCell.h"
#include "platform/MessageSink.h"
#include "viewer/ImageFileWriter.h"
#include "viewer/SingleImageDecoder.h"

using namespace pelandor;

namespace {

// The stored picture: four quadrants of clearly different colours.
constexpr int StoredWidth = 64;
constexpr int StoredHeight = 32;
const QRgb Red = qRgb(230, 20, 20);
const QRgb Green = qRgb(20, 220, 20);
const QRgb Blue = qRgb(20, 20, 230);
const QRgb White = qRgb(250, 250, 250);

// Greyscale files take their own path through the decoder (a palette
// picture); their quadrants are four grey levels.
bool g_grey = false;

QRgb colourOf(char letter)
{
    if (g_grey) {
        const int level = letter == 'R' ? 30 : letter == 'G' ? 100 : letter == 'B' ? 170 : 240;
        return qRgb(level, level, level);
    }
    switch (letter) {
    case 'R': return Red;
    case 'G': return Green;
    case 'B': return Blue;
    default: return White;
    }
}

QByteArray storedJpeg()
{
    const auto kind = g_grey ? testjpeg::Kind::Grey : testjpeg::Kind::Rgb;
    return testjpeg::make(kind, StoredWidth, StoredHeight, [](int x, int y, unsigned char *out) {
        const bool right = x >= StoredWidth / 2;
        const bool bottom = y >= StoredHeight / 2;
        const QRgb c = colourOf(bottom ? (right ? 'W' : 'B') : (right ? 'G' : 'R'));
        out[0] = uchar(qRed(c));
        if (!g_grey) {
            out[1] = uchar(qGreen(c));
            out[2] = uchar(qBlue(c));
        }
    });
}

void put16(QByteArray &out, int value, bool bigEndian)
{
    if (bigEndian)
        out.append(char(value >> 8)).append(char(value & 0xFF));
    else
        out.append(char(value & 0xFF)).append(char(value >> 8));
}

void put32(QByteArray &out, quint32 value, bool bigEndian)
{
    put16(out, int(bigEndian ? value >> 16 : value & 0xFFFF), bigEndian);
    put16(out, int(bigEndian ? value & 0xFFFF : value >> 16), bigEndian);
}

// The contents of an APP1 block: "Exif\0\0", a TIFF header and a first IFD
// holding the one orientation entry (a SHORT).
QByteArray exifBlock(int orientation, bool bigEndian)
{
    QByteArray tiff = bigEndian ? QByteArray("MM\0*", 4) : QByteArray("II*\0", 4);
    put32(tiff, 8, bigEndian);
    put16(tiff, 1, bigEndian);
    put16(tiff, 0x0112, bigEndian);
    put16(tiff, 3, bigEndian);
    put32(tiff, 1, bigEndian);
    put16(tiff, orientation, bigEndian);
    put16(tiff, 0, bigEndian);
    put32(tiff, 0, bigEndian);
    return QByteArray("Exif\0\0", 6) + tiff;
}

// The JPEG file with `app1` placed right after its start-of-image marker.
QByteArray withApp1(const QByteArray &jpeg, const QByteArray &app1)
{
    QByteArray marker("\xFF\xE1", 2);
    put16(marker, int(app1.size()) + 2, true);
    return jpeg.left(2) + marker + app1 + jpeg.mid(2);
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 40 && qAbs(qGreen(a) - qGreen(b)) < 40 && qAbs(qBlue(a) - qBlue(b)) < 40;
}

// The colours near the four corners of the rectangle `area` of `image`,
// checked against "TL TR BL BR" as letters.
void verifyCorners(const QImage &image, const QRect &area, const QString &corners, const char *what)
{
    const int inset = qMax(2, qMin(area.width(), area.height()) / 8);
    const QPoint points[4] = {area.topLeft() + QPoint(inset, inset), area.topRight() + QPoint(-inset, inset),
                              area.bottomLeft() + QPoint(inset, -inset),
                              area.bottomRight() + QPoint(-inset, -inset)};
    for (int i = 0; i < 4; ++i) {
        const QRgb seen = image.pixel(points[i]);
        if (!near(seen, colourOf(corners[i].toLatin1())))
            QFAIL(qPrintable(QStringLiteral("%1: corner %2 is #%3, expected %4")
                                 .arg(QLatin1String(what))
                                 .arg(i)
                                 .arg(seen & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                 .arg(corners[i])));
    }
}

class NullSink : public MessageSink {
public:
    void showMessage(const QString &) override {}
};

const ImageTypeList kTypes{{"*.BMP", ""}, {"*.JPG", ""}, {allImageFilesText(), ""}};

} // namespace

class TestUprightPhotos : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_cache;

    // Runs --thumbnails on `folder` and returns the cell written for `name`;
    // the cells go to a folder in this test's own temporary folder, so that
    // nothing is left behind.
    QImage thumbnailOf(const QString &folder, const QString &name)
    {
        const QString out = m_cache.filePath(QStringLiteral("cells-") + QFileInfo(folder).fileName());
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        HeadlessReport::Options options;
        options.command = HeadlessReport::Command::Thumbnails;
        options.folder = folder;
        options.outputFolder = out;
        options.type = QStringLiteral("*.JPG");
        QString errors;
        QTextStream err(&errors);
        if (HeadlessReport::runThumbnails(options, QString(), err) != 0)
            return QImage();
        return QImage(out + '/' + name + QStringLiteral(".bmp"));
    }

    QString reportOf(const QString &folder)
    {
        HeadlessReport::Options options;
        options.folder = folder;
        options.type = QStringLiteral("*.JPG");
        QString text, errors;
        QTextStream out(&text), err(&errors);
        HeadlessReport::runReport(options, QString(), out, err);
        out.flush();
        return text;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
    }

    void cleanup()
    {
        ExifOrientation::setApplied(true);
        g_grey = false;
    }

    void everyOrientationShowsUpright_data()
    {
        QTest::addColumn<QByteArray>("app1");
        QTest::addColumn<QString>("corners"); // upright TL TR BL BR
        QTest::addColumn<bool>("grey");

        // Each corner of the upright picture names the stored quadrant it
        // comes from (stored: R G over B W).
        QTest::newRow("1 as stored") << exifBlock(1, true) << "RGBW" << false;
        QTest::newRow("2 mirrored") << exifBlock(2, false) << "GRWB" << false;
        QTest::newRow("3 half turn") << exifBlock(3, true) << "WBGR" << false;
        QTest::newRow("4 flipped") << exifBlock(4, false) << "BWRG" << false;
        QTest::newRow("5 transposed") << exifBlock(5, true) << "RBGW" << false;
        QTest::newRow("6 quarter turn") << exifBlock(6, false) << "BRWG" << false;
        QTest::newRow("7 transversed") << exifBlock(7, true) << "WGBR" << false;
        QTest::newRow("8 three quarters") << exifBlock(8, false) << "GWRB" << false;
        QTest::newRow("absurd value 9") << exifBlock(9, true) << "RGBW" << false;
        QTest::newRow("value 0") << exifBlock(0, false) << "RGBW" << false;
        QTest::newRow("block cut in its IFD") << exifBlock(6, true).left(20) << "RGBW" << false;
        QTest::newRow("IFD offset past the end") << exifBlock(6, true).replace(10, 4, QByteArray("\x7F\xFF\xFF\xF0", 4))
                                                 << "RGBW" << false;
        QTest::newRow("6 quarter turn, grey") << exifBlock(6, true) << "BRWG" << true;
        QTest::newRow("7 transversed, grey") << exifBlock(7, false) << "WGBR" << true;
        QTest::newRow("not an EXIF block") << QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34) << "RGBW" << false;
    }

    void everyOrientationShowsUpright()
    {
        QFETCH(QByteArray, app1);
        QFETCH(QString, corners);
        QFETCH(bool, grey);
        g_grey = grey;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString name = QStringLiteral("photo.jpg");
        const QString path = dir.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(withApp1(storedJpeg(), app1));
        file.close();

        // Upright width and height: a quarter turn puts a stored top-left
        // quadrant's neighbour from below (B) or from the right (G) beside it.
        const bool sidesSwapped = (corners[0] == 'R' && corners[1] == 'B') || (corners[0] == 'B' && corners[1] == 'R')
                                  || (corners[0] == 'W' && corners[1] == 'G')
                                  || (corners[0] == 'G' && corners[1] == 'W');
        const int width = sidesSwapped ? StoredHeight : StoredWidth;
        const int height = sidesSwapped ? StoredWidth : StoredHeight;

        // The report's image size is the size as shown.
        const QStringList columns = reportOf(dir.path()).split(QLatin1Char('\t'));
        QCOMPARE(columns.size(), 6);
        QCOMPARE(columns[4], QStringLiteral("%1 * %2").arg(width).arg(height));

        // The thumbnail cell, first decoded, then taken from the cache.
        for (const char *pass : {"cell", "cached cell"}) {
            const QImage cell = thumbnailOf(dir.path(), name);
            QVERIFY(!cell.isNull());
            const CellRect target = ThumbnailCell::target(width, height, 1.0);
            verifyCorners(cell, QRect(target.left, target.top, target.width(), target.height()), corners, pass);
        }

        // The viewer's picture (the same decode serves refresh and copy).
        NullSink sink;
        SingleImageDecoder decoder(QString(), sink, kTypes, false);
        const Bitmap &picture = decoder.decode(path);
        QCOMPARE(QSize(picture.width(), picture.height()), QSize(width, height));
        verifyCorners(picture.image(), picture.image().rect(), corners, "viewer");

        // Saved as BMP and as JPEG: upright, and the JPEG carries no turn of
        // its own (decoding it again keeps it upright).
        const QString bmp = dir.filePath(QStringLiteral("saved.bmp"));
        const QString jpg = dir.filePath(QStringLiteral("saved.jpeg"));
        ImageFileWriter::write(picture, bmp, ImageFileWriter::Format::Bmp);
        ImageFileWriter::write(picture, jpg, ImageFileWriter::Format::Jpeg);
        const QImage savedBmp(bmp);
        QCOMPARE(savedBmp.size(), QSize(width, height));
        verifyCorners(savedBmp, savedBmp.rect(), corners, "saved BMP");
        Bitmap again;
        QCOMPARE(decodeJpegFile(jpg, again), JpegResult::Ok);
        verifyCorners(again.image(), again.image().rect(), corners, "saved JPEG");
    }

    // Switched off, the stored pixels are shown, and a cell cached while it
    // was on is not taken for them.
    void switchedOffShowsStoredPixels()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(QStringLiteral("photo.jpg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(withApp1(storedJpeg(), exifBlock(6, false)));
        file.close();

        const CellRect upright = ThumbnailCell::target(StoredHeight, StoredWidth, 1.0);
        const CellRect stored = ThumbnailCell::target(StoredWidth, StoredHeight, 1.0);
        verifyCorners(thumbnailOf(dir.path(), QStringLiteral("photo.jpg")),
                      QRect(upright.left, upright.top, upright.width(), upright.height()), "BRWG", "upright");
        ExifOrientation::setApplied(false);
        QVERIFY(reportOf(dir.path()).contains(QStringLiteral("\t64 * 32\t")));
        verifyCorners(thumbnailOf(dir.path(), QStringLiteral("photo.jpg")),
                      QRect(stored.left, stored.top, stored.width(), stored.height()), "RGBW", "stored");
    }
};

QTEST_MAIN(TestUprightPhotos)
#include "TestUprightPhotos.moc"
