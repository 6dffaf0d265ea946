// The viewer window on the offscreen platform (its screen is the work area):
// menu, fitting and zooming, closing, saving and the wallpaper command.
#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../platform/StandInPrograms.h"
#include "decode/Bitmap.h"
#include "decode/ImageLoader.h"
#include "platform/MessageSink.h"
#include "viewer/ImageControl.h"
#include "viewer/TViewWindow.h"
#include "viewer/ViewerSizing.h"

using namespace pelandor;

namespace {

class RecordingSink : public MessageSink {
public:
    void showMessage(const QString &text) override { messages.append(text); }
    QStringList messages;
};

Bitmap picture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(qRgb(10, 100, 200));
    image.setPixelColor(0, 0, Qt::red);
    Bitmap bitmap;
    bitmap.assign(PixelFormat::Bits24, image);
    return bitmap;
}

QSize workArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry().size();
}

QString checkedZoom(const TViewWindow &viewer)
{
    const QAction *checked = viewer.ZoomGroup->checkedAction();
    return checked ? checked->text() : QString();
}

// Answers the next modal save dialog with `path`.
void answerSaveDialog(TViewWindow &viewer, const QString &path)
{
    QTimer::singleShot(0, &viewer, [&viewer, path] {
        viewer.SaveDialog1->selectFile(path);
        static_cast<QDialog *>(viewer.SaveDialog1)->accept();
    });
}

Bitmap readBack(const QString &path, const QString &pattern)
{
    Bitmap bitmap;
    PictureInfo record{};
    LoadImageToBitmap(false, nullptr, bitmap, record, path, pattern);
    return bitmap;
}

} // namespace

class TestViewWindow : public QObject {
    Q_OBJECT

private slots:
    void menuItems()
    {
        TViewWindow viewer;
        QCOMPARE(viewer.windowTitle(), QString("ViewWindow"));
        QStringList texts;
        for (const QAction *item : viewer.PopupMenu1->actions())
            texts.append(item->isSeparator() ? "-" : item->text());
        QCOMPARE(texts, (QStringList{"閉じる", "-", "25%", "50%", "75%", "100%", "150%", "200%", "Fit to window",
                                     "-", "ﾌｧｲﾙに保存", "壁紙に設定"}));
        QCOMPARE(viewer.popMnu_savefile_bmp->text(), QString("BMP形式"));
        QCOMPARE(viewer.popMnu_savefile_jpeg->data().toInt(), 1);
        QCOMPARE(viewer.popMnu_wallpaper_tile->text(), QString("全体"));
        QCOMPARE(viewer.popMnu_wallpaper_center->data().toInt(), 1);
        QCOMPARE(viewer.ZoomGroup->actions().size(), 7);
        QVERIFY(viewer.ZoomGroup->isExclusive());
        QCOMPARE(checkedZoom(viewer), QString());
    }

    void showsAt100FittedToImage()
    {
        TViewWindow viewer;
        viewer.setPicture(picture(300, 200));
        viewer.show();
        QCOMPARE(checkedZoom(viewer), QString("100%"));
        QCOMPARE(viewer.Image1->size(), QSize(300, 200));
        QCOMPARE(viewer.size(), QSize(300, 200));
        QCOMPARE(viewer.ImageWidth, 300);
        QCOMPARE(viewer.ImageHeight, 200);
    }

    void largeImageIsLimitedToWorkArea()
    {
        TViewWindow viewer;
        const QSize area = workArea();
        viewer.setPicture(picture(area.width() + 500, area.height() + 300));
        viewer.show();
        // Opened fitted: the whole picture in a window within the work area.
        QCOMPARE(checkedZoom(viewer), QString("Fit to window"));
        QVERIFY(viewer.frameGeometry().width() <= area.width());
        QVERIFY(viewer.frameGeometry().height() <= area.height());
        QCOMPARE(viewer.Image1->width(), viewer.width());
        QVERIFY(viewer.Image1->height() <= viewer.height());
        // At 100 % the window takes the work area and scrolls.
        viewer.popMnu_view100->trigger();
        QCOMPARE(viewer.frameGeometry().size(), area);
        QCOMPARE(checkedZoom(viewer), QString("100%"));
        auto *scroll = viewer.findChild<QScrollArea *>();
        QTRY_VERIFY(scroll->horizontalScrollBar()->isVisible());
        QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());
        QCOMPARE(viewer.Image1->size(), QSize(area.width() + 500, area.height() + 300));
    }

    // F11 shows the picture full screen on black; F11 again returns. + and -
    // step the zoom from any mode, F fits, Esc closes.
    void viewerKeys()
    {
        QPointer<TViewWindow> viewer = new TViewWindow;
        viewer->setPicture(picture(100, 60));
        viewer->show();
        QTest::keyClick(viewer, Qt::Key_F11);
        QTRY_VERIFY(viewer->isFullScreen());
        auto *scroll = viewer->findChild<QScrollArea *>();
        QCOMPARE(scroll->viewport()->palette().color(QPalette::Window), QColor(Qt::black));
        QTest::keyClick(viewer, Qt::Key_F11);
        QTRY_VERIFY(!viewer->isFullScreen());
        QVERIFY(scroll->viewport()->palette().color(QPalette::Window) != QColor(Qt::black));

        QTest::keyClick(viewer, Qt::Key_Plus);
        QCOMPARE(checkedZoom(*viewer), QString("150%"));
        QTest::keyClick(viewer, Qt::Key_F);
        QCOMPARE(checkedZoom(*viewer), QString("Fit to window"));
        viewer->resize(50, 40);
        QCOMPARE(viewer->Image1->size(), QSize(50, 30));
        QTest::keyClick(viewer, Qt::Key_Minus); // from the fitted 50 %
        QCOMPARE(checkedZoom(*viewer), QString("25%"));
        QTest::keyClick(viewer, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(100, 60));
        QTest::keyClick(viewer, Qt::Key_Escape);
        QTRY_VERIFY(viewer.isNull());
    }

    void zoomSteps_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("150%") << "popMnu_view150" << QSize(151, 49);
        QTest::newRow("25%") << "popMnu_view25" << QSize(25, 8);
        QTest::newRow("200%") << "popMnu_view200" << QSize(202, 66);
    }
    void zoomSteps()
    {
        QFETCH(QString, item);
        QFETCH(QSize, expected);
        TViewWindow viewer;
        viewer.setPicture(picture(101, 33));
        viewer.show();
        viewer.resize(400, 400);
        auto *action = viewer.findChild<QAction *>(item);
        action->trigger();
        QCOMPARE(viewer.Image1->size(), expected);
        QCOMPARE(viewer.size(), expected.expandedTo(ViewerSizing::MinimumClientSize));
        QCOMPARE(viewer.ZoomGroup->checkedAction(), action);
        QVERIFY(!viewer.popMnu_view100->isChecked());
    }

    void doubleClickShrinksEnlargedWindowBack()
    {
        TViewWindow viewer;
        viewer.setPicture(picture(120, 90));
        viewer.show();
        viewer.popMnu_view50->trigger();
        viewer.resize(500, 400);
        QTest::mouseDClick(viewer.Image1, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(viewer.size(), QSize(60, 45));
    }

    // A picture that failed to decode, or a tiny one zoomed out, still gives
    // a window the user sees and can close, and closing it frees it.
    void emptyPictureStillGivesAClosableWindow_data()
    {
        QTest::addColumn<QSize>("pictureSize");
        QTest::addColumn<QString>("zoom");
        QTest::newRow("file that failed to decode") << QSize(0, 0) << QString();
        QTest::newRow("3 x 3 at 25 %") << QSize(3, 3) << "popMnu_view25";
    }
    void emptyPictureStillGivesAClosableWindow()
    {
        QFETCH(QSize, pictureSize);
        QFETCH(QString, zoom);
        QPointer<TViewWindow> viewer = new TViewWindow;
        viewer->setPicture(pictureSize.isEmpty() ? Bitmap() : picture(pictureSize.width(), pictureSize.height()));
        viewer->show();
        if (!zoom.isEmpty())
            viewer->findChild<QAction *>(zoom)->trigger();
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->size(), ViewerSizing::MinimumClientSize);
        viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(viewer.isNull());
    }

    void closingFreesTheWindow_data()
    {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("閉じる") << true;
        QTest::newRow("close button") << false;
    }
    void closingFreesTheWindow()
    {
        QFETCH(bool, byMenu);
        QPointer<TViewWindow> viewer = new TViewWindow;
        viewer->setPicture(picture(10, 10));
        viewer->show();
        if (byMenu)
            viewer->popMnu_exit->trigger();
        else
            viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(viewer.isNull());
    }

    void ownerTakesViewersAlong()
    {
        QWidget closedOwner;
        closedOwner.show();
        QPointer<TViewWindow> closedWithOwner = new TViewWindow(&closedOwner);
        closedWithOwner->show();
        QVERIFY(!closedWithOwner->parent());
        closedOwner.close();
        QTRY_VERIFY(closedWithOwner.isNull());

        auto *destroyedOwner = new QWidget;
        QPointer<TViewWindow> destroyedWithOwner = new TViewWindow(destroyedOwner);
        destroyedWithOwner->show();
        delete destroyedOwner;
        QVERIFY(destroyedWithOwner.isNull());
    }

    void saveDialogSuggestsNameAndFolder_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("bmp") << "popMnu_savefile_bmp" << "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)" << "bmp";
        QTest::newRow("jpeg") << "popMnu_savefile_jpeg" << "JPEGﾌｧｲﾙ (*.jpg)" << "jpg";
    }
    void saveDialogSuggestsNameAndFolder()
    {
        QFETCH(QString, item);
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        TViewWindow viewer;
        viewer.setWindowTitle(dir.filePath("photo.old.jpg"));
        viewer.prepareSaveDialog(viewer.findChild<QAction *>(item)->data().toInt());
        QCOMPARE(viewer.SaveDialog1->nameFilters(), QStringList{filter});
        QCOMPARE(viewer.SaveDialog1->defaultSuffix(), suffix);
        QCOMPARE(viewer.SaveDialog1->directory().absolutePath(), dir.path());
        QCOMPARE(viewer.SaveDialog1->selectedFiles().value(0), dir.filePath("photo.old"));
        QVERIFY(viewer.SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(viewer.SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
    }

    void saveWritesFullSizeOverOlderFile_data()
    {
        QTest::addColumn<bool>("jpeg");
        QTest::newRow("bmp") << false;
        QTest::newRow("jpeg") << true;
    }
    void saveWritesFullSizeOverOlderFile()
    {
        QFETCH(bool, jpeg);
        QTemporaryDir dir;
        const QString target = dir.filePath(jpeg ? "out.jpg" : "out.bmp");
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("older");
        }
        TViewWindow viewer;
        QStringList errors;
        viewer.setErrorHandler([&](QWidget *, const QString &m) { errors.append(m); });
        viewer.setPicture(picture(40, 30));
        viewer.setWindowTitle(dir.filePath("source.png"));
        viewer.show();
        viewer.popMnu_view50->trigger();
        answerSaveDialog(viewer, dir.filePath("out"));
        (jpeg ? viewer.popMnu_savefile_jpeg : viewer.popMnu_savefile_bmp)->trigger();

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        const Bitmap back = readBack(target, jpeg ? "*.JPG" : "*.BMP");
        QCOMPARE(back.width(), 40);
        QCOMPARE(back.height(), 30);
        QCOMPARE(back.pixelFormat(), PixelFormat::Bits24);
    }

    void unwritableFileEndsInErrorBox()
    {
        QTemporaryDir dir;
        TViewWindow viewer;
        QStringList errors;
        viewer.setErrorHandler([&](QWidget *parent, const QString &m) {
            QCOMPARE(parent, &viewer);
            errors.append(m);
        });
        viewer.setPicture(picture(4, 4));
        viewer.setWindowTitle(dir.filePath("a.bmp"));
        viewer.show();
        answerSaveDialog(viewer, dir.filePath("no-such-folder/b.bmp"));
        viewer.popMnu_savefile_bmp->trigger();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("b.bmp"), qPrintable(errors[0]));
        QVERIFY(viewer.isVisible());
    }

    void wallpaper_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("options");
        QTest::newRow("全体") << "popMnu_wallpaper_tile" << "wallpaper";
        QTest::newRow("中央") << "popMnu_wallpaper_center" << "centered";
    }
    void wallpaper()
    {
        QFETCH(QString, item);
        QFETCH(QString, options);
        QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        StandInPrograms programs;
        QVERIFY(programs.add("gsettings"));

        TViewWindow viewer;
        RecordingSink messages;
        viewer.setMessageSink(&messages);
        viewer.setPicture(picture(40, 30));
        viewer.show();
        viewer.popMnu_view25->trigger();
        // Twice: the second replaces the first file.
        viewer.findChild<QAction *>(item)->trigger();
        viewer.findChild<QAction *>(item)->trigger();

        const QString file = dataHome.filePath("pelandor/Pelandor_WallPaper.bmp");
        QCOMPARE(readBack(file, "*.BMP").width(), 40);
        QCOMPARE(QDir(dataHome.filePath("pelandor")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Pelandor_WallPaper.bmp"});
        QVERIFY(messages.messages.isEmpty());
        const auto calls = programs.calls();
        QCOMPARE(calls.size(), 6);
        QCOMPARE(calls[0].arguments.value(3), QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
        QCOMPARE(calls[2].arguments.value(3), options);
    }

    void wallpaperOnUnknownDesktopSaysSo()
    {
        QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        qputenv("XDG_CURRENT_DESKTOP", "SomethingElse");
        TViewWindow viewer;
        RecordingSink messages;
        viewer.setMessageSink(&messages);
        viewer.setPicture(picture(8, 8));
        viewer.popMnu_wallpaper_tile->trigger();
        QCOMPARE(messages.messages.size(), 1);
        QVERIFY(messages.messages[0].contains("SomethingElse"));
    }

    void stretchedDrawingReadsOnlyTheExposedPart_data()
    {
        QTest::addColumn<QRect>("exposed");
        QTest::addColumn<QSize>("control");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("200%") << QRect(100, 50, 20, 10) << QSize(2000, 1000) << QSize(1000, 500)
                              << QRect(49, 24, 12, 7);
        QTest::newRow("25%, clipped at the edge") << QRect(0, 0, 10, 10) << QSize(250, 125) << QSize(1000, 500)
                                                  << QRect(0, 0, 41, 41);
        QTest::newRow("nothing to show") << QRect(0, 0, 10, 10) << QSize(0, 0) << QSize(3, 3) << QRect();
    }
    void stretchedDrawingReadsOnlyTheExposedPart()
    {
        QFETCH(QRect, exposed);
        QFETCH(QSize, control);
        QFETCH(QSize, picture);
        QFETCH(QRect, expected);
        QCOMPARE(ImageControl::sourceRectFor(exposed, control, picture), expected);
    }

    void stretchedDrawingMatchesWholeImageScaling()
    {
        // Drawing part by part gives the same pixels as stretching the whole
        // picture at once.
        QImage source(7, 5, QImage::Format_RGB888);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                source.setPixel(x, y, qRgb(x * 36, y * 50, (x + y) * 20));
        Bitmap bitmap;
        bitmap.assign(PixelFormat::Bits24, source);
        ImageControl control;
        control.setPicture(bitmap);
        control.resize(10, 7);
        QImage whole(control.size(), QImage::Format_RGB32);
        control.render(&whole);
        QImage pieces(control.size(), QImage::Format_RGB32);
        pieces.fill(Qt::black);
        for (int y = 0; y < 7; y += 3)
            for (int x = 0; x < 10; x += 4)
                control.render(&pieces, QPoint(x, y), QRegion(x, y, 4, 3));
        QCOMPARE(pieces, whole);
        QCOMPARE(whole.pixel(9, 6), source.pixel(6, 4));
    }
};

QTEST_MAIN(TestViewWindow)
#include "TestViewWindow.moc"
