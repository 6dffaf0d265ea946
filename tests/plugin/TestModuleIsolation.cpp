// Modules run in the module host helper: a module that crashes, exits, never
// returns or prints fails only the call it was in, the next call works, the
// type list leaves such a module out, and no helper (nor a child a module
// forked) is left behind. Run
// through CTest, which tells the tests where the helper is
// ($PELANDOR_MODULE_HOST).
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include "TestModules.h"
#include "decode/Bitmap.h"
#include "decode/ImageLoader.h"
#include "plugin/HelperProcessModuleBackend.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"
#include "platform/NativeName.h"

using namespace pelandor;

namespace {

// Short enough for the test, long enough for a loaded machine.
constexpr int TestTimeLimitMs = 1500;

void useShortTimeLimit(TSpi &host)
{
    host.setBackendFactory([](const QString &) {
        return std::make_unique<HelperProcessModuleBackend>(QFile::encodeName(TSpi::moduleHostPath()).toStdString(),
                                                            TestTimeLimitMs);
    });
}

// Runs `call` with this process's standard output and error going into a
// pipe; returns what was written there, or "held open" when someone still
// held the pipe two seconds after `call` returned.
template<typename Call>
QByteArray capturedOutput(Call call)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return "no pipe";
    fflush(stdout);
    fflush(stderr);
    const int savedOut = dup(STDOUT_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    dup2(pipeEnds[1], STDOUT_FILENO);
    dup2(pipeEnds[1], STDERR_FILENO);
    close(pipeEnds[1]);
    call();
    fflush(stdout);
    fflush(stderr);
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    close(savedOut);
    close(savedErr);
    QByteArray written;
    for (;;) {
        pollfd ready{pipeEnds[0], POLLIN, 0};
        if (poll(&ready, 1, 2000) <= 0) {
            written = "held open";
            break;
        }
        char chunk[4096];
        const ssize_t n = read(pipeEnds[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        if (written.size() < 100)
            written.append(chunk, n);
    }
    close(pipeEnds[0]);
    return written;
}

// Bytes of the picture areas mapped by the process `pid`.
qint64 mappedPictureAreas(int pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return -1;
    qint64 total = 0;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        if (!line.contains("pelandor-picture"))
            continue;
        const QList<QByteArray> range = line.left(line.indexOf(' ')).split('-');
        total += range.value(1).toLongLong(nullptr, 16) - range.value(0).toLongLong(nullptr, 16);
    }
    return total;
}

// How many processes of the process group `group` run (zombies not counted).
int liveProcessesOfGroup(int group)
{
    int live = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid pgrp ...": the name may hold blanks, not ")".
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[0] != "Z" && fields[0] != "X" && fields[2].toInt() == group)
            ++live;
    }
    return live;
}

} // namespace

class TestModuleIsolation : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return QString();
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(installModule(m_dir.path(), QStringLiteral("plain"), QStringLiteral("plain.spi")));
        QVERIFY(installModule(m_dir.path(), QStringLiteral("crash_info"), QStringLiteral("crashinfo.spi")));
        QVERIFY(installModule(m_dir.path(), QStringLiteral("exit_info"), QStringLiteral("exitinfo.spi")));
        QVERIFY(!writeFile(QStringLiteral("good.fak"), "FAKE rgb24").isEmpty());
    }

    void cleanup() { QCOMPARE(moduleHostChildren(), QList<int>()); }

    void failingPictureCallIsAModuleFailure_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("crash in IsSupported") << QByteArray("FAKE crashsupported") << "Error:IsSupported";
        QTest::newRow("crash in GetPicture") << QByteArray("FAKE crash") << "Error:GetPicture";
        QTest::newRow("exit in GetPicture") << QByteArray("FAKE exit") << "Error:GetPicture";
        QTest::newRow("endless GetPicture") << QByteArray("FAKE hang") << "Error:GetPicture";
        QTest::newRow("handle not from malloc") << QByteArray("FAKE notmalloc") << "Error:GetPicture";
        QTest::newRow("null handles") << QByteArray("FAKE nullhandles") << "Error:GetPicture";
        QTest::newRow("absurd size") << QByteArray("FAKE absurd") << "Error:GetPicture";
        QTest::newRow("bits block far beyond its rows") << QByteArray("FAKE hugebits") << "Error:GetPicture";
    }

    void failingPictureCallIsAModuleFailure()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString bad = writeFile(QStringLiteral("bad.fak"), content);
        RecordingSink sink;
        {
            TSpi host(m_dir.path(), sink);
            useShortTimeLimit(host);
            host.LoadSpi(QStringLiteral("plain.spi"));
            QVERIFY(host.isLoaded());
            Bitmap target;
            QVERIFY(host.GetBitmap(target, bad) != 0);
            QCOMPARE(sink.messages, QStringList{message});
            // The helper is started again for the next file.
            QCOMPARE(host.GetBitmap(target, m_dir.filePath(QStringLiteral("good.fak"))), 0);
            QCOMPARE(target.image().size(), QSize(3, 2));
        }
        QCOMPARE(sink.messages.size(), 1);
    }

    void crashInGetPictureInfoFailsThatCall()
    {
        const QByteArray bad = QFile::encodeName(writeFile(QStringLiteral("info.fak"), "FAKE crashinfo"));
        const QByteArray good = QFile::encodeName(m_dir.filePath(QStringLiteral("good.fak")));
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("plain.spi"));
        PictureInfo info{};
        QVERIFY(host.GetPictureInfo(bad.constData(), 0, SPI_INPUT_FILE, &info) != 0);
        QCOMPARE(host.GetPictureInfo(good.constData(), 0, SPI_INPUT_FILE, &info), 0);
        QCOMPARE(info.width, 3);
    }

    void hangingFileCostsOneTimeLimit()
    {
        // The loader asks about a file up to five times; a module that hangs
        // on it must not cost the time limit each time.
        const QString hanging = writeFile(QStringLiteral("hang.fak"), "FAKE hang");
        const QByteArray local = QFile::encodeName(hanging);
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        useShortTimeLimit(host);
        host.LoadSpi(QStringLiteral("plain.spi"));
        QElapsedTimer timer;
        timer.start();
        Bitmap target;
        QVERIFY(host.GetBitmap(target, hanging) != 0);
        PictureInfo info{};
        QVERIFY(host.GetPictureInfo(local.constData(), 0, SPI_INPUT_FILE, &info) != 0);
        QVERIFY2(timer.elapsed() < 2 * TestTimeLimitMs, qPrintable(QString::number(timer.elapsed())));
        // Another file is asked again.
        QCOMPARE(host.GetBitmap(target, m_dir.filePath(QStringLiteral("good.fak"))), 0);
    }

    // While a call waits for a hanging module, the caller's hook runs every
    // few tens of milliseconds (the window paints there).
    void waitingCallsTheHook()
    {
        const QString hanging = writeFile(QStringLiteral("hang.fak"), "FAKE hang");
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        useShortTimeLimit(host);
        int calls = 0;
        host.setWhileWaiting([&calls] { ++calls; });
        host.LoadSpi(QStringLiteral("plain.spi"));
        Bitmap target;
        QVERIFY(host.GetBitmap(target, hanging) != 0);
        QVERIFY2(calls >= TestTimeLimitMs / 100, qPrintable(QString::number(calls)));
    }

    void failingInfoTextLeavesModuleOut_data()
    {
        QTest::addColumn<QString>("module");
        QTest::newRow("crash") << "crashinfo.spi";
        QTest::newRow("exit") << "exitinfo.spi";
    }

    void failingInfoTextLeavesModuleOut()
    {
        QFETCH(QString, module);
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(module);
        char buffer[64] = {};
        QCOMPARE(host.GetPluginInfo(2, buffer, sizeof buffer), -1);
        QCOMPARE(host.GetPluginInfo(0, buffer, sizeof buffer), 4);
        QCOMPARE(QByteArray(buffer), QByteArray("00IN"));
    }

    void typeListKeepsTheGoodModules()
    {
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        const TypeListBuilder::Result result = TypeListBuilder::build(host, m_dir.path());
        QStringList modules;
        for (const ImageTypeEntry &entry : result.entries)
            modules.append(entry.pluginName);
        QVERIFY(modules.contains(QStringLiteral("plain.spi")));
        QVERIFY(!modules.contains(QStringLiteral("crashinfo.spi")));
        QVERIFY(!modules.contains(QStringLiteral("exitinfo.spi")));
        QVERIFY(sink.messages.isEmpty());
    }

    void moduleOutputNeverReachesOurs_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("a line on each") << QByteArray("FAKE print");
        QTest::newRow("4 MiB on each") << QByteArray("FAKE flood");
        QTest::newRow("a child holding both") << QByteArray("FAKE fork");
    }

    // Neither printed bytes nor a descriptor of ours reach the module: a
    // flood does not stall the call, and a child left behind neither keeps
    // our output open nor outlives the helper.
    void moduleOutputNeverReachesOurs()
    {
        QFETCH(QByteArray, content);
        const QString printing = writeFile(QStringLiteral("print.fak"), content);
        int result = -1;
        int helper = -1;
        const QByteArray output = capturedOutput([&] {
            RecordingSink sink;
            TSpi host(m_dir.path(), sink);
            useShortTimeLimit(host);
            host.LoadSpi(QStringLiteral("plain.spi"));
            Bitmap target;
            result = host.GetBitmap(target, printing);
            helper = moduleHostChildren().value(0, -1);
        });
        QCOMPARE(output, QByteArray());
        QCOMPARE(result, 0);
        QVERIFY(helper > 0);
        // The group is killed as the helper ends; the kernel takes the child
        // down a moment later on a busy machine.
        QTRY_COMPARE_WITH_TIMEOUT(liveProcessesOfGroup(helper), 0, 5000);
    }

    // A module that takes just under the time limit in each call fails the
    // file after one time limit, not after one per call.
    void slowFileCostsOneTimeLimit()
    {
        const QString slow = writeFile(QStringLiteral("slow.fak"), "FAKE slow");
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        useShortTimeLimit(host);
        host.LoadSpi(QStringLiteral("plain.spi"));
        QElapsedTimer timer;
        timer.start();
        Bitmap target;
        PictureInfo record{};
        QVERIFY(!LoadImageToBitmap(false, &host, target, record, slow, QStringLiteral("*.fak")));
        QVERIFY2(timer.elapsed() < TestTimeLimitMs + 900, qPrintable(QString::number(timer.elapsed())));
        // The next file has a time limit of its own.
        QVERIFY(LoadImageToBitmap(false, &host, target, record, m_dir.filePath(QStringLiteral("good.fak")),
                                  QStringLiteral("*.fak")));
    }

    // GetPictureInfo gets a name that is not UTF-8 as its exact bytes, as
    // every other call does.
    void nameThatIsNotUtf8ReachesEveryCall()
    {
        const QString name = NativeName::decode(QFile::encodeName(m_dir.path()) + "/\x82\xa0\xff.fak");
        const QByteArray local = NativeName::encode(name);
        const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "FAKE rgb24", 10), ssize_t(10));
        ::close(fd);
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("plain.spi"));
        Bitmap target;
        PictureInfo record{};
        const bool loaded = LoadImageToBitmap(false, &host, target, record, name, QStringLiteral("*.fak"));
        ::unlink(local.constData());
        QVERIFY(loaded);
        QCOMPARE(record.width, 3);
        QCOMPARE(sink.messages, QStringList());
    }

    // The area a picture much larger than the usual grew is not kept for
    // the rest of the reading, here or in the helper.
    void largePictureLeavesNoLargeArea()
    {
        const QString large = writeFile(QStringLiteral("large.fak"), "FAKE large");
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("plain.spi"));
        Bitmap target;
        QCOMPARE(host.GetBitmap(target, large), 0);
        QCOMPARE(target.image().size(), QSize(3000, 3000));
        const int helper = moduleHostChildren().value(0, -1);
        QVERIFY(helper > 0);
        QCOMPARE(mappedPictureAreas(getpid()), 0);
        QCOMPARE(mappedPictureAreas(helper), 0);
        // The next picture gets an area again.
        QCOMPARE(host.GetBitmap(target, m_dir.filePath(QStringLiteral("good.fak"))), 0);
        QCOMPARE(target.image().size(), QSize(3, 2));
    }

    void shippedNameElsewhereStillRunsInTheHelper()
    {
        // Only the program's own folder holds the modules that stay in process.
        QVERIFY(installModule(m_dir.path(), QStringLiteral("plain"), QStringLiteral("png.spi")));
        RecordingSink sink;
        TSpi host(m_dir.path(), sink);
        host.LoadSpi(QStringLiteral("png.spi"));
        QVERIFY(host.isLoaded());
        QCOMPARE(moduleHostChildren().size(), 1);
    }

    void helperEndsWithTheHost()
    {
        RecordingSink sink;
        auto host = std::make_unique<TSpi>(m_dir.path(), sink);
        host->LoadSpi(QStringLiteral("plain.spi"));
        QCOMPARE(moduleHostChildren().size(), 1);
        host.reset();
    }
};

QTEST_GUILESS_MAIN(TestModuleIsolation)
#include "TestModuleIsolation.moc"
