// `pelandor --list-types` runs without a display and prints the selector.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/ApplicationShell.h"

using namespace pelandor;

class TestListTypes : public QObject {
    Q_OBJECT
private slots:
    void linesAreTextTabModule()
    {
        const ImageTypeList entries{{"*.BMP", ""}, {"*.png", "png.spi"}, {"", "png.spi"}};
        QCOMPARE(ApplicationShell::typeListLines(entries), QStringLiteral("*.BMP\t\n*.png\tpng.spi\n\tpng.spi\n"));
    }

    // Runs a copy of the program placed in `folder`, so that the modules
    // beside it are the ones the test put there.
    static QString listTypesIn(const QString &folder)
    {
        const QString exe = folder + QStringLiteral("/pelandor");
        if (!QFile::exists(exe) && !QFile::copy(QStringLiteral(PELANDOR_EXE), exe))
            return QStringLiteral("<copy failed>");
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(exe, {QStringLiteral("--list-types")});
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return QStringLiteral("<failed>");
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    void withoutModulesExactlyTheBuiltInEntries()
    {
        QTemporaryDir dir;
        QCOMPARE(listTypesIn(dir.path()), QStringLiteral("*.BMP\t\n*.JPG\t\n全ての画像ﾌｧｲﾙ\t\n"));
    }

    void modulesBesideTheProgram()
    {
        QTemporaryDir dir;
        const QString modules = QStringLiteral(PELANDOR_TEST_MODULE_DIR);
        QVERIFY(QFile::copy(modules + QStringLiteral("/fake_two.spi"), dir.filePath(QStringLiteral("two.spi"))));
        QVERIFY(QFile::copy(modules + QStringLiteral("/fake_jpeg.spi"), dir.filePath(QStringLiteral("JPEG.SPI"))));
        // Two patterns each; the JPEG claim removes the built-in JPEG entry.
        QCOMPARE(listTypesIn(dir.path()),
                 QStringLiteral("*.abc\ttwo.spi\n*.BMP\t\n*.DEF\ttwo.spi\n*.jpeg\tJPEG.SPI\n*.jpg\tJPEG.SPI\n"
                                "全ての画像ﾌｧｲﾙ\t\n"));
    }

    void builtInEntriesWithoutDisplay()
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PELANDOR_EXE), {QStringLiteral("--list-types")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        // The program's own folder may hold shipped modules; the built-in
        // entries are there in any case, and the all-files entry is last.
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.contains(QStringLiteral("*.BMP\t")));
        QVERIFY(lines.contains(QStringLiteral("*.JPG\t")) || out.contains(QStringLiteral("*.jp")));
        QCOMPARE(lines.last(), QStringLiteral("全ての画像ﾌｧｲﾙ\t"));
    }
};

QTEST_GUILESS_MAIN(TestListTypes)
#include "TestListTypes.moc"
