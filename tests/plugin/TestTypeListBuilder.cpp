// The type list built from a folder of test modules: which modules count,
// which patterns become entries, the JPEG claim and the final order.
#include <QTemporaryDir>
#include <QTest>

#include "TestModules.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"

using namespace pelandor;

namespace {

// "text|module" per entry, in order.
QStringList describe(const ImageTypeList &entries)
{
    QStringList lines;
    for (const ImageTypeEntry &entry : entries)
        lines.append(entry.text + QLatin1Char('|') + entry.pluginName);
    return lines;
}

const QString AllFiles = allImageFilesText() + QLatin1Char('|');

} // namespace

class TestTypeListBuilder : public QObject {
    Q_OBJECT
private slots:
    void entries_data()
    {
        // Modules as "variant:file name"; "junk" is a file that is no module.
        QTest::addColumn<QStringList>("modules");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("jpegClaimed");
        QTest::addColumn<QStringList>("messages");

        const QStringList builtIn{QStringLiteral("*.BMP|"), QStringLiteral("*.JPG|"), AllFiles};
        const QStringList none;
        QTest::newRow("no modules") << QStringList() << builtIn << false << none;
        QTest::newRow("two patterns") << QStringList{"two:two.spi"}
                                      << QStringList{"*.abc|two.spi", "*.BMP|", "*.DEF|two.spi", "*.JPG|", AllFiles}
                                      << false << none;
        QTest::newRow("bitmap first adds nothing") << QStringList{"bmp_first:b.spi"} << builtIn << false << none;
        QTest::newRow("bitmap second adds both")
            << QStringList{"bmp_second:b.spi"}
            << QStringList{"*.BMP|", "*.BMP|b.spi", "*.JPG|", "*.xyz|b.spi", AllFiles} << false << none;
        QTest::newRow("jpeg claim replaces the built-in entry")
            << QStringList{"jpeg:j.spi"} << QStringList{"*.BMP|", "*.jpeg|j.spi", "*.jpg|j.spi", AllFiles} << true
            << none;
        QTest::newRow("second jpeg module removes nothing more")
            << QStringList{"jpeg:j.spi", "jpeg_upper:k.spi"}
            << QStringList{"*.BMP|", "*.JPE|k.spi", "*.jpeg|j.spi", "*.jpg|j.spi", AllFiles} << true << none;
        QTest::newRow("trailing separator gives an empty entry")
            << QStringList{"trailing:t.spi"} << QStringList{"|t.spi", "*.BMP|", "*.JPG|", "*.tr|t.spi", AllFiles}
            << false << none;
        QTest::newRow("other kind of module") << QStringList{"export:e.spi"} << builtIn << false << none;
        QTest::newRow("kind in other letter case") << QStringList{"lower_kind:l.spi"} << builtIn << false << none;
        QTest::newRow("no information export") << QStringList{"no_info:n.spi"} << builtIn << false << none;
        QTest::newRow("negative pattern count") << QStringList{"neg_patterns:n.spi"} << builtIn << false << none;
        QTest::newRow("file that is not a module")
            << QStringList{"junk:junk.spi", "two:two.spi"}
            << QStringList{"*.abc|two.spi", "*.BMP|", "*.DEF|two.spi", "*.JPG|", AllFiles} << false
            << QStringList{QStringLiteral("PluginがLoadされていません(GetPluginInfo)")};
        QTest::newRow("text past the buffer is cut at 127 characters")
            << QStringList{"overrun:o.spi"}
            << QStringList{"*.BMP|", "*.JPG|", "*.ovr|o.spi", QString(121, QLatin1Char('x')) + "|o.spi", AllFiles}
            << false << none;
    }

    void entries()
    {
        QFETCH(QStringList, modules);
        QFETCH(QStringList, expected);
        QFETCH(bool, jpegClaimed);
        QFETCH(QStringList, messages);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const QString &module : modules) {
            const QString variant = module.section(QLatin1Char(':'), 0, 0);
            const QString name = module.section(QLatin1Char(':'), 1);
            if (variant == QLatin1String("junk")) {
                QFile file(dir.filePath(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("text\n");
            } else {
                QVERIFY(installModule(dir.path(), variant, name));
            }
        }

        RecordingSink sink;
        TSpi host(dir.path(), sink);
        const TypeListBuilder::Result result = TypeListBuilder::build(host, dir.path());
        QCOMPARE(describe(result.entries), expected);
        QCOMPARE(result.jpegPluginFound, jpegClaimed);
        QCOMPARE(sink.messages, messages);
        QVERIFY(!host.isLoaded());
        for (const QString &module : modules)
            QVERIFY(!isResident(dir.filePath(module.section(QLatin1Char(':'), 1))));
    }

    void samePatternFromTwoModules()
    {
        QTemporaryDir dir;
        QVERIFY(installModule(dir.path(), QStringLiteral("plain"), QStringLiteral("a.spi")));
        QVERIFY(installModule(dir.path(), QStringLiteral("plain"), QStringLiteral("b.spi")));
        RecordingSink sink;
        TSpi host(dir.path(), sink);
        const ImageTypeList entries = TypeListBuilder::build(host, dir.path()).entries;
        QCOMPARE(entries.size(), 5);
        QCOMPARE(entries.last().text, allImageFilesText());
        QStringList readers;
        for (const ImageTypeEntry &entry : entries) {
            if (entry.text == QLatin1String("*.fak"))
                readers.append(entry.pluginName);
        }
        readers.sort();
        QCOMPARE(readers, QStringList({QStringLiteral("a.spi"), QStringLiteral("b.spi")}));
    }

    void findsModuleFilesOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.path();
        QVERIFY(installModule(path, QStringLiteral("plain"), QStringLiteral("a.spi")));
        QVERIFY(installModule(path, QStringLiteral("plain"), QStringLiteral("B.SPI")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("a.spi")), dir.filePath(QStringLiteral("c.Spi"))));
        QVERIFY(installModule(path, QStringLiteral("plain"), QStringLiteral(".x.spi")));
        QVERIFY(installModule(path, QStringLiteral("plain"), QStringLiteral("d.spi.bak")));
        QVERIFY(QDir(path).mkdir(QStringLiteral("y.spi")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("e.spi"))));

        QStringList found = TypeListBuilder::findModules(path);
        found.sort();
        QCOMPARE(found, QStringList({QStringLiteral("B.SPI"), QStringLiteral("a.spi"), QStringLiteral("c.Spi")}));
        QVERIFY(TypeListBuilder::findModules(dir.filePath(QStringLiteral("missing"))).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTypeListBuilder)
#include "TestTypeListBuilder.moc"
