// Steps a viewer through every JPEG file of a folder with the Space key and
// prints how long each step takes until the next photo is painted: once with
// a pause before every step (the file ahead has been decoded meanwhile), once
// without (the key is pressed as soon as the previous photo is shown).
//   usage: bench_viewer_step DIR [PAUSE_MS]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "decode/ImageTypeEntry.h"
#include "listing/FileListItem.h"
#include "listing/FileListModel.h"
#include "platform/MessageSink.h"
#include "viewer/SingleImageDecoder.h"
#include "viewer/TViewWindow.h"
#include "viewer/ViewerPictureLoader.h"
#include "viewer/ViewerSequence.h"

using namespace pelandor;

namespace {

class QuietSink : public MessageSink {
public:
    void showMessage(const QString &) override {}
};

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Presses `key`, waits for the picture and its painting; milliseconds.
double timedStep(TViewWindow &viewer, int key)
{
    QElapsedTimer clock;
    clock.start();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&viewer, &press);
    while (viewer.stepping())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    viewer.repaint();
    return double(clock.nsecsElapsed()) / 1e6;
}

void report(const char *what, std::vector<double> times)
{
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) { return times[std::min(times.size() - 1, size_t(q * double(times.size())))]; };
    double sum = 0;
    int over = 0;
    for (double t : times) {
        sum += t;
        over += t > 50 ? 1 : 0;
    }
    std::printf("%-22s %3zu steps  median %6.1f ms  p90 %6.1f ms  max %7.1f ms  mean %6.1f ms  over 50 ms: %d\n",
                what, times.size(), at(0.5), at(0.9), times.back(), sum / double(times.size()), over);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_viewer_step DIR [PAUSE_MS]\n");
        return 2;
    }
    const QDir folder(args[1]);
    const int pause = args.size() > 2 ? args[2].toInt() : 1000;
    const QStringList names = folder.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}, QDir::Files,
                                               QDir::Name);
    if (names.size() < 2) {
        std::fprintf(stderr, "bench_viewer_step: fewer than two JPEG files in %s\n", qPrintable(args[1]));
        return 2;
    }
    FileListModel model;
    for (const QString &name : names)
        {
        FileListItem item;
        item.caption = name;
        model.appendItem(item);
    }
    const ImageTypeList types{{QStringLiteral("*.BMP"), QString()},
                              {QStringLiteral("*.JPG"), QString()},
                              {allImageFilesText(), QString()}};
    QuietSink sink;
    const auto pathOfRow = [&](int row) { return folder.filePath(model.caption(row)); };

    auto *viewer = new TViewWindow;
    viewer->setAttribute(Qt::WA_DeleteOnClose, false);
    {
        SingleImageDecoder decoder(QString(), sink, types, false);
        viewer->setPicture(decoder.decode(pathOfRow(0)));
    }
    viewer->setBrowsing(new ViewerSequence(&model, pathOfRow, 0, pathOfRow(0)),
                        new ViewerPictureLoader(QString(), sink, types, false));
    viewer->show();
    waitMs(pause);

    std::vector<double> paused, unpaused;
    for (int i = 1; i < names.size(); ++i) {
        waitMs(pause);
        paused.push_back(timedStep(*viewer, Qt::Key_Space));
    }
    timedStep(*viewer, Qt::Key_Home);
    waitMs(pause);
    for (int i = 1; i < names.size(); ++i)
        unpaused.push_back(timedStep(*viewer, Qt::Key_Space));

    std::printf("%lld JPEG files in %s, pause %d ms\n", qint64(names.size()), qPrintable(args[1]), pause);
    report("step after a pause", paused);
    report("step without a pause", unpaused);
    delete viewer;
    return 0;
}
