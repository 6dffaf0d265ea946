// One table of expectations run against every build of the toy module that
// can run here: the Linux module (in the module host helper), the Win64 DLL
// and the Win32 DLL (both in the Windows module host under Wine). Builds that
// cannot run here skip themselves and say why. Then what only Windows modules
// have: no Wine process outlives the program, an unchanged module starts no
// Wine at all, and without Wine the module is left out with a line on
// standard error. Run through CTest, which gives the tests a data folder of
// their own (the Wine prefix lives there) and finds the module host helper.
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>

#include "TestModules.h"
#include "decode/Bitmap.h"
#include "platform/NativeName.h"
#include "plugin/ModuleBackend.h"
#include "plugin/ModuleInfoCache.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"
#include "plugin/WineModuleHost.h"

using namespace pelandor;

namespace {

// Long enough for a loaded machine to start the host, short enough for a test.
constexpr int TestTimeLimitMs = 5000;

QString toyModule(const QString &build)
{
    return QStringLiteral(PELANDOR_TEST_MODULE_DIR "/") + (build == QLatin1String("native") ? QStringLiteral("toy.spi")
                                                                                              : QStringLiteral("toy-%1.spi").arg(build));
}

// Why `build` of the toy module cannot run here; empty when it can.
QString whyNot(const QString &build)
{
    const QString module = toyModule(build);
    if (!QFileInfo::exists(module))
        return QStringLiteral("the %1 toy module was not built (install mingw-w64)").arg(build);
    const QString problem = TSpi::moduleProblem(module);
    if (!problem.isEmpty())
        return problem;
    if (build == QLatin1String("win32")) {
        // The kernel of some machines runs no 32-bit x86 code at all.
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl("/usr/lib/wine/wine", "wine", "--version", static_cast<char *>(nullptr));
            _exit(errno == ENOEXEC ? 3 : 4);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
            return QStringLiteral("this machine cannot run 32-bit x86 code (Exec format error)");
    }
    return QString();
}

// A toy picture: the header at `pad`, then (depth 8) a palette where entry i
// is (i, 255 - i, i / 2), then rows where pixel (x, y) is entry (x + 3y) % 256
// or the colour (4x, 4y, 128).
QByteArray toyFile(int width, int height, int depth, char behaviour = 'N', int pad = 0)
{
    QByteArray data(pad, 'x');
    data += "PTOY";
    data += char(1);
    data += char(depth);
    data += behaviour;
    data += char(0);
    for (const int side : {width, height})
        for (int shift = 0; shift < 32; shift += 8)
            data += char((side >> shift) & 0xff);
    if (depth == 8) {
        for (int i = 0; i < 256; ++i)
            data += QByteArray(1, char(i)) + char(255 - i) + char(i / 2);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            data += depth == 8 ? QByteArray(1, char((x + 3 * y) % 256))
                               : QByteArray(1, char(4 * x)) + char(4 * y) + char(128);
    return data;
}

QRgb expectedPixel(int x, int y, int depth)
{
    if (depth == 8) {
        const int i = (x + 3 * y) % 256;
        return qRgb(i, 255 - i, i / 2);
    }
    return qRgb((4 * x) & 0xff, (4 * y) & 0xff, 128);
}

// Live processes (zombies do not count) that run in the Wine prefix `prefix`.
int processesOfPrefix(const QByteArray &prefix)
{
    const QByteArray needle = "WINEPREFIX=" + prefix + '\0';
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (!stat.open(QIODevice::ReadOnly) || !environ.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0 || line.mid(close + 2, 1) == "Z")
            continue;
        if (('\0' + environ.readAll()).contains('\0' + needle))
            ++count;
    }
    return count;
}

QByteArray testPrefix()
{
    return qgetenv("XDG_DATA_HOME") + "/pelandor/wine";
}

// Waits until no process of the tests' prefix is left; false after 10 s.
bool prefixEmpties()
{
    for (int i = 0; i < 200; ++i) {
        if (processesOfPrefix(testPrefix()) == 0)
            return true;
        QTest::qWait(50);
    }
    return false;
}

// Runs `call` with this process's standard output or error (`fd`) going to
// a file; returns what was written there.
template<typename Call>
QByteArray captured(int fd, Call call)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "no capture file";
    fflush(nullptr);
    const int saved = dup(fd);
    dup2(capture.handle(), fd);
    call();
    fflush(nullptr);
    dup2(saved, fd);
    close(saved);
    capture.seek(0);
    return capture.readAll();
}

} // namespace

class TestWindowsModules : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QByteArray &name, const QByteArray &content)
    {
        const QByteArray path = NativeName::encode(m_dir.path()) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const bool written = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
        if (fd >= 0)
            ::close(fd);
        return written ? NativeName::decode(path) : QString();
    }

    // A module folder holding the build's toy module as "toy.spi".
    QString moduleFolder(const QString &build)
    {
        const QString folder = m_dir.filePath(QStringLiteral("modules-") + build);
        QDir().mkpath(folder);
        QFile::remove(folder + QStringLiteral("/toy.spi"));
        return QFile::copy(toyModule(build), folder + QStringLiteral("/toy.spi")) ? folder : QString();
    }

    static void useTestTimeLimit(TSpi &host, const QString &build)
    {
        host.setBackendFactory([build](const QString &path) -> std::unique_ptr<ModuleBackend> {
            if (build == QLatin1String("native"))
                return TSpi::defaultBackend(path);
            return TSpi::windowsBackend(path, TestTimeLimitMs);
        });
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void cleanupTestCase()
    {
        // QTemporaryDir cannot remove a name that is not UTF-8.
        ::unlink((NativeName::encode(m_dir.path()) + "/latin1-\xe9t\xe9.toy").constData());
        WineModuleHost::endAll();
        QVERIFY(prefixEmpties());
    }

    void builds_data()
    {
        QTest::addColumn<QString>("build");
        for (const char *build : {"native", "win64", "win32"})
            QTest::newRow(build) << QString::fromLatin1(build);
    }

    // The table: the type list, IsSupported at 0 and 128 (through GetBitmap),
    // picture information, the decoded pixels of palette and 24-bit
    // pictures, names that Windows code pages cannot spell, a module that
    // crashes or never returns, and module output kept out of ours.
    void decodesTheTable_data() { builds_data(); }
    void decodesTheTable()
    {
        QFETCH(QString, build);
        const QString reason = whyNot(build);
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        const QString folder = moduleFolder(build);
        QVERIFY(!folder.isEmpty());
        RecordingSink sink;
        TSpi host(folder, sink);
        useTestTimeLimit(host, build);
        ModuleInfoCache cache(m_dir.filePath(build + QStringLiteral("-info.json")));
        const TypeListBuilder::Result types = TypeListBuilder::build(host, folder, cache);
        QVERIFY(types.entries.contains(ImageTypeEntry{QStringLiteral("*.toy"), QStringLiteral("toy.spi")}));

        struct Case {
            QByteArray name;
            QByteArray content;
            int width;
            int height;
            int depth;
        };
        const QList<Case> cases{
            {"rgb.toy", toyFile(70, 9, 24), 70, 9, 24},
            {"palette.toy", toyFile(33, 5, 8), 33, 5, 8},
            {"behind a header.toy", toyFile(6, 4, 24, 'N', 128), 6, 4, 24},
            {"日本語の写真.toy", toyFile(5, 3, 24), 5, 3, 24},
            {"latin1-\xe9t\xe9.toy", toyFile(4, 4, 8), 4, 4, 8},
            {"odd:name?.toy", toyFile(3, 2, 24), 3, 2, 24},
        };
        const QString crash = writeFile("crash.toy", toyFile(4, 4, 24, 'C'));
        const QString hang = writeFile("hang.toy", toyFile(4, 4, 24, 'H'));
        const QByteArray output = captured(STDOUT_FILENO, [&] {
            host.LoadSpi(QStringLiteral("toy.spi"));
            QVERIFY(host.isLoaded());
            for (const Case &c : cases) {
                const QString path = writeFile(c.name, c.content);
                const QByteArray native = NativeName::encode(path);
                PictureInfo info{};
                const int32_t offset = c.name.startsWith("behind") ? 128 : 0;
                QCOMPARE(host.GetPictureInfo(native.constData(), offset, SPI_INPUT_FILE, &info), 0);
                QCOMPARE(QSize(info.width, info.height), QSize(c.width, c.height));
                QCOMPARE(int(info.bitDepth), c.depth);
                Bitmap target;
                QCOMPARE(host.GetBitmap(target, path), 0);
                const QImage image = target.image();
                QCOMPARE(image.size(), QSize(c.width, c.height));
                for (int y = 0; y < c.height; ++y)
                    for (int x = 0; x < c.width; ++x)
                        QCOMPARE(image.pixel(x, y), expectedPixel(x, y, c.depth));
            }
            QVERIFY(sink.messages.isEmpty());
            // A crash and an endless loop fail only their file; the next
            // file decodes through a new host.
            for (const QString &bad : {crash, hang}) {
                Bitmap target;
                QVERIFY(host.GetBitmap(target, bad) != 0);
                QCOMPARE(sink.messages.takeFirst(), QStringLiteral("Error:GetPicture"));
                QCOMPARE(host.GetBitmap(target, m_dir.filePath(QStringLiteral("rgb.toy"))), 0);
            }
            host.FreeSpi();
        });
        QVERIFY2(!output.contains("toy module"), output.constData());
        QVERIFY(sink.messages.isEmpty());
    }

    // Where this process may not read the host's memory the blocks cross the
    // shared area, and where the host cannot open that, the pipe: the same
    // pictures either way.
    void everyWayPicturesCross_data()
    {
        QTest::addColumn<int>("transport");
        QTest::newRow("host memory") << int(WineModuleHost::Setup::Transport::Direct);
        QTest::newRow("shared area") << int(WineModuleHost::Setup::Transport::Shared);
        QTest::newRow("pipe") << int(WineModuleHost::Setup::Transport::Pipe);
    }
    void everyWayPicturesCross()
    {
        QFETCH(int, transport);
        const QString reason = whyNot(QStringLiteral("win64"));
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        const QString folder = moduleFolder(QStringLiteral("win64"));
        RecordingSink sink;
        TSpi host(folder, sink);
        host.setBackendFactory([transport](const QString &path) {
            return TSpi::windowsBackend(path, TestTimeLimitMs, transport);
        });
        host.LoadSpi(QStringLiteral("toy.spi"));
        for (const int depth : {24, 8}) {
            const QString path = writeFile("cross.toy", toyFile(300, 200, depth));
            for (int twice = 0; twice < 2; ++twice) {
                Bitmap target;
                QCOMPARE(host.GetBitmap(target, path), 0);
                QCOMPARE(target.image().size(), QSize(300, 200));
                QCOMPARE(target.image().pixel(299, 199), expectedPixel(299, 199, depth));
                QCOMPARE(target.image().pixel(17, 3), expectedPixel(17, 3, depth));
            }
        }
        QVERIFY(sink.messages.isEmpty());
    }

    // A command that runs while a call waits for the host (the window pumps
    // its events then) gets a host of its own: both pictures decode.
    void commandDuringAWaitGetsItsOwnHost()
    {
        const QString reason = whyNot(QStringLiteral("win64"));
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        const QString folder = moduleFolder(QStringLiteral("win64"));
        const QString slow = writeFile("slow.toy", toyFile(8, 8, 24, 'S'));
        const QString quick = writeFile("quick.toy", toyFile(5, 5, 8));
        RecordingSink sink;
        TSpi outer(folder, sink);
        useTestTimeLimit(outer, QStringLiteral("win64"));
        outer.LoadSpi(QStringLiteral("toy.spi"));
        int nested = -1;
        outer.setWhileWaiting([&] {
            if (nested != -1)
                return;
            nested = -2;
            TSpi inner(folder, sink);
            useTestTimeLimit(inner, QStringLiteral("win64"));
            inner.LoadSpi(QStringLiteral("toy.spi"));
            Bitmap target;
            nested = inner.GetBitmap(target, quick);
        });
        Bitmap target;
        QCOMPARE(outer.GetBitmap(target, slow), 0);
        QCOMPARE(target.image().size(), QSize(8, 8));
        QCOMPARE(nested, 0);
        QVERIFY(sink.messages.isEmpty());
    }

    // After the program lets go of its hosts, even after a crash in a
    // module, nothing of Wine runs in the prefix (its server included).
    void noWineProcessOutlivesTheHosts()
    {
        const QString reason = whyNot(QStringLiteral("win64"));
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        const QString folder = moduleFolder(QStringLiteral("win64"));
        const QString crash = writeFile("crash.toy", toyFile(4, 4, 24, 'C'));
        RecordingSink sink;
        {
            TSpi host(folder, sink);
            useTestTimeLimit(host, QStringLiteral("win64"));
            host.LoadSpi(QStringLiteral("toy.spi"));
            Bitmap target;
            QVERIFY(host.GetBitmap(target, crash) != 0);
            QCOMPARE(host.GetBitmap(target, writeFile("good.toy", toyFile(2, 2, 24))), 0);
            QVERIFY(processesOfPrefix(testPrefix()) > 0);
        }
        // Processes that got the kill signal take a moment to go.
        WineModuleHost::endAll();
        QVERIFY(prefixEmpties());
    }

    // Discovery takes an unchanged module's texts from the cache and starts
    // no Wine; a module changed in place (same size and time) is asked
    // again; a damaged cache file is only a slower start.
    void unchangedModuleStartsNoWine()
    {
        const QString reason = whyNot(QStringLiteral("win64"));
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        const QString folder = moduleFolder(QStringLiteral("win64"));
        const QString cacheFile = m_dir.filePath(QStringLiteral("unchanged-info.json"));
        const ImageTypeEntry toy{QStringLiteral("*.toy"), QStringLiteral("toy.spi")};
        RecordingSink sink;
        {
            TSpi host(folder, sink);
            ModuleInfoCache cache(cacheFile);
            QVERIFY(TypeListBuilder::build(host, folder, cache).entries.contains(toy));
        }
        WineModuleHost::endAll();
        QVERIFY(prefixEmpties());
        {
            TSpi host(folder, sink);
            ModuleInfoCache cache(cacheFile);
            QVERIFY(TypeListBuilder::build(host, folder, cache).entries.contains(toy));
            QCOMPARE(processesOfPrefix(testPrefix()), 0);
        }

        // The same module with another pattern, its size and time kept.
        const QString module = folder + QStringLiteral("/toy.spi");
        struct stat before {};
        QCOMPARE(::stat(NativeName::encode(module).constData(), &before), 0);
        QFile file(module);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        QVERIFY(bytes.contains("*.toy"));
        bytes.replace("*.toy", "*.toz");
        QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        file.close();
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, NativeName::encode(module).constData(), times, 0), 0);
        for (const QByteArray &damage : {QByteArray(), QByteArray("{\"version\": 1, \"modules\": [7, {\"path\": 3}]")}) {
            if (!damage.isEmpty()) {
                QFile broken(cacheFile);
                QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(damage) == damage.size());
            }
            TSpi host(folder, sink);
            ModuleInfoCache cache(cacheFile);
            const ImageTypeList entries = TypeListBuilder::build(host, folder, cache).entries;
            QVERIFY(entries.contains(ImageTypeEntry{QStringLiteral("*.toz"), QStringLiteral("toy.spi")}));
            QVERIFY(!entries.contains(toy));
        }
        QVERIFY(sink.messages.isEmpty());
    }

    // Without Wine a Windows module is left out with one line on standard
    // error that names the package, and no message box.
    void withoutWineTheModuleIsLeftOut()
    {
        const QString folder = moduleFolder(QStringLiteral("win64"));
        if (folder.isEmpty())
            QSKIP("the win64 toy module was not built (install mingw-w64)");
        qputenv("PELANDOR_WINE64", "/nonexistent/wine64");
        RecordingSink sink;
        TypeListBuilder::Result types;
        const QByteArray errors = captured(STDERR_FILENO, [&] {
            TSpi host(folder, sink);
            ModuleInfoCache cache(m_dir.filePath(QStringLiteral("nowine-info.json")));
            types = TypeListBuilder::build(host, folder, cache);
        });
        qunsetenv("PELANDOR_WINE64");
        QCOMPARE(types.entries.size(), 3);
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("toy.spi") && errors.contains("wine64"), errors.constData());
    }
};

QTEST_GUILESS_MAIN(TestWindowsModules)
#include "TestWindowsModules.moc"
