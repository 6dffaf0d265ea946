// The single-image commands of the file list: refreshing chosen thumbnails
// and copying an image to the clipboard, each through a host of its own.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

#include "../plugin/TestModules.h"
#include "decode/Bitmap.h"
#include "decode/BmpWriter.h"
#include "decode/JpegWriter.h"
#include "listing/ThumbnailCache.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailList.h"
#include "viewer/ImageClipboard.h"
#include "viewer/SingleImageDecoder.h"
#include "viewer/ThumbnailRefresher.h"

using namespace pelandor;

namespace {

const ImageTypeList kTypes{{"*.BMP", ""}, {"*.JPG", ""}, {"*.fak", "fake_plain.spi"}, {allImageFilesText(), ""}};

Bitmap solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(colour);
    Bitmap bitmap;
    bitmap.assign(PixelFormat::Bits24, image);
    return bitmap;
}

Bitmap palette8()
{
    QImage image(6, 4, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table.append(qRgb(i, 255 - i, i / 2));
    image.setColorTable(table);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, uint(x * 40 + y));
    Bitmap bitmap;
    bitmap.assign(PixelFormat::Bits8, image);
    return bitmap;
}

void writeFile(const QString &path, const Bitmap &bitmap, bool jpeg = false)
{
    QSaveFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(jpeg ? writeJpeg(bitmap, file) : writeBmp(bitmap, file));
    QVERIFY(file.commit());
}

QImage grey()
{
    QImage cell(ThumbnailCell::Size, ThumbnailCell::Size, ThumbnailCell::Format);
    cell.fill(qRgb(128, 128, 128));
    return cell;
}

} // namespace

class TestSingleImageCommands : public QObject {
    Q_OBJECT

private slots:
    void refreshTouchesExactlyTheChosenCells()
    {
        QTemporaryDir dir;
        const QList<QRgb> colours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0),
                                  qRgb(0, 255, 255)};
        ThumbnailList cells;
        for (int i = 0; i < colours.size(); ++i) {
            writeFile(dir.filePath(QString("f%1.bmp").arg(i)), solid(40 + i, 30, colours[i]));
            cells.add(grey());
        }

        // Three selected items whose cells are not in row order (the list was
        // sorted after reading).
        const QList<ThumbnailRefresher::Item> items{{dir.filePath("f3.bmp"), 0},
                                                    {dir.filePath("f0.bmp"), 4},
                                                    {dir.filePath("f2.bmp"), 2}};
        RecordingSink messages;
        SingleImageDecoder decoder(dir.path(), messages, kTypes, false);
        QList<int> replaced;
        int pumped = 0;
        ThumbnailRefresher::refresh(
            decoder, items,
            [&](int index, const QImage &cell) {
                replaced.append(index);
                cells.replace(index, cell);
            },
            [&] { ++pumped; });

        QCOMPARE(replaced, (QList<int>{0, 4, 2}));
        QCOMPARE(pumped, 3);
        QCOMPARE(cells.cell(0), ThumbnailCell::compose(solid(43, 30, colours[3])));
        QCOMPARE(cells.cell(4), ThumbnailCell::compose(solid(40, 30, colours[0])));
        QCOMPARE(cells.cell(2), ThumbnailCell::compose(solid(42, 30, colours[2])));
        QCOMPARE(cells.cell(1), grey());
        QCOMPARE(cells.cell(3), grey());
        QVERIFY(messages.messages.isEmpty());
    }

    void refreshOfDeletedFileGivesWhiteCellSilently()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("kept.bmp"), solid(10, 10, qRgb(255, 0, 0)));
        ThumbnailList cells;
        cells.add(grey());
        cells.add(grey());
        RecordingSink messages;
        SingleImageDecoder decoder(dir.path(), messages, kTypes, false);
        ThumbnailRefresher::refresh(decoder, {{dir.filePath("kept.bmp"), 0}, {dir.filePath("gone.bmp"), 1}},
                                    [&](int index, const QImage &cell) { cells.replace(index, cell); });
        QCOMPARE(cells.cell(1), ThumbnailCell::blank());
        QVERIFY(messages.messages.isEmpty());
    }

    void refreshThroughModuleReleasesIt()
    {
        QTemporaryDir dir;
        QVERIFY(installModule(dir.path(), "plain", "fake_plain.spi"));
        const QString picture = dir.filePath("a.fak");
        {
            QFile file(picture);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("FAKE rgb24\n");
        }
        ThumbnailList cells;
        cells.add(grey());
        RecordingSink messages;
        SingleImageDecoder decoder(dir.path(), messages, kTypes, false);
        bool residentDuringPaint = false;
        ThumbnailRefresher::refresh(
            decoder, {{picture, 0}}, [&](int index, const QImage &cell) { cells.replace(index, cell); },
            [&] { residentDuringPaint = isResident(dir.filePath("fake_plain.spi")); });
        QVERIFY(residentDuringPaint);
        QVERIFY(!isResident(dir.filePath("fake_plain.spi")));
        QVERIFY(cells.cell(0) != ThumbnailCell::blank());
        QVERIFY(cells.cell(0) != grey());
        QVERIFY(messages.messages.isEmpty());
    }

    // The refreshed cell is kept only for a file that did not change while
    // it was decoded: the cell of the old picture never goes under the key
    // of the new one.
    void refreshKeepsCellOfUnchangedFileOnly_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("kept");
        QTest::newRow("unchanged") << QByteArray("FAKE rgb24\n") << true;
        QTest::newRow("changed while decoded") << QByteArray("FAKE changes\n") << false;
    }
    void refreshKeepsCellOfUnchangedFileOnly()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        QVERIFY(installModule(dir.path(), "plain", "fake_plain.spi"));
        const QString picture = dir.filePath("a.fak");
        {
            QFile file(picture);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        ThumbnailCache cache(dir.filePath("cache"));
        RecordingSink messages;
        SingleImageDecoder decoder(dir.path(), messages, kTypes, false);
        ThumbnailRefresher::refresh(decoder, {{picture, 0}}, [](int, const QImage &) {}, {}, &cache);
        const int side = ThumbnailCell::pixelSize(1.0);
        const std::optional<QByteArray> key = ThumbnailCache::keyOf(
            picture, ThumbnailCache::moduleRoute(dir.filePath("fake_plain.spi")), QSize(side, side));
        QVERIFY(key);
        QCOMPARE(bool(cache.find(*key)), kept);
    }

    void copyPlacesPictureAtFullSize_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("paletteFile");
        QTest::newRow("8-bit palette bitmap keeps its colour table") << "pal.bmp" << true;
        QTest::newRow(".jpe file decodes as JPEG") << "photo.jpe" << false;
        QTest::newRow(".jpeg file decodes as JPEG") << "photo.jpeg" << false;
    }
    void copyPlacesPictureAtFullSize()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, paletteFile);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        writeFile(path, paletteFile ? palette8() : solid(33, 21, qRgb(200, 40, 40)), !paletteFile);

        RecordingSink messages;
        SingleImageDecoder decoder(dir.path(), messages, kTypes, false);
        QClipboard *clipboard = QGuiApplication::clipboard();
        QVERIFY(ImageClipboard::copy(decoder.decode(path), *clipboard));
        const QImage copied = clipboard->image();
        if (paletteFile) {
            QCOMPARE(copied.format(), QImage::Format_Indexed8);
            QCOMPARE(copied.colorTable(), palette8().palette());
            QCOMPARE(copied, palette8().image());
        } else {
            QCOMPARE(copied.format(), QImage::Format_RGB888);
            QVERIFY(copied.colorTable().isEmpty());
            QCOMPARE(copied.size(), QSize(33, 21));
            const QColor centre = copied.pixelColor(16, 10);
            QVERIFY2(qAbs(centre.red() - 200) < 8 && qAbs(centre.green() - 40) < 8, "JPEG colours");
        }
        QVERIFY(messages.messages.isEmpty());
    }

    void oneBitPictureIsCopiedAsIndexed()
    {
        QImage mono(9, 2, QImage::Format_Mono);
        mono.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
        mono.fill(1);
        mono.setPixel(0, 0, 0);
        Bitmap bitmap;
        bitmap.assign(PixelFormat::Bits1, mono);
        const QImage copied = ImageClipboard::clipboardImage(bitmap);
        QCOMPARE(copied.format(), QImage::Format_Indexed8);
        QCOMPARE(copied.colorTable(), mono.colorTable());
        QCOMPARE(copied.pixel(0, 0), qRgb(10, 20, 30));
        QCOMPARE(copied.pixel(1, 0), qRgb(200, 100, 50));
    }

    void failedDecodeLeavesClipboardAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("broken.bmp");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("BM not really");
        }
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText("kept");
        RecordingSink messages;
        SingleImageDecoder decoder(dir.path(), messages, kTypes, false);
        QVERIFY(!ImageClipboard::copy(decoder.decode(path), *clipboard));
        QCOMPARE(clipboard->text(), QString("kept"));
        QVERIFY(clipboard->image().isNull());
    }
};

QTEST_MAIN(TestSingleImageCommands)
#include "TestSingleImageCommands.moc"
