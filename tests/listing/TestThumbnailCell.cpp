// The fitting rule and the drawing of the 96 by 96 thumbnail cell.
#include <QTest>

#include "decode/Bitmap.h"
#include "listing/FitRect.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailList.h"

using namespace pelandor;

namespace {
bool isWhite(const QImage &cell, int x, int y)
{
    return cell.pixel(x, y) == qRgb(255, 255, 255);
}

// The bounding box of the non-white pixels of a cell.
QRect drawnArea(const QImage &cell)
{
    QRect area;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (!isWhite(cell, x, y))
                area |= QRect(x, y, 1, 1);
    return area;
}
} // namespace

class TestThumbnailCell : public QObject {
    Q_OBJECT

private slots:
    void fitRect_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<QList<int>>("rect");
        QTest::newRow("50x30 fits, centred") << 50 << 30 << QList<int>{23, 33, 73, 63};
        QTest::newRow("96x96 exactly") << 96 << 96 << QList<int>{0, 0, 96, 96};
        QTest::newRow("200x200 square") << 200 << 200 << QList<int>{0, 0, 96, 96};
        QTest::newRow("640x480 landscape") << 640 << 480 << QList<int>{0, 12, 96, 84};
        QTest::newRow("100x300 portrait") << 100 << 300 << QList<int>{32, 0, 64, 96};
        QTest::newRow("1000x333 truncated band") << 1000 << 333 << QList<int>{0, 32, 96, 63};
        QTest::newRow("97x96 one too wide") << 97 << 96 << QList<int>{0, 0, 96, 95};
        QTest::newRow("300x1 line") << 300 << 1 << QList<int>{0, 47, 96, 48};
        QTest::newRow("1x300 column") << 1 << 300 << QList<int>{47, 0, 48, 96};
        QTest::newRow("0x0 nothing") << 0 << 0 << QList<int>{48, 48, 48, 48};
        QTest::newRow("1x1 odd centre") << 1 << 1 << QList<int>{47, 47, 48, 48};
        QTest::newRow("huge landscape") << 100000 << 3 << QList<int>{0, 47, 96, 48};
    }
    void fitRect()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(QList<int>, rect);
        const CellRect r = FitRect(96, 96, w, h);
        QCOMPARE((QList<int>{r.left, r.top, r.right, r.bottom}), rect);
    }

    void smallPictureUnscaledInWhiteCell()
    {
        Bitmap bitmap;
        bitmap.assign(PixelFormat::Bits24, [] {
            QImage i(50, 30, QImage::Format_RGB888);
            i.fill(qRgb(200, 0, 0));
            i.setPixel(0, 0, qRgb(0, 0, 255)); // marks the picture's top-left pixel
            return i;
        }());
        const QImage cell = ThumbnailCell::compose(bitmap);
        QCOMPARE(cell.size(), QSize(96, 96));
        QCOMPARE(cell.format(), ThumbnailCell::Format);
        QCOMPARE(drawnArea(cell), QRect(23, 33, 50, 30));
        QCOMPARE(cell.pixel(23, 33), qRgb(0, 0, 255));
        QCOMPARE(cell.pixel(72, 62), qRgb(200, 0, 0));
    }

    void stretchedBands_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<QRect>("area");
        QTest::newRow("640x480 drawn 96x72 from y 12") << 640 << 480 << QRect(0, 12, 96, 72);
        QTest::newRow("1x300 one-pixel column") << 1 << 300 << QRect(47, 0, 1, 96);
        QTest::newRow("300x1 one-pixel row") << 300 << 1 << QRect(0, 47, 96, 1);
    }
    void stretchedBands()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(QRect, area);
        QImage picture(w, h, QImage::Format_RGB32);
        picture.fill(qRgb(10, 20, 30));
        QCOMPARE(drawnArea(ThumbnailCell::compose(picture)), area);
    }

    // On a screen of ratio 2 the cell has twice the pixels a side, the
    // picture's rectangle is the 96-point one doubled, and the cell shows at
    // 96 points; the list keeps such cells as they are.
    void cellForDevicePixelRatio2()
    {
        QImage picture(300, 200, QImage::Format_RGB888);
        picture.fill(qRgb(0, 0, 200));
        const QImage cell = ThumbnailCell::compose(picture, 2.0);
        QCOMPARE(cell.size(), QSize(192, 192));
        QCOMPARE(cell.deviceIndependentSize(), QSizeF(96, 96));
        const QRect at1 = drawnArea(ThumbnailCell::compose(picture));
        QCOMPARE(drawnArea(cell), QRect(at1.topLeft() * 2, at1.size() * 2));

        ThumbnailList list;
        list.setDevicePixelRatio(2.0);
        list.add(cell);
        list.add(ThumbnailCell::compose(picture)); // a 96-pixel cell is fitted anew
        QCOMPARE(list.cell(0).size(), QSize(192, 192));
        QCOMPARE(list.cell(1).size(), QSize(192, 192));
        QCOMPARE(list.cell(1).devicePixelRatio(), 2.0);
    }

    void paletteAndMonoPicturesKeepTheirColours()
    {
        QImage indexed(4, 4, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(0, 128, 0), qRgb(1, 2, 3)});
        indexed.fill(0);
        QCOMPARE(ThumbnailCell::compose(indexed).pixel(48, 48), qRgb(0, 128, 0));

        QImage mono(200, 100, QImage::Format_Mono);
        mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 0)});
        mono.fill(1);
        const QImage cell = ThumbnailCell::compose(mono);
        QCOMPARE(cell.pixel(48, 48), qRgb(255, 255, 0));
        QVERIFY(isWhite(cell, 48, 10));
    }

    void emptyPictureGivesWhiteCell()
    {
        const QImage cell = ThumbnailCell::compose(Bitmap());
        QVERIFY(drawnArea(cell).isNull());
    }

    void thumbnailListStoresCompactCopies()
    {
        ThumbnailList list;
        QImage cell = ThumbnailCell::blank();
        QCOMPARE(list.add(cell), 0);
        cell.setPixel(5, 5, qRgb(1, 2, 3));
        QCOMPARE(list.add(cell.convertToFormat(QImage::Format_ARGB32)), 1);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.cell(0).pixel(5, 5), qRgb(255, 255, 255)); // a copy, not shared
        QCOMPARE(list.cell(1).format(), ThumbnailCell::Format);
        QCOMPARE(list.cell(1).sizeInBytes(), qsizetype(96 * 96 * 3));
        list.replace(0, cell);
        QCOMPARE(list.cell(0).pixel(5, 5), qRgb(1, 2, 3));
        list.replace(7, cell); // out of range: nothing
        QVERIFY(list.cell(7).isNull());
        QCOMPARE(list.add(QImage(300, 100, QImage::Format_RGB32)), 2); // fitted into a cell
        QCOMPARE(list.cell(2).size(), QSize(96, 96));
        list.clear();
        QCOMPARE(list.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestThumbnailCell)
#include "TestThumbnailCell.moc"
