// The command line: what each form asks for, and the exit codes of the
// forms that end at once.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cerrno>
#include <cstring>

#include "app/CommandLine.h"

using namespace pelandor;
using Action = CommandLine::Action;

Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

// A bitmap file of 24 bits, black at 2 by 2, else a pattern that tells the
// pictures (seeded by `seed`) and their parts apart.
QByteArray bitmap(int width = 2, int height = 2, int seed = 0)
{
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray bytes(54 + stride * height, '\0');
    uchar *p = reinterpret_cast<uchar *>(bytes.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(quint32(bytes.size()), p + 2);
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(width, p + 18);
    qToLittleEndian<qint32>(height, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(24, p + 28);
    if (width > 2 || height > 2) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width * 3; ++x)
                p[54 + y * stride + x] = uchar(x * 7 + y * 3 + seed * 31);
    }
    return bytes;
}
QByteArray smallBitmap()
{
    return bitmap();
}

bool fillFolder(const QString &folder, int count)
{
    for (int i = 0; i < count; ++i) {
        QFile file(QDir(folder).filePath(QStringLiteral("p%1.bmp").arg(i)));
        if (!file.open(QIODevice::WriteOnly) || file.write(smallBitmap()) != 70)
            return false;
    }
    return true;
}

// Starts the program with its own cache, through `sh -c` when `shell` names
// what the shell does before it.
void startProgram(QProcess &process, const QString &cache, const QStringList &args, const QString &shell = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    process.setProcessEnvironment(env);
    if (shell.isEmpty()) {
        process.start(QStringLiteral(PELANDOR_EXE), args);
    } else {
        process.start(QStringLiteral("/bin/sh"),
                      QStringList{"-c", shell + QStringLiteral("; exec \"$0\" \"$@\""), QStringLiteral(PELANDOR_EXE)}
                          + args);
    }
}

QStringList writeFailures(QProcess &process)
{
    QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).split(QLatin1Char('\n'));
    return lines.filter(QStringLiteral("cannot write"));
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("nothing") << QStringList{} << Action::Window << QStringList{};
        QTest::newRow("files in order") << QStringList{"b.jpg", "a.png"} << Action::Window
                                        << QStringList{"b.jpg", "a.png"};
        QTest::newRow("toolkit option values are no paths")
            << QStringList{"-platform", "xcb", "--style=fusion", "-reverse", "x.bmp"} << Action::Window
            << QStringList{"x.bmp"};
        QTest::newRow("after -- a dash is a name") << QStringList{"--", "-odd.jpg"} << Action::Window
                                                   << QStringList{"-odd.jpg"};
        QTest::newRow("help wins") << QStringList{"x", "--help"} << Action::Help << QStringList{};
        QTest::newRow("short help") << QStringList{"-h"} << Action::Help << QStringList{};
        QTest::newRow("version") << QStringList{"--version"} << Action::Version << QStringList{};
        QTest::newRow("list types") << QStringList{"--list-types"} << Action::ListTypes << QStringList{};
        QTest::newRow("list types with more") << QStringList{"--list-types", "x"} << Action::BadUsage
                                              << QStringList{};
        QTest::newRow("clear cache") << QStringList{"--clear-cache"} << Action::ClearCache << QStringList{};
        QTest::newRow("clear cache with more") << QStringList{"--clear-cache", "x"} << Action::BadUsage
                                               << QStringList{};
        QTest::newRow("report") << QStringList{"--report", "/tmp"} << Action::Headless << QStringList{};
        QTest::newRow("unknown long") << QStringList{"--fullscreen"} << Action::BadUsage << QStringList{};
        QTest::newRow("unknown short") << QStringList{"-x", "a.jpg"} << Action::BadUsage << QStringList{};
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(Action, action);
        QFETCH(QStringList, paths);
        const CommandLine::Parsed parsed = CommandLine::parse(args);
        QCOMPARE(parsed.action, action);
        QCOMPARE(parsed.paths, paths);
        QCOMPARE(parsed.error.isEmpty(), action != Action::BadUsage);
    }

    // The program itself: the usual streams and exit codes, no display needed.
    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("usageOnStdout");
        QTest::addColumn<bool>("usageOnStderr");
        QTest::newRow("help") << QStringList{"--help"} << 0 << true << false;
        QTest::newRow("version") << QStringList{"--version"} << 0 << false << false;
        QTest::newRow("unknown") << QStringList{"--bogus"} << 2 << false << true;
        // Taken anywhere by the window and the headless commands, never as an unknown option.
        QTest::newRow("no orientation, headless") << QStringList{"--report", "/nonexistent-folder", "--no-orientation"}
                                                  << 2 << false << false;
    }
    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(bool, usageOnStdout);
        QFETCH(bool, usageOnStderr);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PELANDOR_EXE), args);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), code);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(out.startsWith(QLatin1String("Usage: pelandor")), usageOnStdout);
        QCOMPARE(err.contains(QLatin1String("Usage: pelandor")), usageOnStderr);
        if (args.first() == QLatin1String("--version"))
            QVERIFY(QRegularExpression(QStringLiteral("^pelandor \\d+\\.\\d+\\n$")).match(out).hasMatch());
    }

    // Two --thumbnails runs into one folder never disturb each other's
    // temporary files.
    void twoThumbnailRunsIntoOneFolder()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("in"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        QVERIFY(fillFolder(in, 300));
        QProcess first, second;
        startProgram(first, dir.filePath(QStringLiteral("cache1")), {"--thumbnails", in, out});
        startProgram(second, dir.filePath(QStringLiteral("cache2")), {"--thumbnails", in, out});
        for (QProcess *run : {&first, &second}) {
            QVERIFY(run->waitForFinished(60000));
            const QStringList failures = writeFailures(*run);
            QVERIFY2(failures.isEmpty(), qPrintable(failures.value(0)));
            QCOMPARE(run->exitCode(), 0);
        }
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 300);
    }

    // A folder seen before gives the same bitmaps as the first time, its
    // cells then coming from the thumbnail cache.
    void thumbnailsOfAFolderSeenBefore()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("in"));
        QVERIFY(QDir().mkpath(in));
        for (int i = 0; i < 3; ++i) {
            QFile file(QDir(in).filePath(QStringLiteral("big%1.bmp").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bitmap(400, 300, i)) > 0);
        }
        QList<QByteArray> runs[2];
        for (int run = 0; run < 2; ++run) {
            const QString out = dir.filePath(QStringLiteral("out%1").arg(run));
            QProcess process;
            startProgram(process, dir.filePath(QStringLiteral("cache")), {"--thumbnails", in, out});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 0);
            for (const QString &name : QDir(out).entryList(QDir::Files, QDir::Name)) {
                QFile file(QDir(out).filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                runs[run].append(file.readAll());
            }
        }
        QVERIFY(!QDir(dir.filePath(QStringLiteral("cache/pelandor/thumbnails"))).isEmpty());
        QCOMPARE(runs[0].size(), 3);
        QCOMPARE(runs[1], runs[0]);
    }

    // A write that fails says the system's reason, once for each file, and
    // leaves no temporary file. A file size limit stands in for a full disk.
    void thumbnailWriteFailureSaysWhy()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("in"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        QVERIFY(fillFolder(in, 3));
        QProcess run;
        startProgram(run, dir.filePath(QStringLiteral("cache")), {"--thumbnails", in, out},
                     QStringLiteral("trap '' XFSZ; ulimit -f 1"));
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 1);
        const QStringList failures = writeFailures(run);
        QCOMPARE(failures.size(), 3);
        for (const QString &line : failures)
            QVERIFY2(line.endsWith(QLatin1String(": ") + QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(line));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
