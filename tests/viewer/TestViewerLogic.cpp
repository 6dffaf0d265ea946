// The viewer's arithmetic: zoom steps, fitting a window into the work area,
// and the name the save dialog suggests.
#include <QTest>

#include "viewer/SaveSuggestion.h"
#include "viewer/ViewerSizing.h"

using pelandor::SaveSuggestion;
using pelandor::ViewerSizing;

class TestViewerLogic : public QObject {
    Q_OBJECT

private slots:
    void zoomedSize_data()
    {
        QTest::addColumn<QSize>("full");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("150% truncates 151.5 x 49.5") << QSize(101, 33) << 150 << QSize(151, 49);
        QTest::newRow("25% of 3x3 is nothing") << QSize(3, 3) << 25 << QSize(0, 0);
        QTest::newRow("75% truncates") << QSize(7, 9) << 75 << QSize(5, 6);
        QTest::newRow("100% unchanged") << QSize(640, 480) << 100 << QSize(640, 480);
        QTest::newRow("200% of a wide strip does not overflow") << QSize(30000, 2) << 200 << QSize(60000, 4);
        QTest::newRow("empty image") << QSize(0, 0) << 200 << QSize(0, 0);
    }
    void zoomedSize()
    {
        QFETCH(QSize, full);
        QFETCH(int, percent);
        QFETCH(QSize, expected);
        QCOMPARE(ViewerSizing::zoomedSize(full, percent), expected);
    }

    void fittedClientSize_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QSize>("workArea");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("fits") << QSize(300, 200) << QSize(10, 30) << QSize(1920, 1040) << QSize(300, 200);
        QTest::newRow("one pixel short of the height fits")
            << QSize(300, 1009) << QSize(10, 30) << QSize(1920, 1040) << QSize(300, 1009);
        QTest::newRow("exactly as tall as the work area is limited")
            << QSize(300, 1010) << QSize(10, 30) << QSize(1920, 1040) << QSize(300, 1010);
        QTest::newRow("taller is limited") << QSize(300, 5000) << QSize(10, 30) << QSize(1920, 1040)
                                           << QSize(300, 1010);
        QTest::newRow("wider is limited") << QSize(8000, 100) << QSize(10, 30) << QSize(1920, 1040)
                                          << QSize(1910, 100);
        QTest::newRow("both limited, no frame") << QSize(8000, 6000) << QSize(0, 0) << QSize(800, 600)
                                                << QSize(800, 600);
        QTest::newRow("frame larger than the work area keeps the minimum")
            << QSize(50, 50) << QSize(10, 30) << QSize(5, 20) << ViewerSizing::MinimumClientSize;
        QTest::newRow("empty picture gets the minimum") << QSize(0, 0) << QSize(10, 30) << QSize(1920, 1040)
                                                        << ViewerSizing::MinimumClientSize;
    }
    void fittedClientSize()
    {
        QFETCH(QSize, image);
        QFETCH(QSize, frame);
        QFETCH(QSize, workArea);
        QFETCH(QSize, expected);
        QCOMPARE(ViewerSizing::fittedClientSize(image, frame, workArea), expected);
    }

    void fitSize_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("fits: never enlarged") << QSize(300, 200) << QSize(800, 600) << QSize(300, 200);
        QTest::newRow("wide, width decides") << QSize(6000, 4000) << QSize(1200, 1000) << QSize(1200, 800);
        QTest::newRow("tall, height decides") << QSize(3000, 4000) << QSize(1200, 1000) << QSize(750, 1000);
        QTest::newRow("rounded to nearest") << QSize(1000, 333) << QSize(100, 100) << QSize(100, 33);
        QTest::newRow("a line keeps a pixel") << QSize(100000, 1) << QSize(100, 100) << QSize(100, 1);
        QTest::newRow("no area") << QSize(500, 500) << QSize(0, 0) << QSize(1, 1);
        QTest::newRow("empty picture") << QSize(0, 0) << QSize(100, 100) << QSize(0, 0);
        QTest::newRow("no 32-bit overflow") << QSize(1 << 20, 1 << 20) << QSize(70000, 50000)
                                            << QSize(50000, 50000);
    }
    void fitSize()
    {
        QFETCH(QSize, image);
        QFETCH(QSize, area);
        QFETCH(QSize, expected);
        QCOMPARE(ViewerSizing::fitSize(image, area), expected);
    }

    void suggestion_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("last extension only") << "/pics/photo.old.jpg" << "/pics/" << "photo.old";
        QTest::newRow("no extension") << "/pics/README" << "/pics/" << "README";
        QTest::newRow("dot in the folder only") << "/pics.d/photo" << "/pics.d/" << "photo";
        QTest::newRow("file at the root") << "/a.bmp" << "/" << "a";
        QTest::newRow("name that is all extension") << "/pics/.jpg" << "/pics/" << "";
        QTest::newRow("not a path") << "ViewWindow" << "" << "ViewWindow";
    }
    void suggestion()
    {
        QFETCH(QString, caption);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        const SaveSuggestion s = SaveSuggestion::fromCaption(caption);
        QCOMPARE(s.folder, folder);
        QCOMPARE(s.name, name);
    }

    void withExtension_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        QTest::newRow("suggested name keeps its inner dot") << "/pics/photo.old" << "/pics/photo.old.jpg";
        QTest::newRow("no extension") << "/pics/photo" << "/pics/photo.jpg";
        QTest::newRow("own extension, other case") << "/pics/photo.JPG" << "/pics/photo.JPG";
        QTest::newRow("another JPEG extension") << "/pics/photo.jpeg" << "/pics/photo.jpeg";
        QTest::newRow("dot only in the folder") << "/pics.jpg/photo" << "/pics.jpg/photo.jpg";
    }
    void withExtension()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        QCOMPARE(SaveSuggestion::withExtension(chosen, "jpg", {"jpg", "jpeg", "jpe"}), expected);
    }
};

QTEST_APPLESS_MAIN(TestViewerLogic)
#include "TestViewerLogic.moc"
