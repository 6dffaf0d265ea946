// JPEG decoding throughput: our full-size decode (file read included) beside
// the library's own command-line decoder, `djpeg -dct int -outfile /dev/null`,
// on the same files in the same run. Each file is decoded by both in turn,
// `passes` times; the fastest time of each file counts, which keeps noise from
// other work on the machine out of the figures. djpeg's time includes starting
// its process; the start-up (timed on an 8x8 file) is also shown taken out.
//   usage: bench_jpeg_decode FOLDER [PASSES] [DJPEG]
#include "decode/Bitmap.h"
#include "decode/JpegDecoder.h"
#include "decode/JpegWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs djpeg on one file; the time includes starting the process, as any
// use of the command would.
double runDjpeg(const std::string &djpeg, const std::string &file, bool *ok)
{
    std::vector<std::string> args = {djpeg, "-dct", "int", "-outfile", "/dev/null", file};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, djpeg.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        *ok = false;
        return 0;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double t = secondsSince(start);
    *ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [PASSES] [DJPEG]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string djpeg = argc > 3 ? argv[3] : "/usr/bin/djpeg";

    const QFileInfoList files = QDir(folder).entryInfoList({"*.jpg", "*.jpeg", "*.JPG", "*.JPEG"}, QDir::Files,
                                                           QDir::Name);
    struct Entry {
        QString path;
        double megapixels = 0;
        double ours = 1e30;
        double theirs = 1e30;
        bool usable = true;
    };
    // The cost of starting djpeg, from the fastest of several runs on a tiny file.
    double startup = 0;
    {
        QTemporaryFile tiny(QDir::tempPath() + QStringLiteral("/bench-XXXXXX.jpg"));
        pelandor::Bitmap pixel;
        QImage image(8, 8, QImage::Format_RGB888);
        image.fill(Qt::gray);
        pixel.assign(pelandor::PixelFormat::Bits24, image);
        if (tiny.open() && pelandor::writeJpeg(pixel, tiny)) {
            tiny.flush();
            startup = 1e30;
            for (int i = 0; i < 20; ++i) {
                bool ok = true;
                startup = std::min(startup, runDjpeg(djpeg, tiny.fileName().toStdString(), &ok));
                if (!ok)
                    startup = 0;
            }
        }
    }

    std::vector<Entry> entries;
    for (const QFileInfo &info : files)
        entries.push_back({info.absoluteFilePath()});
    if (entries.empty()) {
        std::fprintf(stderr, "no JPEG files in %s\n", argv[1]);
        return 2;
    }

    for (int pass = 0; pass < passes; ++pass) {
        for (Entry &e : entries) {
            if (!e.usable)
                continue;
            pelandor::Bitmap bitmap;
            Clock::time_point start = Clock::now();
            const pelandor::JpegResult result = pelandor::decodeJpegFile(e.path, bitmap);
            const double ours = secondsSince(start);
            bool ok = true;
            const double theirs = runDjpeg(djpeg, e.path.toStdString(), &ok);
            if (result != pelandor::JpegResult::Ok || !ok) {
                std::fprintf(stderr, "skipped (%s): %s\n", ok ? "our decode failed" : "djpeg failed",
                             qPrintable(e.path));
                e.usable = false;
                continue;
            }
            e.megapixels = double(bitmap.width()) * bitmap.height() / 1e6;
            e.ours = std::min(e.ours, ours);
            e.theirs = std::min(e.theirs, theirs);
        }
    }

    double megapixels = 0;
    double ours = 0;
    double theirs = 0;
    int count = 0;
    for (const Entry &e : entries) {
        if (!e.usable)
            continue;
        ++count;
        megapixels += e.megapixels;
        ours += e.ours;
        theirs += e.theirs;
    }
    if (count == 0) {
        std::fprintf(stderr, "no file could be decoded\n");
        return 1;
    }
    const double oursRate = megapixels / ours;
    const double theirsRate = megapixels / theirs;
    std::printf("files            %d (%d passes, fastest pass per file)\n", count, passes);
    std::printf("megapixels       %.1f\n", megapixels);
    std::printf("ours             %.1f MP/s (%.3f s)\n", oursRate, ours);
    std::printf("djpeg -dct int   %.1f MP/s (%.3f s)\n", theirsRate, theirs);
    std::printf("ratio ours/djpeg %.3f\n", oursRate / theirsRate);
    const double bare = theirs - startup * count;
    if (startup > 0 && bare > 0) {
        std::printf("djpeg start-up   %.2f ms per file\n", startup * 1e3);
        std::printf("djpeg w/o start  %.1f MP/s; ratio ours/djpeg %.3f\n", megapixels / bare,
                    oursRate / (megapixels / bare));
    }
    return 0;
}
