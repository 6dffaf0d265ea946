// Pipeline benchmark: the headless thumbnail run (enumerate, decode in full,
// fit, stretch, write the cells) over a folder of photographs, against djpeg
// decoding the same files in full with the accurate integer transform, in the
// same run. Prints both times and their ratio.
//   usage: bench_listing_pipeline FOLDER DJPEG [PASSES]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <limits>

#include "listing/FolderReader.h"
#include "listing/HeadlessReport.h"

using namespace pelandor;

namespace {

double runDjpeg(const QString &djpeg, const QStringList &files)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString &file : files) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(djpeg, {QStringLiteral("-dct"), QStringLiteral("int"), file});
        process.waitForFinished(-1);
    }
    return timer.nsecsElapsed() / 1e9;
}

double runThumbnails(const QString &folder, const QString &moduleFolder)
{
    QTemporaryDir out;
    HeadlessReport::Options options;
    options.command = HeadlessReport::Command::Thumbnails;
    options.folder = folder;
    options.outputFolder = out.path();
    options.type = QStringLiteral("*.JPG");
    QTextStream err(stderr);
    QElapsedTimer timer;
    timer.start();
    HeadlessReport::runThumbnails(options, moduleFolder, err);
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_listing_pipeline FOLDER DJPEG [PASSES]\n");
        return 2;
    }
    const QString folder = QDir(args[1]).absolutePath();
    const QString djpeg = args[2];
    const int passes = args.size() > 3 ? std::max(1, args[3].toInt()) : 3;

    QStringList files;
    qint64 bytes = 0;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files)) {
        if (FolderReader::matches(info.fileName(), QStringLiteral("*.JPG"))) {
            files << info.absoluteFilePath();
            bytes += info.size();
        }
    }
    // An empty module folder: only the built-in decoders.
    QTemporaryDir modules;

    double best = std::numeric_limits<double>::max();
    double bestDjpeg = std::numeric_limits<double>::max();
    for (int pass = 0; pass < passes; ++pass) {
        best = std::min(best, runThumbnails(folder, modules.path()));
        bestDjpeg = std::min(bestDjpeg, runDjpeg(djpeg, files));
    }
    std::printf("files: %lld JPEG, %.1f MB\n", static_cast<long long>(files.size()), bytes / 1e6);
    std::printf("headless thumbnails: %.3f s (best of %d)\n", best, passes);
    std::printf("djpeg -dct int:      %.3f s (best of %d, one process per file)\n", bestDjpeg, passes);
    std::printf("ratio: %.3f (target: at most 1.15)\n", best / bestDjpeg);
    return 0;
}
