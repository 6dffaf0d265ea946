// An installed copy: `cmake --install` into a temporary prefix gives a
// program that, started through its bin link, finds the shipped modules
// beside itself and the user's own modules, a name in both places once.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void installedProgramFindsShippedAndUserModules()
    {
        QTemporaryDir prefix;
        QProcess install;
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(PELANDOR_BUILD_DIR), QStringLiteral("--prefix"),
                       prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

        const QString link = prefix.filePath(QStringLiteral("bin/pelandor"));
        QVERIFY(QFileInfo(link).isSymLink());
        for (const char *file : {"lib/pelandor/pelandor", "lib/pelandor/png.spi", "include/pelandor/spi_plugin.h",
                                 "share/applications/pelandor.desktop", "share/icons/hicolor/48x48/apps/pelandor.png",
                                 "share/icons/hicolor/scalable/apps/pelandor.svg", "share/man/man1/pelandor.1",
                                 "share/man/ja/man1/pelandor.1", "share/pelandor/translations/pelandor_en.qm"})
            QVERIFY2(QFileInfo::exists(prefix.filePath(QString::fromLatin1(file))), file);

        // The user's modules: one of its own, and one named like a shipped
        // module, which must not replace it.
        QTemporaryDir data;
        const QString userModules = data.filePath(QStringLiteral("pelandor/plugins"));
        QVERIFY(QDir().mkpath(userModules));
        const QString fakes = QStringLiteral(PELANDOR_TEST_MODULE_DIR);
        QVERIFY(QFile::copy(fakes + QStringLiteral("/fake_two.spi"), userModules + QStringLiteral("/two.spi")));
        QVERIFY(QFile::copy(fakes + QStringLiteral("/fake_jpeg.spi"), userModules + QStringLiteral("/png.spi")));

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.remove(QStringLiteral("DISPLAY"));
        run.setProcessEnvironment(env);
        run.start(link, {QStringLiteral("--list-types")});
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(run.readAllStandardOutput()).split(QLatin1Char('\n'));
        QCOMPARE(lines.count(QStringLiteral("*.png\tpng.spi")), 1);
        QVERIFY(lines.contains(QStringLiteral("*.abc\ttwo.spi")));
        QVERIFY(!lines.contains(QStringLiteral("*.jpeg\tpng.spi")));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "TestInstall.moc"
