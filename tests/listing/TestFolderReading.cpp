// Reading real folders: which files are listed, in which order, what each item
// holds, stopping part-way, and the headless report built on the same reading.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include "../TemporaryFolder.h"
#include <QTest>
#include <QTextStream>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ImageFiles.h"
#include "listing/FileListModel.h"
#include "listing/FolderReader.h"
#include "listing/HeadlessReport.h"
#include "listing/ReadingPass.h"
#include "listing/ItemTexts.h"
#include "listing/ThumbnailList.h"
#include "platform/MessageSink.h"
#include "plugin/TSpi.h"

using namespace pelandor;
using namespace testfiles;

namespace {

QStringList captions(const FileListModel &model)
{
    QStringList out;
    for (int row = 0; row < model.count(); ++row)
        out << model.caption(row);
    return out;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

const ImageTypeList builtInTypes = {
    {QStringLiteral("*.BMP"), QString()},
    {QStringLiteral("*.JPG"), QString()},
    {allImageFilesText(), QString()},
};

} // namespace

class TestFolderReading : public QObject {
    Q_OBJECT

    TemporaryFolder m_modules; // no import modules

private slots:
    void extensionRule_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("match");
        QTest::newRow("jpg") << "a.jpg" << "*.JPG" << true;
        QTest::newRow("JPEG counts as JPG") << "a.JPEG" << "*.JPG" << true;
        QTest::newRow("jpe counts as JPG") << "a.jpe" << "*.JPG" << true;
        QTest::newRow("jpeg pattern is not widened") << "a.jpeg" << "*.jpeg" << false;
        QTest::newRow("bmp any case") << "a.BmP" << "*.BMP" << true;
        QTest::newRow("last dot counts") << "a.jpg.bmp" << "*.JPG" << false;
        QTest::newRow("no extension vs extension") << "README" << "*.BMP" << false;
        QTest::newRow("only the extension of the pattern") << "x.bmp" << "abc?.bmp" << true;
        QTest::newRow("lower-case module pattern") << "x.PNG" << "*.png" << true;
    }
    void extensionRule()
    {
        QFETCH(QString, file);
        QFETCH(QString, pattern);
        QFETCH(bool, match);
        QCOMPARE(FolderReader::matches(file, pattern), match);
    }

    void typeFiltering()
    {
        TemporaryFolder dir;
        const QImage picture = solid(8, 8, qRgb(0, 0, 200));
        for (const char *name : {"c.jpg", "d.JPG", "e.jpeg", "f.jpe", "g.JPEG"})
            QVERIFY(writeJpegFile(dir.filePath(QLatin1String(name)), picture));
        for (const char *name : {"a.bmp", "b.BMP"})
            QVERIFY(writeBmpFile(dir.filePath(QLatin1String(name)), picture));
        QVERIFY(writeText(dir.filePath(QStringLiteral("noext")), "x"));
        QVERIFY(writeText(dir.filePath(QStringLiteral("i.png")), "x"));
        QVERIFY(writeJpegFile(dir.filePath(QStringLiteral(".hidden.jpg")), picture));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("c.jpg")), dir.filePath(QStringLiteral("link.jpg"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling.jpg"))));

        FileListModel model;
        FolderReader reader(model, nullptr, false);
        QVERIFY(reader.read(dir.path(), QStringLiteral("*.JPG")));
        QCOMPARE(sorted(captions(model)),
                 (QStringList{"c.jpg", "d.JPG", "e.jpeg", "f.jpe", "g.JPEG", "link.jpg"}));
        model.clear();
        QVERIFY(reader.read(dir.path(), QStringLiteral("*.BMP")));
        QCOMPARE(sorted(captions(model)), (QStringList{"a.bmp", "b.BMP"}));
    }

    void itemsAreComplete()
    {
        TemporaryFolder dir;
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("small.bmp")), solid(50, 30, qRgb(200, 0, 0))));
        QVERIFY(writeText(dir.filePath(QStringLiteral("broken.bmp")), "BM not really"));
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("grey.bmp")), solid(4, 4, qRgb(9, 9, 9)),
                             PixelFormat::Bits8));
        FileListModel model;
        FolderReader reader(model, nullptr, false);
        QVERIFY(reader.read(dir.path(), QStringLiteral("*.BMP")));
        QCOMPARE(model.count(), 3);
        QCOMPARE(model.thumbnails()->count(), 3);
        for (int row = 0; row < model.count(); ++row) {
            QCOMPARE(model.imageIndex(row), row); // appended in the same order
            const QString name = model.caption(row);
            const QString path = dir.filePath(name);
            QCOMPARE(model.subItem(row, 0), typeDescription(name));
            QCOMPARE(model.subItem(row, 1), QString::number(QFileInfo(path).size()));
            QCOMPARE(model.subItem(row, 2), FileDateText(path));
            QVERIFY(!model.subItem(row, 2).isEmpty());
            const QImage cell = model.thumbnails()->cell(row);
            if (name == QLatin1String("small.bmp")) {
                QCOMPARE(model.subItem(row, 3), QStringLiteral("50 * 30"));
                QCOMPARE(model.subItem(row, 4), QStringLiteral("1677万色"));
                QCOMPARE(cell.pixel(23, 33), qRgb(200, 0, 0));
                QCOMPARE(cell.pixel(22, 33), qRgb(255, 255, 255));
            } else if (name == QLatin1String("grey.bmp")) {
                QCOMPARE(model.subItem(row, 4), QStringLiteral("256色"));
            } else {
                // Not decodable: listed all the same, with a white cell.
                QCOMPARE(model.subItem(row, 3), QStringLiteral("0 * 0"));
                QCOMPARE(model.subItem(row, 4), QString());
                QCOMPARE(cell.pixel(48, 48), qRgb(255, 255, 255));
            }
        }
    }

    void sizeOver4GB()
    {
        TemporaryFolder dir;
        QFile big(dir.filePath(QStringLiteral("big.bmp")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        if (!big.resize(Q_INT64_C(5000000000)))
            QSKIP("no sparse files here");
        big.close();
        FileListModel model;
        FolderReader reader(model, nullptr, false);
        QVERIFY(reader.read(dir.path(), QStringLiteral("*.BMP")));
        QCOMPARE(model.count(), 1);
        QCOMPARE(model.subItem(0, 1), QStringLiteral("5000000000"));
        QCOMPARE(model.subItem(0, 3), QStringLiteral("0 * 0"));
    }

    void emptyAndMissingFolders()
    {
        TemporaryFolder dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub/deeper.bmp")));
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("sub/inside.bmp")), solid(2, 2, 0)));
        FileListModel model;
        FolderReader reader(model, nullptr, false);
        QVERIFY(reader.read(dir.path(), QStringLiteral("*.BMP")));
        QVERIFY(reader.listError().isEmpty());
        QVERIFY(reader.read(dir.filePath(QStringLiteral("missing")), QStringLiteral("*.BMP")));
        QVERIFY(!reader.listError().isEmpty()); // said, not shown as an empty folder
        QVERIFY(reader.read(QString(), QStringLiteral("*.BMP")));
        QCOMPARE(model.count(), 0);
    }

    void placeholderThenStop()
    {
        TemporaryFolder dir;
        for (int i = 0; i < 10; ++i)
            QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("f%1.bmp").arg(i)), solid(3, 3, 0)));
        FileListModel model;
        FolderReader reader(model, nullptr, false);
        int placeholders = 0;
        reader.setPlaceholderAdded([&](int row) {
            ++placeholders;
            QCOMPARE(row, model.count() - 1);
            QCOMPARE(model.caption(row), FileListModel::placeholderCaption());
            QCOMPARE(model.imageIndex(row), -1);
        });
        int done = 0;
        reader.setFileDone([&] { return ++done < 3; });
        QVERIFY(!reader.read(dir.path(), QStringLiteral("*.BMP")));
        QCOMPARE(placeholders, 3);
        QCOMPARE(model.count(), 3);
        // What was decoded ahead of the stop leaves no cell behind.
        QCOMPARE(model.thumbnails()->count(), 3);
        for (int row = 0; row < 3; ++row) {
            QVERIFY(model.caption(row).startsWith(QLatin1Char('f')));
            QCOMPARE(model.subItem(row, 3), QStringLiteral("3 * 3"));
        }
    }

    // With decoding ahead, the list still grows in directory order, one
    // complete item after the other, each with its own picture.
    void directoryOrderWithReadAhead()
    {
        TemporaryFolder dir;
        for (int i = 0; i < 24; ++i)
            QVERIFY(writeJpegFile(dir.filePath(QStringLiteral("p%1.jpg").arg(i)),
                                  solid(40 + i, 30, qRgb(i * 10, 0, 0))));
        QStringList directoryOrder;
        QDirIterator entries(dir.path(), QDir::Files | QDir::NoDotAndDotDot);
        while (entries.hasNext())
            directoryOrder << QFileInfo(entries.next()).fileName();
        FileListModel model;
        FolderReader reader(model, nullptr, false);
        reader.setFileDone([&] {
            const int row = model.count() - 1;
            for (int r = 0; r < row; ++r)
                if (model.caption(r) == FileListModel::placeholderCaption())
                    return false;
            return model.caption(row) == directoryOrder[row];
        });
        QVERIFY(reader.read(dir.path(), QStringLiteral("*.JPG")));
        QCOMPARE(captions(model), directoryOrder);
        for (int row = 0; row < model.count(); ++row) {
            const int i = model.caption(row).mid(1).section(QLatin1Char('.'), 0, 0).toInt();
            QCOMPARE(model.subItem(row, 3), QStringLiteral("%1 * 30").arg(40 + i));
        }
    }

    void allTypesReadEntryAfterEntry()
    {
        TemporaryFolder dir;
        QVERIFY(writeJpegFile(dir.filePath(QStringLiteral("a.jpg")), solid(5, 5, 0)));
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("b.bmp")), solid(5, 5, 0)));
        QVERIFY(writeJpegFile(dir.filePath(QStringLiteral("c.jpeg")), solid(5, 5, 0)));
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("d.bmp")), solid(5, 5, 0)));
        StderrMessageSink messages;
        TSpi host(m_modules.path(), messages);
        FileListModel model;
        ReadingPass(model, host, false).run(dir.path(), builtInTypes, 2);
        const QStringList got = captions(model);
        QCOMPARE(got.size(), 4);
        QCOMPARE(sorted(got.mid(0, 2)), (QStringList{"b.bmp", "d.bmp"}));
        QCOMPARE(sorted(got.mid(2, 2)), (QStringList{"a.jpg", "c.jpeg"}));
        QCOMPARE(model.subItem(2, 3), QStringLiteral("5 * 5"));

        model.clear();
        ReadingPass(model, host, false).run(dir.path(), builtInTypes, 1);
        QCOMPARE(sorted(captions(model)), (QStringList{"a.jpg", "c.jpeg"}));

        // A stop after the first file ends the whole pass, not just its entry.
        model.clear();
        ReadingPass stopped(model, host, false);
        stopped.setFileDone([] { return false; });
        QVERIFY(!stopped.run(dir.path(), builtInTypes, 2));
        QCOMPARE(model.count(), 1);
    }

    // An update refills each changed file's own row, also when the list is
    // sorted between two files (a modal box lets the user sort).
    void updateFindsRowsMovedBySorting()
    {
        TemporaryFolder dir;
        const auto write = [&](int widthBase) {
            for (int i = 0; i < 6; ++i)
                QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("b%1.bmp").arg(i)), solid(widthBase + i, 4, 0)));
        };
        write(10);
        StderrMessageSink messages;
        TSpi host(m_modules.path(), messages);
        FileListModel model;
        ReadingPass(model, host, false).run(dir.path(), builtInTypes, 0);
        write(20);
        ReadingPass pass(model, host, false);
        int files = 0;
        pass.setFileDone([&] {
            model.sortItems(++files % 2 ? -1 : 1);
            return true;
        });
        QVERIFY(pass.update(dir.path(), builtInTypes, 0, {}, true));
        QCOMPARE(model.count(), 6);
        for (int row = 0; row < model.count(); ++row) {
            const int i = model.caption(row).mid(1, 1).toInt();
            QCOMPARE(model.subItem(row, 3), QStringLiteral("%1 * 4").arg(20 + i));
        }
    }

    // Files that fail to decode share one blank cell, however many there are.
    void failedFilesShareOneBlankCell()
    {
        TemporaryFolder dir;
        for (int i = 0; i < 40; ++i)
            QVERIFY(writeText(dir.filePath(QStringLiteral("e%1.%2").arg(i).arg(i % 2 ? "jpg" : "bmp")), "no picture"));
        StderrMessageSink messages;
        TSpi host(m_modules.path(), messages);
        FileListModel model;
        ReadingPass(model, host, false).run(dir.path(), builtInTypes, 2);
        ReadingPass(model, host, false).run(dir.path(), builtInTypes, 1);
        QCOMPARE(model.count(), 60);
        QSet<const uchar *> pixels;
        for (int row = 0; row < model.count(); ++row)
            pixels.insert(model.thumbnails()->cell(model.imageIndex(row)).constBits());
        QCOMPARE(pixels.size(), 1);
    }

    void report_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("all types by name") << QStringList{} << QStringList{"a9.bmp", "B10.jpg", "c100.bmp"};
        QTest::newRow("descending") << QStringList{"--descending"} << QStringList{"c100.bmp", "B10.jpg", "a9.bmp"};
        QTest::newRow("by size") << QStringList{"--sort", "size"} << QStringList{"a9.bmp", "B10.jpg", "c100.bmp"};
        QTest::newRow("one type") << QStringList{"--type", "*.BMP"} << QStringList{"a9.bmp", "c100.bmp"};
        QTest::newRow("by date, two-digit years") << QStringList{"--sort=date"} << QStringList{"B10.jpg", "a9.bmp", "c100.bmp"};
    }
    void report()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, names);
        TemporaryFolder dir;
        // Sizes 9, 10 and 100 bytes (none decodable) and dates 1998, 2001, 2005.
        const struct {
            const char *name;
            int size;
            int year;
        } files[] = {{"a9.bmp", 9, 2005}, {"B10.jpg", 10, 2001}, {"c100.bmp", 100, 1998}};
        for (const auto &f : files) {
            QFile file(dir.filePath(QLatin1String(f.name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(f.size, 'x'));
            file.flush();
            QVERIFY(file.setFileTime(QDateTime(QDate(f.year, 6, 1), QTime(12, 0)), QFileDevice::FileModificationTime));
        }
        QString error;
        const auto options = HeadlessReport::parse(QStringList{"--report", dir.path()} + args, &error);
        QVERIFY2(options, qPrintable(error));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(HeadlessReport::runReport(*options, m_modules.path(), outStream, errStream), 0);
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList got;
        for (const QString &line : lines) {
            const QStringList columns = line.split(QLatin1Char('\t'));
            QCOMPARE(columns.size(), 6);
            got << columns[0];
            QCOMPARE(columns[4], QStringLiteral("0 * 0"));
        }
        QCOMPARE(got, names);
    }

    // A name with a tab, a newline or a backslash stays one line of six
    // columns, its name escaped.
    void reportEscapesNames()
    {
        TemporaryFolder dir;
        QVERIFY(writeText(dir.filePath(QStringLiteral("a\tb\nc\\d.bmp")), "x"));
        QString error;
        const auto options = HeadlessReport::parse({"--report", dir.path()}, &error);
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(HeadlessReport::runReport(*options, m_modules.path(), outStream, errStream), 0);
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        const QStringList columns = lines[0].split(QLatin1Char('\t'));
        QCOMPARE(columns.size(), 6);
        QCOMPARE(columns[0], QStringLiteral("a\\tb\\nc\\\\d.bmp"));
    }

    // Every control character is written as its bytes, so no report line
    // can carry a terminal command (ESC, the C1 range) or split a line.
    void reportEscapesControlCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::newRow("tab newline CR backslash") << QStringLiteral("a\tb\nc\rd\\") << QStringLiteral("a\\tb\\nc\\rd\\\\");
        QTest::newRow("ESC sequence") << QStringLiteral("\x1b[31mred") << QStringLiteral("\\x1b[31mred");
        QTest::newRow("NUL BEL DEL") << QString(QChar(0)) + QStringLiteral("\x07\x7f") << QStringLiteral("\\x00\\x07\\x7f");
        QTest::newRow("C1 CSI and NEL") << QStringLiteral("\u009b2J\u0085") << QStringLiteral("\\xc2\\x9b2J\\xc2\\x85");
        QTest::newRow("printable kept") << QStringLiteral("写真 é ~") << QStringLiteral("写真 é ~");
    }
    void reportEscapesControlCharacters()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QCOMPARE(HeadlessReport::escaped(text), written);
    }

    // A name in Shift-JIS bytes is listed, decoded, reported with its bytes
    // as \xNN (in directory order, line by line, with --sort none) and its
    // thumbnail written under the same bytes.
    void namesThatAreNotUtf8()
    {
        TemporaryFolder dir;
        const QByteArray raw = "\x82\xa0\x83J.bmp";
        const QString staged = dir.filePath(QStringLiteral("staged.bmp"));
        QVERIFY(writeBmpFile(staged, solid(50, 30, qRgb(0, 0, 200))));
        QCOMPARE(::rename(QFile::encodeName(staged).constData(), (QFile::encodeName(dir.path()) + '/' + raw).constData()),
                 0);
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("plain.bmp")), solid(8, 8, 0)));

        QString error;
        const auto options = HeadlessReport::parse({"--report", dir.path(), "--sort", "none"}, &error);
        QVERIFY2(options, qPrintable(error));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(HeadlessReport::runReport(*options, m_modules.path(), outStream, errStream), 0);
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QStringList row = lines.filter(QStringLiteral("\\x82\\xa0\\x83J.bmp\t"));
        QCOMPARE(row.size(), 1);
        QCOMPARE(row[0].split(QLatin1Char('\t')).value(4), QStringLiteral("50 * 30"));

        const QString outFolder = dir.filePath(QStringLiteral("out"));
        QCOMPARE(HeadlessReport::runHeadlessCommand({"--thumbnails", dir.path(), outFolder}, m_modules.path()), 0);
        struct stat info {};
        QCOMPARE(::stat((QFile::encodeName(outFolder) + '/' + raw + ".bmp").constData(), &info), 0);
        QVERIFY(info.st_size > 96 * 96 * 3);
    }

    // Bitmaps written into the folder being read replace no file before it
    // is read: NAME.bmp.bmp shows NAME.bmp, and the NAME.bmp.bmp that was
    // there shows its own picture in NAME.bmp.bmp.bmp, in whatever order
    // the directory lists the pairs.
    void thumbnailsIntoTheFolderRead()
    {
        TemporaryFolder dir;
        constexpr int Pairs = 50; // more files than are decoded ahead
        for (int i = 0; i < Pairs; ++i) {
            const QString name = dir.filePath(QStringLiteral("p%1.bmp").arg(i));
            QVERIFY(writeBmpFile(name, solid(50, 30, qRgb(200, 0, 0))));
            QVERIFY(writeBmpFile(name + QStringLiteral(".bmp"), solid(50, 30, qRgb(0, 0, 200))));
        }
        QCOMPARE(HeadlessReport::runHeadlessCommand({"--thumbnails", dir.path(), dir.path()}, m_modules.path()), 0);
        for (int i = 0; i < Pairs; ++i) {
            const QString name = dir.filePath(QStringLiteral("p%1.bmp").arg(i));
            QCOMPARE(QImage(name + QStringLiteral(".bmp")).pixel(23, 33), qRgb(200, 0, 0));
            QCOMPARE(QImage(name + QStringLiteral(".bmp.bmp")).pixel(23, 33), qRgb(0, 0, 200));
        }
    }

    // A link already in the output folder is not written through.
    void thumbnailsNeverWriteThroughLinks()
    {
        TemporaryFolder dir;
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("small.bmp")), solid(50, 30, qRgb(200, 0, 0))));
        const QString outside = dir.filePath(QStringLiteral("outside.txt"));
        QVERIFY(writeText(outside, "keep"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        QVERIFY(QFile::link(outside, QDir(out).filePath(QStringLiteral("small.bmp.bmp"))));
        QCOMPARE(HeadlessReport::runHeadlessCommand({"--thumbnails", dir.path(), out}, m_modules.path()),
                 HeadlessReport::WriteFailedStatus);
        QFile kept(outside);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep"));
    }

    // Bitmaps for names up to the longest a file system takes, also in an
    // output folder whose path comes near the path length limit.
    void thumbnailsOfLongNames_data()
    {
        QTest::addColumn<int>("nameBytes");
        QTest::addColumn<int>("folderBytes"); // about this long a path to OUTDIR
        QTest::newRow("251-byte name") << 251 << 0;
        QTest::newRow("237-byte name") << 237 << 0;
        QTest::newRow("200-byte name, deep folder") << 200 << 3900;
    }
    void thumbnailsOfLongNames()
    {
        QFETCH(int, nameBytes);
        QFETCH(int, folderBytes);
        TemporaryFolder dir;
        const QString name = QString(nameBytes - 4, QLatin1Char('n')) + QStringLiteral(".bmp");
        QVERIFY(writeBmpFile(dir.filePath(name), solid(5, 5, 0)));
        QByteArray out = QFile::encodeName(dir.filePath(QStringLiteral("out")));
        QVERIFY(::mkdir(out.constData(), 0777) == 0);
        // A path beyond the limit cannot be removed whole: file, then folders.
        const auto cleanUp = qScopeGuard([&out, &name] {
            if (const int folder = ::open(out.constData(), O_RDONLY | O_DIRECTORY); folder >= 0) {
                ::unlinkat(folder, (QFile::encodeName(name) + ".bmp").constData(), 0);
                ::close(folder);
            }
            for (QByteArray folder = out; folder.endsWith('d'); folder.truncate(folder.lastIndexOf('/')))
                ::rmdir(folder.constData());
        });
        while (out.size() < folderBytes) {
            out += '/' + QByteArray(99, 'd');
            QVERIFY(::mkdir(out.constData(), 0777) == 0);
        }
        QCOMPARE(HeadlessReport::runHeadlessCommand({"--thumbnails", dir.path(), QFile::decodeName(out)}, m_modules.path()),
                 0);
        struct stat info {};
        const QByteArray written = out + '/' + QFile::encodeName(name) + ".bmp";
        QVERIFY(written.size() > 4096 || folderBytes == 0);
        const int folder = ::open(out.constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(folder >= 0);
        QCOMPARE(::fstatat(folder, (QFile::encodeName(name) + ".bmp").constData(), &info, 0), 0);
        ::close(folder);
        QVERIFY(info.st_size > 96 * 96 * 3);
    }

    void commandLineErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("missing folder") << QStringList{"--report", "/no/such/folder"};
        QTest::newRow("file, not folder") << QStringList{"--report", "FILE"};
        QTest::newRow("unknown type") << QStringList{"--report", "DIR", "--type", "*.XYZ"};
        QTest::newRow("type is not a wildcard") << QStringList{"--report", "DIR", "--type", "*.bmp"};
        QTest::newRow("bad sort") << QStringList{"--report", "DIR", "--sort", "colour"};
        QTest::newRow("unknown option") << QStringList{"--report", "DIR", "--fast"};
        QTest::newRow("two folders") << QStringList{"--report", "DIR", "DIR"};
        QTest::newRow("thumbnails without outdir") << QStringList{"--thumbnails", "DIR"};
        QTest::newRow("thumbnails with sort") << QStringList{"--thumbnails", "DIR", "OUT", "--sort", "name"};
        QTest::newRow("both commands") << QStringList{"--report", "--thumbnails", "DIR", "OUT"};
        QTest::newRow("type without value") << QStringList{"--report", "DIR", "--type"};
    }
    void commandLineErrors()
    {
        QFETCH(QStringList, args);
        TemporaryFolder dir;
        QVERIFY(writeText(dir.filePath(QStringLiteral("file")), "x"));
        args.replaceInStrings(QStringLiteral("DIR"), dir.path());
        args.replaceInStrings(QStringLiteral("FILE"), dir.filePath(QStringLiteral("file")));
        args.replaceInStrings(QStringLiteral("OUT"), dir.filePath(QStringLiteral("out")));
        QVERIFY(HeadlessReport::isHeadlessCommand(args));
        QCOMPARE(HeadlessReport::runHeadlessCommand(args, m_modules.path()), HeadlessReport::BadUsageStatus);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("out"))));
    }

    void thumbnailsAsBitmaps()
    {
        TemporaryFolder dir;
        QVERIFY(writeBmpFile(dir.filePath(QStringLiteral("small.bmp")), solid(50, 30, qRgb(200, 0, 0))));
        QVERIFY(writeJpegFile(dir.filePath(QStringLiteral("wide.jpg")), solid(640, 480, qRgb(0, 0, 250))));
        QVERIFY(writeText(dir.filePath(QStringLiteral("other.txt")), "x"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QCOMPARE(HeadlessReport::runHeadlessCommand({"--thumbnails", dir.path(), out}, m_modules.path()), 0);
        QCOMPARE(sorted(QDir(out).entryList(QDir::Files)), (QStringList{"small.bmp.bmp", "wide.jpg.bmp"}));
        QFile file(QDir(out).filePath(QStringLiteral("small.bmp.bmp")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.left(2), QByteArray("BM"));
        QCOMPARE(int(uchar(bytes[28])), 24); // bits per pixel
        const QImage small(QDir(out).filePath(QStringLiteral("small.bmp.bmp")));
        QCOMPARE(small.size(), QSize(96, 96));
        QCOMPARE(small.pixel(23, 33), qRgb(200, 0, 0));
        QCOMPARE(small.pixel(0, 0), qRgb(255, 255, 255));
        const QImage wide(QDir(out).filePath(QStringLiteral("wide.jpg.bmp")));
        QCOMPARE(wide.pixel(48, 11), qRgb(255, 255, 255));
        QVERIFY(qBlue(wide.pixel(48, 12)) > 200);
        QVERIFY(qBlue(wide.pixel(48, 83)) > 200);
        QCOMPARE(wide.pixel(48, 84), qRgb(255, 255, 255));
    }
};

QTEST_GUILESS_MAIN(TestFolderReading)
#include "TestFolderReading.moc"
