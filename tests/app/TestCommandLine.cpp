// The command line: what each form asks for, and the exit codes of the
// forms that end at once.
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "app/CommandLine.h"

using namespace pelandor;
using Action = CommandLine::Action;

Q_DECLARE_METATYPE(CommandLine::Action)

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
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
