// Starting a tool on the selected files: one process per file in list order,
// each file path as exactly one argument whatever it contains, and a program
// that cannot be started reported once per file while the others are tried.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

#include "tools/DetachedProcessStarter.h"
#include "platform/NativeName.h"
#include "RecordingStarter.h"
#include "tools/ProcessStarter.h"
#include "tools/ToolLauncher.h"

using namespace pelandor;

namespace {

const QStringList kFiles = {QStringLiteral("/pics/a.jpg"), QStringLiteral("/pics/my pics/b c.jpg"),
                            QStringLiteral("/pics/it's $(touch x); rm -rf ~ & \"q\" *.jpg"),
                            // Shift-JIS bytes: must reach the tool unchanged.
                            pelandor::NativeName::decode(QByteArray("/pics/\x82\xa0\x83J.jpg"))};

} // namespace

class TestToolLaunching : public QObject {
    Q_OBJECT

private slots:
    void oneStartPerFileInListOrder()
    {
        RecordingStarter starter;
        starter.refused = {kFiles[1]};
        starter.refusal = QStringLiteral("Permission denied. \n");
        const QList<ToolLauncher::Failure> failures = ToolLauncher(starter).launch("/opt/my tool/run", kFiles);
        QCOMPARE(starter.starts.size(), kFiles.size());
        for (int i = 0; i < kFiles.size(); ++i) {
            QCOMPARE(starter.starts[i].program, QStringLiteral("/opt/my tool/run"));
            QCOMPARE(starter.starts[i].arguments, QStringList{kFiles[i]});
        }
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures[0].filePath, kFiles[1]);
        QCOMPARE(failures[0].errorText, QStringLiteral("Permission denied"));
    }

    void realProgramGetsEachPathAsOneArgument()
    {
        // A stand-in tool in a folder with a blank writes its arguments,
        // NUL-separated, into a file of its own per start.
        QTemporaryDir dir;
        const QString toolDir = dir.filePath(QStringLiteral("my tools"));
        QVERIFY(QDir().mkpath(toolDir));
        const QString tool = toolDir + QStringLiteral("/record args");
        const QByteArray script = "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.$$.tmp\" && mv \"$0.$$.tmp\" \"$0.$$.log\"\n";
        QFile file(tool);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(script) == script.size());
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        DetachedProcessStarter starter;
        QVERIFY(ToolLauncher(starter).launch(tool, kFiles).isEmpty());
        const QStringList logs = {QStringLiteral("record args.*.log")};
        QTRY_COMPARE_WITH_TIMEOUT(QDir(toolDir).entryList(logs, QDir::Files).size(), kFiles.size(), 10000);
        QStringList received;
        for (const QString &log : QDir(toolDir).entryList(logs, QDir::Files)) {
            QFile record(toolDir + QLatin1Char('/') + log);
            QVERIFY(record.open(QIODevice::ReadOnly));
            QList<QByteArray> args = record.readAll().split('\0');
            QCOMPARE(args.takeLast(), QByteArray()); // after the last terminator
            QCOMPARE(args.size(), 1);
            received.append(pelandor::NativeName::decode(args[0]));
        }
        received.sort();
        QStringList expected = kFiles;
        expected.sort();
        QCOMPARE(received, expected);
        QVERIFY(!QFile::exists(QStringLiteral("x")));
    }

    // A started tool gets standard input, output and error only, not the
    // descriptors this program has open (also those it inherited itself).
    void toolInheritsOnlyStandardStreams()
    {
        QTemporaryDir dir;
        const QString tool = dir.filePath(QStringLiteral("list fds"));
        const QByteArray script = "#!/bin/sh\n"
                                  "for fd in 0 1 2 57; do [ -e /proc/$$/fd/$fd ] && printf '%s ' $fd; done "
                                  "> \"$1.tmp\"; mv \"$1.tmp\" \"$1\"\n";
        QFile file(tool);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(script) == script.size());
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // Descriptor 57 as one this program inherited: no close-on-exec flag.
        QFile held(tool);
        QVERIFY(held.open(QIODevice::ReadOnly));
        QCOMPARE(::dup2(held.handle(), 57), 57);
        const QString result = dir.filePath(QStringLiteral("fds"));
        DetachedProcessStarter starter;
        QVERIFY(ToolLauncher(starter).launch(tool, {result}).isEmpty());
        ::close(57);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(result), 10000);
        QFile record(result);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll(), QByteArray("0 1 2 "));
    }

    void missingProgramFailsOncePerFile_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/tool");
        QTest::newRow("empty") << QString();
        QTest::newRow("not executable") << QStringLiteral("/etc/hostname");
    }
    void missingProgramFailsOncePerFile()
    {
        QFETCH(QString, program);
        DetachedProcessStarter starter;
        const QList<ToolLauncher::Failure> failures = ToolLauncher(starter).launch(program, kFiles);
        QCOMPARE(failures.size(), kFiles.size());
        for (int i = 0; i < kFiles.size(); ++i) {
            QCOMPARE(failures[i].filePath, kFiles[i]);
            QVERIFY(!failures[i].errorText.isEmpty());
            QVERIFY2(!failures[i].errorText.endsWith(QLatin1Char('.')), qPrintable(failures[i].errorText));
        }
    }
};

QTEST_GUILESS_MAIN(TestToolLaunching)
#include "TestToolLaunching.moc"
