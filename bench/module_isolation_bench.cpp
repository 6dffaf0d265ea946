// Module isolation cost: the same folder of PNG files decoded through the PNG
// module loaded in this process and through the module host helper, in one
// run, alternating, best of three. Loading and releasing the module are
// timed with the decoding; the helper's CPU time is counted (it is waited
// for when the module is released). Prints wall and CPU times and the ratio
// helper / in process.
//   usage: bench_module_isolation [FILES [PASSES]]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>


#include <algorithm>
#include <cstdio>

#include "ModuleBench.h"
#include "decode/Bitmap.h"
#include "plugin/HelperProcessModuleBackend.h"
#include "plugin/InProcessModuleBackend.h"
#include "plugin/TSpi.h"

using namespace pelandor;

namespace {

// A photograph-like picture: smooth gradients with a little noise, which
// PNG compresses to a few hundred KB at this size.
QImage makePicture(int index, QRandomGenerator &random)
{
    QImage image(800, 600, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(8));
            row[3 * x] = uchar((x + index * 7) / 4 + noise);
            row[3 * x + 1] = uchar((y + index * 3) / 3 + noise);
            row[3 * x + 2] = uchar((x + y) / 6 + noise);
        }
    }
    return image;
}

// One pass: load the module, decode every file, release the module.
bool decodeAll(const QString &moduleFolder, const QStringList &files, bool helper, Timing &best)
{
    CountingSink sink;
    TSpi host(moduleFolder, sink);
    if (helper) {
        host.setBackendFactory([](const QString &) {
            return std::make_unique<HelperProcessModuleBackend>(
                QFile::encodeName(QStringLiteral(PELANDOR_MODULE_HOST)).toStdString());
        });
    } else {
        host.setBackendFactory([](const QString &) { return std::make_unique<InProcessModuleBackend>(); });
    }
    const double cpuStart = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    host.LoadSpi(QStringLiteral("png.spi"));
    Bitmap bitmap;
    for (const QString &file : files) {
        if (host.GetBitmap(bitmap, file) != 0)
            return false;
    }
    host.FreeSpi();
    best.add(timer.nsecsElapsed() / 1e9, cpuSeconds() - cpuStart);
    return sink.count == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int fileCount = args.size() > 1 ? args[1].toInt() : 200;
    const int passes = args.size() > 2 ? args[2].toInt() : 3;

    QTemporaryDir folder;
    QRandomGenerator random(42);
    QStringList files;
    qint64 bytes = 0;
    for (int i = 0; i < fileCount; ++i) {
        const QString path = folder.filePath(QStringLiteral("picture%1.png").arg(i, 3, 10, QLatin1Char('0')));
        if (!makePicture(i, random).save(path, "PNG"))
            return 1;
        bytes += QFileInfo(path).size();
        files.append(path);
    }
    std::printf("%d PNG files, %.0f KB on average\n", fileCount, bytes / 1024.0 / std::max(fileCount, 1));

    const QString moduleFolder = QFileInfo(QStringLiteral(PELANDOR_PNG_MODULE)).absolutePath();
    Timing inProcess;
    Timing helper;
    for (int pass = 0; pass < passes; ++pass) {
        if (!decodeAll(moduleFolder, files, false, inProcess) || !decodeAll(moduleFolder, files, true, helper)) {
            std::fprintf(stderr, "decoding failed\n");
            return 1;
        }
    }
    std::printf("in process:  wall %.3f s, CPU %.3f s\n", inProcess.wall, inProcess.cpu);
    std::printf("helper:      wall %.3f s, CPU %.3f s\n", helper.wall, helper.cpu);
    std::printf("ratio:       wall %.3f, CPU %.3f (target <= 1.05)\n", helper.wall / inProcess.wall,
                helper.cpu / inProcess.cpu);
    return 0;
}
