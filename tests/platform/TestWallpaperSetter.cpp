// Setting the wallpaper through each desktop's own program: which desktop is
// recognised, what each program is asked exactly (arguments as one list,
// never a shell line), and the message when nothing can be set.
#include <QElapsedTimer>
#include <QTest>

#include "StandInPrograms.h"
#include "platform/WallpaperSetter.h"

using namespace pelandor;
using Desktop = WallpaperSetter::Desktop;
using Style = WallpaperSetter::Style;

namespace {
// A path that a shell would take apart.
const QString kImage = QStringLiteral("/tmp/my pics/it's $(x) ;wall.bmp");
const QString kImageUri = QStringLiteral("file:///tmp/my%20pics/it's%20$(x)%20;wall.bmp");
const QString kSchema = QStringLiteral("org.gnome.desktop.background");
} // namespace

class TestWallpaperSetter : public QObject {
    Q_OBJECT

private slots:
    void desktopFor_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("desktop");
        QTest::newRow("GNOME") << "GNOME" << int(Desktop::Gnome);
        QTest::newRow("Ubuntu's GNOME") << "ubuntu:GNOME" << int(Desktop::Gnome);
        QTest::newRow("Budgie") << "Budgie:GNOME" << int(Desktop::Gnome);
        QTest::newRow("Unity") << "Unity" << int(Desktop::Gnome);
        QTest::newRow("Xfce") << "XFCE" << int(Desktop::Xfce);
        QTest::newRow("Plasma") << "KDE" << int(Desktop::Plasma);
        QTest::newRow("lower case") << "kde" << int(Desktop::Plasma);
        QTest::newRow("LXQt") << "LXQt" << int(Desktop::Unsupported);
        QTest::newRow("unset") << "" << int(Desktop::Unsupported);
    }
    void desktopFor()
    {
        QFETCH(QString, value);
        QFETCH(int, desktop);
        QCOMPARE(int(WallpaperSetter::desktopFor(value)), desktop);
    }

    void gnome_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("options");
        QTest::newRow("tiled") << int(Style::Tiled) << "wallpaper";
        QTest::newRow("centred") << int(Style::Centered) << "centered";
    }
    void gnome()
    {
        QFETCH(int, style);
        QFETCH(QString, options);
        StandInPrograms programs;
        QVERIFY(programs.add("gsettings"));
        QString error;
        QVERIFY2(WallpaperSetter("ubuntu:GNOME").apply(kImage, Style(style), &error), qPrintable(error));
        const auto calls = programs.calls();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[0].arguments, (QStringList{"set", kSchema, "picture-uri", kImageUri}));
        QCOMPARE(calls[1].arguments, (QStringList{"set", kSchema, "picture-uri-dark", kImageUri}));
        QCOMPARE(calls[2].arguments, (QStringList{"set", kSchema, "picture-options", options}));
    }

    void xfceSetsEveryBackdrop_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("value");
        QTest::newRow("tiled") << int(Style::Tiled) << "2";
        QTest::newRow("centred") << int(Style::Centered) << "1";
    }
    void xfceSetsEveryBackdrop()
    {
        QFETCH(int, style);
        QFETCH(QString, value);
        StandInPrograms programs;
        QVERIFY(programs.add("xfconf-query", "/backdrop/screen0/monitorHDMI-1/workspace0/color-style\n"
                                             "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
                                             "/backdrop/screen0/monitoreDP-1/workspace0/last-image\n"
                                             "/desktop-icons/style\n"));
        QString error;
        QVERIFY2(WallpaperSetter("XFCE").apply(kImage, Style(style), &error), qPrintable(error));
        const auto calls = programs.calls();
        QCOMPARE(calls.size(), 5);
        QCOMPARE(calls[0].arguments, (QStringList{"-c", "xfce4-desktop", "-l"}));
        const QString first = "/backdrop/screen0/monitorHDMI-1/workspace0/";
        const QString second = "/backdrop/screen0/monitoreDP-1/workspace0/";
        QCOMPARE(calls[1].arguments,
                 (QStringList{"-c", "xfce4-desktop", "-p", first + "last-image", "-n", "-t", "string", "-s", kImage}));
        QCOMPARE(calls[2].arguments,
                 (QStringList{"-c", "xfce4-desktop", "-p", first + "image-style", "-n", "-t", "int", "-s", value}));
        QCOMPARE(calls[3].arguments.value(3), second + "last-image");
        QCOMPARE(calls[4].arguments.value(3), second + "image-style");
    }

    void xfceWithoutBackdropsIsReported()
    {
        StandInPrograms programs;
        QVERIFY(programs.add("xfconf-query", "/desktop-icons/style\n"));
        QString error;
        QVERIFY(!WallpaperSetter("XFCE").apply(kImage, Style::Tiled, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(programs.calls().size(), 1);
    }

    void plasmaRunsOneScript()
    {
        StandInPrograms programs;
        QVERIFY(programs.add("dbus-send"));
        QString error;
        QVERIFY2(WallpaperSetter("KDE").apply(kImage, Style::Centered, &error), qPrintable(error));
        const auto calls = programs.calls();
        QCOMPARE(calls.size(), 1);
        const QStringList args = calls[0].arguments;
        QVERIFY(args.contains("--dest=org.kde.plasmashell"));
        QVERIFY(args.contains("org.kde.PlasmaShell.evaluateScript"));
        const QString script = args.last();
        QVERIFY(script.startsWith("string:"));
        // The path is one quoted script string, the fill mode Plasma's "pad".
        QVERIFY2(script.contains("writeConfig(\"Image\", \"" + kImageUri + "\")"), qPrintable(script));
        QVERIFY(script.contains("writeConfig(\"FillMode\", 6)"));
    }

    // A setting program that hangs holds the window for a few seconds at
    // most, not for a timeout per program.
    void hangingProgramIsBoundedForTheWholeCommand()
    {
        StandInPrograms programs;
        QFile script(QDir(programs.folder()).filePath("gsettings"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexec sleep 60\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QElapsedTimer clock;
        clock.start();
        QString error;
        QVERIFY(!WallpaperSetter("GNOME").apply(kImage, Style::Tiled, &error));
        QVERIFY2(clock.elapsed() < WallpaperSetter::CommandTimeoutMs + 2 * WallpaperSetter::KillWaitMs + 1000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(error.contains("timed out"));
    }

    void missingProgramIsReported()
    {
        StandInPrograms programs;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(programs.folder()));
        QString error;
        const bool applied = WallpaperSetter("GNOME").apply(kImage, Style::Tiled, &error);
        qputenv("PATH", path);
        QVERIFY(!applied);
        QVERIFY(error.contains("gsettings"));
    }

    void unsupportedDesktopRunsNothing()
    {
        StandInPrograms programs;
        for (const char *name : {"gsettings", "xfconf-query", "dbus-send"})
            QVERIFY(programs.add(name));
        QString error;
        QVERIFY(!WallpaperSetter("LXQt").apply(kImage, Style::Tiled, &error));
        QVERIFY(error.contains("LXQt"));
        QVERIFY(programs.calls().isEmpty());
    }

    void wallpaperFolder_data()
    {
        QTest::addColumn<QByteArray>("dataHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("XDG_DATA_HOME") << QByteArray("/srv/data/") << "/srv/data/pelandor";
        QTest::newRow("unset") << QByteArray() << QDir::homePath() + "/.local/share/pelandor";
        QTest::newRow("relative is ignored") << QByteArray("data") << QDir::homePath() + "/.local/share/pelandor";
    }
    void wallpaperFolder()
    {
        QFETCH(QByteArray, dataHome);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        if (dataHome.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", dataHome);
        const QString folder = WallpaperSetter::wallpaperFolder();
        const QString file = WallpaperSetter::wallpaperFilePath();
        if (saved.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(folder, expected);
        QCOMPARE(file, expected + "/Pelandor_WallPaper.bmp");
    }
};

QTEST_GUILESS_MAIN(TestWallpaperSetter)
#include "TestWallpaperSetter.moc"
