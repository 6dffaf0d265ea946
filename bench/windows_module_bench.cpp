// Windows module host cost: the same toy pictures (1 to 12 megapixels)
// decoded through the toy module built for Linux, in the module host helper,
// and through its Win64 build in the Windows module host under Wine; in one
// run, alternating, best of PASSES. Each pass loads the module, decodes every
// file and releases it. The Windows host's first start (and the making of the
// Wine prefix, when there is none) is timed apart, before the passes. CPU
// time counts this process, the helper (waited for when the module is
// released) and every process of the Wine prefix (the host and Wine's own).
//   usage: bench_windows_module [FILES [PASSES]]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ModuleBench.h"
#include "decode/Bitmap.h"
#include "plugin/HelperProcessModuleBackend.h"
#include "plugin/TSpi.h"
#include "plugin/WineModuleHost.h"

using namespace pelandor;

namespace {

// A 24-bit toy picture of about `megapixels` million pixels, 4:3.
bool writeToyPicture(const QString &path, int megapixels, int index)
{
    const int width = int(std::sqrt(megapixels * 1e6 * 4 / 3));
    const int height = int(megapixels * 1e6 / width);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray header("PTOY");
    header += char(1);
    header += char(24);
    header += 'N';
    header += char(0);
    for (const int side : {width, height})
        for (int shift = 0; shift < 32; shift += 8)
            header += char((side >> shift) & 0xff);
    file.write(header);
    QByteArray row(width * 3, '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[3 * x] = char(x + index);
            row[3 * x + 1] = char(y);
            row[3 * x + 2] = char(x ^ y);
        }
        if (file.write(row) != row.size())
            return false;
    }
    return true;
}

// CPU seconds of the live processes that run in the Wine prefix `prefix`.
double prefixCpuSeconds(const QByteArray &prefix)
{
    const QByteArray needle = "\0WINEPREFIX=" + prefix + '\0';
    const double tick = double(sysconf(_SC_CLK_TCK));
    double total = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!environ.open(QIODevice::ReadOnly) || !('\0' + environ.readAll()).contains(needle)
            || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            total += (fields[11].toDouble() + fields[12].toDouble()) / tick;
    }
    return total;
}

// One pass: load the module, decode every file, release the module.
bool decodeAll(const QString &moduleFolder, const QString &module, const QStringList &files, const QByteArray &prefix,
               Timing &best)
{
    CountingSink sink;
    TSpi host(moduleFolder, sink);
    host.setBackendFactory([](const QString &path) -> std::unique_ptr<ModuleBackend> {
        if (WineModuleHost::machineOf(QFile::encodeName(path).toStdString()) == WineModuleHost::Machine::Native)
            return std::make_unique<HelperProcessModuleBackend>(QFile::encodeName(TSpi::moduleHostPath()).toStdString());
        return TSpi::windowsBackend(path, 60000);
    });
    const double cpuStart = cpuSeconds() + prefixCpuSeconds(prefix);
    QElapsedTimer timer;
    timer.start();
    host.LoadSpi(module);
    Bitmap bitmap;
    for (const QString &file : files) {
        if (host.GetBitmap(bitmap, file) != 0)
            return false;
    }
    host.FreeSpi();
    best.add(timer.nsecsElapsed() / 1e9, cpuSeconds() + prefixCpuSeconds(prefix) - cpuStart);
    return sink.count == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int fileCount = args.size() > 1 ? args[1].toInt() : 100;
    const int passes = args.size() > 2 ? args[2].toInt() : 3;
    qputenv("PELANDOR_MODULE_HOST", PELANDOR_MODULE_HOST);

    const QString moduleFolder = QStringLiteral(PELANDOR_TOY_MODULE_DIR);
    const QString windowsModule = QStringLiteral("toy-win64.spi");
    const QString problem = TSpi::moduleProblem(moduleFolder + QLatin1Char('/') + windowsModule);
    if (!QFileInfo::exists(moduleFolder + QLatin1Char('/') + windowsModule) || !problem.isEmpty()) {
        std::fprintf(stderr, "no Win64 toy module to run: %s\n",
                     problem.isEmpty() ? "build with mingw-w64 installed" : qPrintable(problem));
        return 1;
    }

    QTemporaryDir folder;
    QStringList files;
    qint64 pixels = 0;
    for (int i = 0; i < fileCount; ++i) {
        const int megapixels = 1 + i % 12;
        const QString path = folder.filePath(QStringLiteral("picture%1.toy").arg(i, 3, 10, QLatin1Char('0')));
        if (!writeToyPicture(path, megapixels, i))
            return 1;
        pixels += (QFileInfo(path).size() - 16) / 3;
        files.append(path);
    }
    std::printf("%d toy pictures of 1 to 12 megapixels, %.1f megapixels on average (%.2f GB)\n", fileCount,
                pixels / 1e6 / std::max(fileCount, 1), pixels * 3 / 1e9);

    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QByteArray prefix = QFile::encodeName(QDir::cleanPath(dataHome + QStringLiteral("/pelandor/wine")));
    const bool newPrefix = !QFileInfo::exists(QFile::decodeName(prefix) + QStringLiteral("/.update-timestamp"));
    {
        // The host's first start, kept for the passes.
        CountingSink sink;
        TSpi host(moduleFolder, sink);
        QElapsedTimer timer;
        timer.start();
        host.LoadSpi(windowsModule);
        if (!host.isLoaded()) {
            std::fprintf(stderr, "the Win64 toy module does not load\n");
            return 1;
        }
        std::printf("Windows module host, first start: %.2f s (%s)\n", timer.nsecsElapsed() / 1e9,
                    newPrefix ? "the Wine prefix was made" : "the Wine prefix existed");
    }

    Timing native;
    Timing windows;
    for (int pass = 0; pass < passes; ++pass) {
        if (!decodeAll(moduleFolder, QStringLiteral("toy.spi"), files, prefix, native)
            || !decodeAll(moduleFolder, windowsModule, files, prefix, windows)) {
            std::fprintf(stderr, "decoding failed\n");
            return 1;
        }
    }
    std::printf("best of %d, alternating         wall s    CPU s\n", passes);
    std::printf("Linux module in the helper       %6.3f   %6.3f\n", native.wall, native.cpu);
    std::printf("Win64 module under Wine          %6.3f   %6.3f\n", windows.wall, windows.cpu);
    std::printf("ratio Wine / helper              %6.3f   %6.3f   (target <= 1.15)\n", windows.wall / native.wall,
                windows.cpu / native.cpu);
    WineModuleHost::endAll();
    return 0;
}
