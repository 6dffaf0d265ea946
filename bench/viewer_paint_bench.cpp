// Painting a 50-megapixel photograph in the viewer: the time of one full
// viewport repaint and of one scroll step at every zoom step. Run on the
// offscreen platform: QT_QPA_PLATFORM=offscreen bench_viewer_paint
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <cstdio>

#include "decode/Bitmap.h"
#include "viewer/ImageControl.h"
#include "viewer/TViewWindow.h"

using namespace pelandor;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QImage photo(8660, 5774, QImage::Format_RGB888);
    for (int y = 0; y < photo.height(); ++y) {
        uchar *line = photo.scanLine(y);
        for (int x = 0; x < photo.width() * 3; ++x)
            line[x] = uchar((x ^ y) & 0xFF);
    }
    Bitmap bitmap;
    bitmap.assign(PixelFormat::Bits24, photo);

    TViewWindow viewer;
    viewer.setPicture(bitmap);
    viewer.show();
    QApplication::processEvents();
    auto *scroll = viewer.findChild<QScrollArea *>();
    QWidget *viewport = scroll->viewport();

    const QList<QAction *> steps{viewer.popMnu_view25, viewer.popMnu_view50, viewer.popMnu_view75,
                                 viewer.popMnu_view100, viewer.popMnu_view150, viewer.popMnu_view200};
    std::printf("viewport %dx%d\n", viewport->width(), viewport->height());
    for (QAction *step : steps) {
        QElapsedTimer zoomTimer;
        zoomTimer.start();
        step->trigger();
        viewport->repaint();
        const qint64 zoomMs = zoomTimer.elapsed();

        QElapsedTimer paintTimer;
        paintTimer.start();
        constexpr int repaints = 10;
        QImage target(viewport->size(), QImage::Format_RGB32);
        const QRect visible(-viewer.Image1->pos(), viewport->size());
        for (int i = 0; i < repaints; ++i)
            viewer.Image1->render(&target, QPoint(), QRegion(visible));
        const double paintMs = paintTimer.elapsed() / double(repaints);

        QElapsedTimer scrollTimer;
        scrollTimer.start();
        constexpr int scrolls = 20;
        for (int i = 0; i < scrolls; ++i) {
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->value() + 40);
            scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->value() + 40);
            QApplication::processEvents();
        }
        const double scrollMs = scrollTimer.elapsed() / double(scrolls);
        std::printf("%-5s zoom+paint %4lld ms, full repaint %6.1f ms, scroll step %6.1f ms\n",
                    qPrintable(step->text()), zoomMs, paintMs, scrollMs);
    }
    return 0;
}
